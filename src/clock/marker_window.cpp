#include "clock/marker_window.h"

#include "clock/ring_geometry.h"

namespace reloj {

MarkerWindow::MarkerWindow(const ClockLayout& layout, Platform& platform)
    : m_layout(layout), m_platform(platform) {}

MarkerWindow::~MarkerWindow() = default;

void MarkerWindow::Open(WindowEvents& events) {
    m_window = m_platform.CreateWindow(WindowDescription{kMarkerTitle}, nullptr, events);
    m_place.emplace(*m_window, Pixels(m_layout));
    const auto size = static_cast<float>(m_layout.windowSize);
    const float left =
        m_layout.startLeft != 0 ? static_cast<float>(m_layout.startLeft) : kMarkerInitialLeft;
    const float top =
        m_layout.startTop != 0 ? static_cast<float>(m_layout.startTop) : kMarkerInitialTop;
    m_place->Move(left, top, size, size);
}

void MarkerWindow::Close() {
    m_dotRegions[1].reset();
    m_place.reset();
    m_window.reset();
}

std::array<PixelPoint, 4> MarkerWindow::ScreenCorners() const {
    return WindowCorners(m_place->Left(), m_place->Top(), m_place->Width(), m_place->Height(),
                         Pixels(m_layout));
}

void MarkerWindow::CutToRing() {
    for (int k = 0; k < kHourDots; ++k) {
        const PixelPoint centre = DotCentre(k, m_layout.radius, m_place->Width(), Pixels(m_layout));
        Region dot = Region::MakeEllipse(DotBounds(centre, m_layout.dotRadius, m_layout.scale));
        if (k == 0) {
            m_dotRegions[0] = std::move(dot);
        } else {
            // The previous dot is let go as the new one takes its place.
            m_dotRegions[1] = std::move(dot);
            m_dotRegions[0]->Unite(*m_dotRegions[1]);
        }
    }
    m_window->SetShape(std::move(*m_dotRegions[0]));
    m_dotRegions[0].reset();
}

void MarkerWindow::Paint(Colour clockColour) {
    m_window->SetColours(clockColour, std::nullopt);
}

} // namespace reloj
