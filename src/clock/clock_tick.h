// ClockTick runs the clock once it has started: it opens the two windows, owns the tick and
// everything the tick changes, and answers the mouse on the hands. Each tick reads the time
// once and then, in this order, plays the chime that is due, counts the hold-to-quit (and
// closes the clock on the fifth second), re-applies the automatic colour if the desktop may
// have changed under the corners, keeps both windows on top, and cuts the hands again when
// the minute has changed. Between ticks it sleeps until the next second at which one of those
// steps can act (tick_schedule.h). The windows are views (marker_window.h, hands_window.h);
// the chimes, the calculator and the gestures are units of their own that it feeds.
#pragma once

#include "calculator/calculator_window.h"
#include "chimes/chimes.h"
#include "clock/hands_gestures.h"
#include "clock/hands_window.h"
#include "clock/marker_window.h"
#include "clock/tick_schedule.h"
#include "platform/platform.h"
#include "settings/clock_state.h"

namespace reloj {

// Holding a button through this many ticks closes the clock.
inline constexpr int32_t kHoldTicksToQuit = 5;

class ClockTick : public WindowEvents {
  public:
    // `chimesMuted` is the calculator's switch: while it is set the hour and half-hour chimes
    // stay silent (the closing sound ignores it).
    ClockTick(const ClockLayout& layout, ClockState& state, Platform& platform, Chimes& chimes,
              CalculatorWindow& calculator, const bool& chimesMuted);
    ~ClockTick() override;

    // Opens and shows the dots and the hands over them in the clock colour, at the time of
    // day, and starts the ticks.
    void Start();
    // Closes both windows and ends the program: without the hands there is no clock.
    void Close();
    bool IsOpen() const { return m_markers.IsOpen(); }

    MarkerWindow& Markers() { return m_markers; }
    HandsWindow& Hands() { return m_hands; }

    // The tick and the mouse on the hands window.
    void OnTick() override;
    void OnMousePress(MouseButton button, MousePoint at) override;
    void OnMouseMove(int16_t heldButtons, MousePoint at) override;
    void OnMouseRelease(MouseButton button, MousePoint at) override;
    void OnClick() override;
    void OnDoubleClick() override;

  private:
    void Paint(Colour clockColour);
    void ShowTime(const LocalTime& now);
    // Records the corners of the dots' window where it stands now; the automatic colour then
    // looks again at the desktop under them.
    void RecordCorners();
    // After the screens changed: a clock that no screen shows any more moves, both windows and
    // its corners, into the nearest screen.
    void KeepOnScreens();
    void ClosingSequence();
    // Stops the watches and lets the calculator and both windows go, the hands before the
    // dots that own them; asks for the program's end on the way when `quit` is set.
    void TearDown(bool quit);
    // Asks the platform for the news the tick acts on, at the corners the clock now has.
    void WatchDesktop();
    void OnDesktopChange(DesktopChange change);
    // Sleeps until the next second at which the tick can act.
    void ScheduleNextTick(const LocalTime& now);
    TickNeeds Needs() const;

    const ClockLayout& m_layout;
    ClockState& m_state;
    Platform& m_platform;
    Chimes& m_chimes;
    CalculatorWindow& m_calculator;
    const bool& m_chimesMuted;
    MarkerWindow m_markers;
    HandsWindow m_hands;
    HandsGestures m_gestures;
    // The dots' window reports its events here, where none has a meaning.
    WindowEvents m_dotsEvents;
    int32_t m_holdTicks = 0;
    // Set when the closing sequence begins and never cleared: a run closes once.
    bool m_closingStarted = false;
    // The hour and minute the hands were last cut to by a tick: a step of the clock by whole
    // hours changes the hour alone.
    int32_t m_lastHour = 0;
    int32_t m_lastMinute = 0;
    bool m_lookPending = false;
    bool m_raisePending = false;
};

} // namespace reloj
