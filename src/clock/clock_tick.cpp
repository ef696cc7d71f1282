#include "clock/clock_tick.h"

#include "clock/auto_colour.h"
#include "clock/closing_message.h"
#include "clock/screen_fit.h"

namespace reloj {

ClockTick::ClockTick(const ClockLayout& layout, ClockState& state, Platform& platform,
                     Chimes& chimes, CalculatorWindow& calculator, const bool& chimesMuted)
    : m_layout(layout), m_state(state), m_platform(platform), m_chimes(chimes),
      m_calculator(calculator), m_chimesMuted(chimesMuted), m_markers(layout, platform),
      m_hands(layout, platform),
      m_gestures(layout, state,
                 {.hands = [this]() -> WindowPlace& { return m_hands.Place(); },
                  .markers = [this]() -> WindowPlace& { return m_markers.Place(); },
                  .recoloured = [this] { Paint(m_state.clockColour); },
                  .released = [this] { RecordCorners(); }}) {}

// Ending the run closes the windows the same way closing the clock does, without asking for
// the program's end.
ClockTick::~ClockTick() {
    TearDown(false);
}

void ClockTick::Start() {
    m_markers.Open(m_dotsEvents);
    const bool chosenColour = m_state.clockColour != kAutomaticColour;
    if (chosenColour) {
        m_markers.Paint(m_state.clockColour);
    }
    RecordCorners();
    m_markers.CutToRing();
    m_platform.KeepOnTop(m_markers.PlatformWindow().Handle());

    m_hands.Open(m_markers.PlatformWindow(), m_markers.Place(), *this);
    m_holdTicks = 0;
    m_lastMinute = 0;
    m_lookPending = false;
    m_raisePending = false;
    m_gestures.Reset();
    const LocalTime now = m_platform.Now();
    // The first tick cuts the hands again unless the minute is 0, as it always has; only a
    // change of hour on top of that is new.
    m_lastHour = now.hour;
    m_hands.ShowTime(now.hour, now.minute);
    WatchDesktop();
    ScheduleNextTick(now);
    m_hands.PlatformWindow().Show();

    if (chosenColour) {
        m_hands.Paint(m_state.clockColour);
    } else if (const auto colour = ChangedDesktopColour(m_state, m_platform)) {
        Paint(*colour);
    }
    m_platform.KeepOnTop(m_markers.PlatformWindow().Handle());
    m_platform.WatchScreens([this] { KeepOnScreens(); });
    m_markers.PlatformWindow().Show();
}

void ClockTick::Close() {
    TearDown(true);
}

void ClockTick::TearDown(bool quit) {
    if (!IsOpen()) {
        return;
    }
    m_platform.WatchScreens({});
    m_markers.PlatformWindow().Hide();
    m_platform.WatchDesktop({}, {});
    m_calculator.Close();
    m_hands.Close();
    if (quit) {
        m_platform.Quit(0);
    }
    m_markers.Close();
}

void ClockTick::Paint(Colour clockColour) {
    m_hands.Paint(clockColour);
    m_markers.Paint(clockColour);
}

void ClockTick::RecordCorners() {
    m_state.corners = m_markers.ScreenCorners();
    if (!m_hands.IsOpen()) {
        return;
    }
    m_lookPending = true;
    WatchDesktop();
    ScheduleNextTick(m_platform.Now());
}

void ClockTick::KeepOnScreens() {
    if (!IsOpen()) {
        return;
    }
    const auto corners = m_markers.ScreenCorners();
    // The window ends just before its right and bottom corners, which the automatic colour
    // reads and which must come onto the screen with it.
    const PixelRect window{corners[0].x, corners[0].y, corners[3].x, corners[3].y};
    // On a scaled screen a window stands only on the pixels a layout pixel lands on, so the
    // reach takes in a whole layout pixel: the place found is then rounded onto one of those
    // without taking the corners off the screen.
    const int32_t beyond = Pixels(m_layout).Device(1);
    const PixelRect reach{corners[0].x, corners[0].y, corners[3].x + beyond, corners[3].y + beyond};
    const auto place = PlaceOnNearestScreen(window, reach, m_platform.ScreenAreas());
    if (!place) {
        return;
    }
    // The screen's pixels in twips, which the windows keep exactly where the scale is 1.
    const auto left = Pixels(m_layout).TwipsX(place->x);
    const auto top = Pixels(m_layout).TwipsY(place->y);
    if (m_hands.IsOpen()) {
        // As a drag does: the marker window follows to where the window system put the hands.
        m_hands.Place().Move(left, top);
        m_markers.Place().Move(m_hands.Place().Left(), m_hands.Place().Top());
    } else {
        m_markers.Place().Move(left, top);
    }
    RecordCorners();
}

void ClockTick::WatchDesktop() {
    // With a chosen colour no pixel matters, and none is watched.
    std::vector<PixelPoint> points;
    if (m_state.clockColour == kAutomaticColour) {
        points.assign(m_state.corners.begin(), m_state.corners.end());
    }
    m_platform.WatchDesktop(points, [this](DesktopChange change) { OnDesktopChange(change); });
}

void ClockTick::OnDesktopChange(DesktopChange change) {
    if (!m_hands.IsOpen()) {
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

TickNeeds ClockTick::Needs() const {
    return {.holding = !m_closingStarted && (m_gestures.ButtonHeld() || m_holdTicks > 0),
            .lookPending = m_lookPending && m_state.clockColour == kAutomaticColour,
            .raisePending = m_raisePending};
}

void ClockTick::ScheduleNextTick(const LocalTime& now) {
    if (m_hands.IsOpen()) {
        m_hands.PlatformWindow().TickAt(NextTickSecond(now, Needs()));
    }
}

void ClockTick::OnTick() {
    // The clock is read once a tick: two reads could fall either side of a second, and a tick
    // that came late could then chime for one second and show the minute of the next.
    const LocalTime now = m_platform.Now();
    m_chimes.ChimeCheck(now, !m_chimesMuted);

    // The closing box is modal, but the clock goes on ticking beneath it. Once closing has
    // begun the count stands still, whatever becomes of the button: a second closing under the
    // first would close the windows it is still using.
    if (!m_closingStarted) {
        if (m_gestures.ButtonHeld()) {
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
        if (const auto colour = ChangedDesktopColour(m_state, m_platform)) {
            Paint(*colour);
        }
    }
    m_lookPending = false;

    // Raising is the platform's to skip when nothing has covered the clock.
    m_platform.KeepOnTop(m_markers.PlatformWindow().Handle());
    m_raisePending = false;

    if (now.minute != m_lastMinute || now.hour != m_lastHour) {
        m_lastHour = now.hour;
        m_lastMinute = now.minute;
        m_hands.ShowTime(now.hour, now.minute);
    }
    ScheduleNextTick(now);
}

void ClockTick::ClosingSequence() {
    m_chimes.PlayClosingSound();
    // The box is the hands window's own, so that it stays above the clock while it is open.
    m_platform.MessageBox(m_hands.PlatformWindow(), kClosingTitle, ClosingMessage());
    m_hands.PlatformWindow().Hide();
    // Nothing of the windows may be touched after this: the program ends.
    Close();
}

void ClockTick::OnMousePress(MouseButton button, MousePoint at) {
    m_gestures.OnMousePress(button, at);
    // The press starts the hold count, and a right press may have handed the clock back to
    // the automatic colour, which then looks at the desktop.
    m_lookPending = true;
    WatchDesktop();
    ScheduleNextTick(m_platform.Now());
}

void ClockTick::OnMouseMove(int16_t heldButtons, MousePoint at) {
    m_gestures.OnMouseMove(heldButtons, at);
}

void ClockTick::OnMouseRelease(MouseButton button, MousePoint at) {
    m_gestures.OnMouseRelease(button, at);
    // One more tick brings the hold count back to zero.
    ScheduleNextTick(m_platform.Now());
}

void ClockTick::OnClick() {
    m_calculator.Close();
}

void ClockTick::OnDoubleClick() {
    m_calculator.Show(m_hands.PlatformWindow());
}

} // namespace reloj
