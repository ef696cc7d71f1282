// HandsWindow lies exactly over the marker window, is cut to the shape of the hour and minute
// hands for the current time, and carries the clock's heartbeat, the tick: it chimes, counts
// the hold-to-quit gesture, re-applies the automatic colour, keeps both windows on top and
// redraws the hands when the minute changes. The gestures, the chimes and the calculator are
// units of their own, handed to it by the application; this window only feeds them.
#pragma once

#include "calculator/calculator_window.h"
#include "chimes/chimes.h"
#include "clock/hands_gestures.h"
#include "clock/tick_schedule.h"
#include "platform/platform.h"
#include "settings/clock_state.h"

#include <memory>
#include <optional>

namespace reloj {

class MarkerWindow;

inline constexpr const char* kHandsTitle = "reloj";
// Holding a button through this many ticks closes the clock.
inline constexpr int32_t kHoldTicksToQuit = 5;

class HandsWindow : public WindowEvents {
  public:
    // `chimesMuted` is the calculator's switch: while it is set the hour and half-hour chimes
    // stay silent (the closing sound ignores it).
    HandsWindow(ClockState& state, Platform& platform, MarkerWindow& markers, Chimes& chimes,
                CalculatorWindow& calculator, HandsGestures& gestures, const bool& chimesMuted);
    ~HandsWindow() override;

    // Opens the window over the marker window `owner` (the set-up runs) and shows it.
    void Show(Window& owner);
    // Tears the window down and ends the program: without the hands there is no clock.
    void Close();
    bool IsOpen() const { return m_window != nullptr; }
    Window& PlatformWindow() { return *m_window; }

    // Cuts the window to the hands of that time; a hand style other than 1 or 2 leaves the
    // shape as it is.
    void ShowTime(int32_t hour, int32_t minute);

    // The clock now stands elsewhere, or the screens changed under it: the automatic colour
    // looks again at the new corners.
    void CornersMoved();

    void OnTick() override;
    void OnMousePress(MouseButton button, float x, float y) override;
    void OnMouseMove(int16_t heldButtons, float x, float y) override;
    void OnMouseRelease(MouseButton button, float x, float y) override;
    void OnClick() override;
    void OnDoubleClick() override;

  private:
    void SetUp(Window& owner);
    void TearDown();
    void ClosingSequence();
    // Asks the platform for the news the tick acts on, at the corners the clock now has.
    void WatchDesktop();
    void OnDesktopChange(DesktopChange change);
    // Sleeps until the next second at which the tick can act.
    void ScheduleNextTick(const LocalTime& now);
    TickNeeds Needs() const;

    ClockState& m_state;
    Platform& m_platform;
    MarkerWindow& m_markers;
    Chimes& m_chimes;
    CalculatorWindow& m_calculator;
    HandsGestures& m_gestures;
    const bool& m_chimesMuted;
    std::unique_ptr<Window> m_window;
    // The latest minute hand, ours; the union of both hands belongs to the window.
    std::optional<Region> m_minuteRegion;
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
