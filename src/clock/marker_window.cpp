#include "clock/marker_window.h"

#include "clock/auto_colour.h"
#include "clock/hands_window.h"
#include "clock/ring_geometry.h"
#include "clock/screen_fit.h"

#include <cmath>

namespace reloj {

MarkerWindow::MarkerWindow(ClockState& state, Platform& platform, HandsWindow& hands)
    : m_state(state), m_platform(platform), m_hands(hands) {}

MarkerWindow::~MarkerWindow() {
    if (IsOpen()) {
        Close();
    }
}

void MarkerWindow::Show() {
    if (!IsOpen()) {
        m_window = m_platform.CreateWindow(WindowDescription{kMarkerTitle}, nullptr, *this);
        m_window->Move(kMarkerInitialLeft, kMarkerInitialTop);
        SetUp();
    }
    m_window->Show();
}

void MarkerWindow::Close() {
    if (!IsOpen()) {
        return;
    }
    TearDown();
    m_window.reset();
}

void MarkerWindow::SetUp() {
    m_window->SetWidth(static_cast<float>(m_state.windowSize));
    m_window->SetHeight(static_cast<float>(m_state.windowSize));
    if (m_state.clockColour != kAutomaticColour) {
        m_window->SetBackground(m_state.clockColour);
    }
    if (m_state.startLeft != 0) {
        m_window->SetLeft(static_cast<float>(m_state.startLeft));
    }
    if (m_state.startTop != 0) {
        m_window->SetTop(static_cast<float>(m_state.startTop));
    }
    RecordCorners();
    CutToRing();
    m_hands.Show(*m_window);
    if (m_state.clockColour != kAutomaticColour) {
        m_hands.PlatformWindow().DrawCircle(m_state.centreX, m_state.centreY, HubRadius(m_state),
                                            kBlack);
    } else {
        SampleDesktopColour(m_state, m_platform, m_hands.PlatformWindow(), *m_window);
    }
    m_platform.KeepOnTop(m_window->Handle());
    m_platform.WatchScreens([this] { KeepOnScreens(); });
}

void MarkerWindow::TearDown() {
    m_platform.WatchScreens({});
    m_window->Hide();
    m_dotRegions[1].reset();
    m_hands.Close();
}

std::array<PixelPoint, 4> MarkerWindow::ScreenCorners() const {
    return WindowCorners(m_window->Left(), m_window->Top(), m_window->Width(), m_window->Height(),
                         Pixels(m_state));
}

void MarkerWindow::RecordCorners() {
    m_state.corners = ScreenCorners();
    m_hands.CornersMoved();
}

void MarkerWindow::KeepOnScreens() {
    if (!IsOpen()) {
        return;
    }
    const auto corners = ScreenCorners();
    // The window ends just before its right and bottom corners, which the automatic colour
    // reads and which must come onto the screen with it.
    const PixelRect window{corners[0].x, corners[0].y, corners[3].x, corners[3].y};
    // On a scaled screen a window stands only on the pixels a layout pixel lands on, so the
    // reach takes in a whole layout pixel: the place found is then rounded onto one of those
    // without taking the corners off the screen.
    const int32_t beyond = Pixels(m_state).Device(1);
    const PixelRect reach{corners[0].x, corners[0].y, corners[3].x + beyond, corners[3].y + beyond};
    const auto place = PlaceOnNearestScreen(window, reach, m_platform.ScreenAreas());
    if (!place) {
        return;
    }
    // The screen's pixels in twips, which the windows keep exactly where the scale is 1.
    const auto left = Pixels(m_state).TwipsX(place->x);
    const auto top = Pixels(m_state).TwipsY(place->y);
    if (m_hands.IsOpen()) {
        // As a drag does: the marker window follows to where the window system put the hands.
        m_hands.PlatformWindow().Move(left, top);
        m_window->Move(m_hands.PlatformWindow().Left(), m_hands.PlatformWindow().Top());
    } else {
        m_window->Move(left, top);
    }
    RecordCorners();
}

void MarkerWindow::CutToRing() {
    for (int k = 0; k < kHourDots; ++k) {
        const PixelPoint centre = DotCentre(k, m_state.radius, m_window->Width(), Pixels(m_state));
        Region dot = Region::MakeEllipse(DotBounds(centre, m_state.dotRadius, m_state.scale));
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
    m_platform.KeepOnTop(m_window->Handle());
}

} // namespace reloj
