#include "clock/hands_window.h"

#include "clock/auto_colour.h"
#include "clock/closing_message.h"
#include "clock/hand_geometry.h"
#include "clock/marker_window.h"
#include "core/time_text.h"

namespace reloj {

HandsWindow::HandsWindow(ClockState& state, Platform& platform, MarkerWindow& markers,
                         Chimes& chimes, CalculatorWindow& calculator, HandsGestures& gestures,
                         const bool& chimesMuted)
    : m_state(state), m_platform(platform), m_markers(markers), m_chimes(chimes),
      m_calculator(calculator), m_gestures(gestures), m_chimesMuted(chimesMuted) {}

HandsWindow::~HandsWindow() = default;

void HandsWindow::Show(Window& owner) {
    if (!IsOpen()) {
        m_window = m_platform.CreateWindow(WindowDescription{kHandsTitle}, &owner, *this);
        SetUp(owner);
    }
    m_window->Show();
}

void HandsWindow::SetUp(Window& owner) {
    m_minuteRegion.reset();
    m_holdTicks = 0;
    m_lastMinute = 0;
    m_lookPending = false;
    m_raisePending = false;
    m_gestures.Reset();

    m_window->Move(owner.Left(), owner.Top(), owner.Width(), owner.Height());
    if (m_state.clockColour != kAutomaticColour) {
        m_window->SetBackground(m_state.clockColour);
    }
    m_window->SetHeight(m_window->Width());
    const LocalTime now = m_platform.Now();
    const HourMinute shown = ReadHoursMinutes(HoursMinutesText(now));
    // The first tick cuts the hands again unless the minute is 0, as it always has; only a
    // change of hour on top of that is new.
    m_lastHour = shown.hour;
    ShowTime(shown.hour, shown.minute);
    m_platform.KeepOnTop(m_window->Handle());
    WatchDesktop();
    ScheduleNextTick(now);
}

void HandsWindow::Close() {
    if (!IsOpen()) {
        return;
    }
    TearDown();
    m_window.reset();
    m_platform.Quit(0);
}

void HandsWindow::TearDown() {
    m_platform.WatchDesktop({}, {});
    m_minuteRegion.reset();
    m_calculator.Close();
}

void HandsWindow::ShowTime(int32_t hour, int32_t minute) {
    const auto hands = HandsFor(m_state, hour, minute);
    if (!hands) {
        return;
    }
    // The minute hand comes first: the hour hand's region takes it in.
    m_minuteRegion = Region::MakePolygon(hands->minute);
    Region handsRegion = Region::MakePolygon(hands->hour);
    handsRegion.Unite(*m_minuteRegion);
    m_window->SetShape(std::move(handsRegion));
}

void HandsWindow::CornersMoved() {
    if (!IsOpen()) {
        return;
    }
    m_lookPending = true;
    WatchDesktop();
    ScheduleNextTick(m_platform.Now());
}

void HandsWindow::WatchDesktop() {
    // With a chosen colour no pixel matters, and none is watched.
    std::vector<PixelPoint> points;
    if (m_state.clockColour == kAutomaticColour) {
        points.assign(m_state.corners.begin(), m_state.corners.end());
    }
    m_platform.WatchDesktop(points, [this](DesktopChange change) { OnDesktopChange(change); });
}

void HandsWindow::OnDesktopChange(DesktopChange change) {
    if (!IsOpen()) {
        return;
    }
    switch (change) {
    case DesktopChange::Stacking:
        m_raisePending = true;
        break;
    case DesktopChange::Look:
        m_lookPending = true;
        break;
    }
    ScheduleNextTick(m_platform.Now());
}

TickNeeds HandsWindow::Needs() const {
    return {.holding = !m_closingStarted && (m_state.buttonHeld || m_holdTicks > 0),
            .lookPending = m_lookPending && m_state.clockColour == kAutomaticColour,
            .raisePending = m_raisePending};
}

void HandsWindow::ScheduleNextTick(const LocalTime& now) {
    if (IsOpen()) {
        m_window->TickAt(NextTickSecond(now, Needs()));
    }
}

void HandsWindow::OnTick() {
    // The clock is read once a tick: two reads could fall either side of a second, and a tick
    // that came late could then chime for one second and show the minute of the next.
    const LocalTime now = m_platform.Now();
    m_chimes.ChimeCheck(now, !m_chimesMuted);

    // The closing box is modal, but the clock goes on ticking beneath it. Once closing has
    // begun the count stands still, whatever becomes of the button: a second closing under the
    // first would close the windows it is still using.
    if (!m_closingStarted) {
        if (m_state.buttonHeld) {
            ++m_holdTicks;
            if (m_holdTicks == kHoldTicksToQuit) {
                m_closingStarted = true;
                // The ticks go on under the box: chimes still fall due.
                ScheduleNextTick(now);
                ClosingSequence();
                return;
            }
        } else {
            m_holdTicks = 0;
        }
    }

    // A look at the corners only when something may have changed under them.
    if (m_state.clockColour == kAutomaticColour && m_lookPending) {
        SampleDesktopColour(m_state, m_platform, *m_window, m_markers.PlatformWindow());
    }
    m_lookPending = false;

    // Raising is the platform's to skip when nothing has covered the clock.
    m_platform.KeepOnTop(m_window->Handle());
    m_platform.KeepOnTop(m_markers.PlatformWindow().Handle());
    m_raisePending = false;

    const HourMinute shown = ReadHoursMinutes(HoursMinutesText(now));
    if (shown.minute != m_lastMinute || shown.hour != m_lastHour) {
        m_lastHour = shown.hour;
        m_lastMinute = shown.minute;
        ShowTime(shown.hour, shown.minute);
    }
    ScheduleNextTick(now);
}

void HandsWindow::ClosingSequence() {
    m_chimes.PlayClosingSound();
    // The box is the hands window's own, so that it stays above the clock while it is open.
    m_platform.MessageBox(*m_window, kClosingTitle, ClosingMessage());
    m_window->Hide();
    // Closing the marker window closes this one, and the program ends; nothing of this window
    // may be touched after it.
    m_markers.Close();
}

void HandsWindow::OnMousePress(MouseButton button, float x, float y) {
    m_gestures.OnMousePress(button, x, y);
    // The press starts the hold count, and a right press may have handed the clock back to
    // the automatic colour, which then looks at the desktop.
    m_lookPending = true;
    WatchDesktop();
    ScheduleNextTick(m_platform.Now());
}

void HandsWindow::OnMouseMove(int16_t heldButtons, float x, float y) {
    m_gestures.OnMouseMove(heldButtons, x, y);
}

void HandsWindow::OnMouseRelease(MouseButton button, float x, float y) {
    m_gestures.OnMouseRelease(button, x, y);
    // One more tick brings the hold count back to zero.
    ScheduleNextTick(m_platform.Now());
}

void HandsWindow::OnClick() {
    m_calculator.Close();
}

void HandsWindow::OnDoubleClick() {
    m_calculator.Show(*m_window);
}

} // namespace reloj
