#include "clock/hands_window.h"

#include "clock/auto_colour.h"
#include "clock/hand_geometry.h"

namespace reloj {

HandsWindow::HandsWindow(const ClockLayout& layout, Platform& platform)
    : m_layout(layout), m_platform(platform) {}

HandsWindow::~HandsWindow() = default;

void HandsWindow::Open(Window& dots, const WindowPlace& dotsPlace, WindowEvents& events) {
    m_window = m_platform.CreateWindow(WindowDescription{kHandsTitle}, &dots, events);
    m_place.emplace(*m_window, Pixels(m_layout));
    m_minuteRegion.reset();
    m_place->Move(dotsPlace.Left(), dotsPlace.Top(), dotsPlace.Width(), dotsPlace.Width());
}

void HandsWindow::Close() {
    m_minuteRegion.reset();
    m_place.reset();
    m_window.reset();
}

void HandsWindow::ShowTime(int32_t hour, int32_t minute) {
    const auto hands = HandsFor(m_layout, hour, minute);
    if (!hands) {
        return;
    }
    // The minute hand comes first: the hour hand's region takes it in.
    m_minuteRegion = Region::MakePolygon(hands->minute);
    Region handsRegion = Region::MakePolygon(hands->hour);
    handsRegion.Unite(*m_minuteRegion);
    m_window->SetShape(std::move(handsRegion));
}

void HandsWindow::Paint(Colour clockColour) {
    m_window->SetColours(clockColour, HubDisc(m_layout, ContrastColour(clockColour)));
}

} // namespace reloj
