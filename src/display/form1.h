// Form1, the hands window: it lies exactly over the marker window, is cut to the shape of the
// hour and minute hands for the current time, and carries the clock's heartbeat, the tick,
// which chimes, counts the hold-to-quit gesture, re-applies the automatic colour, keeps both
// windows on top and redraws the hands when the minute changes. Mouse gestures, chimes and the
// calculator are units of their own that this window owns and feeds.
#pragma once

#include "calculator/form3.h"
#include "chimes/chimes.h"
#include "gestures/hands_gestures.h"
#include "platform/platform.h"
#include "startup/clock_state.h"

#include <memory>
#include <optional>
#include <string>

namespace reloj {

class Form2;

inline constexpr const char* kHandsTitle = "reloj";
inline constexpr int32_t kTickIntervalMs = 1000;
// Holding a button through this many ticks closes the clock.
inline constexpr int16_t kHoldTicksToQuit = 5;

class Form1 : public FormEvents {
  public:
    Form1(ClockState& state, Platform& platform, Form2& owner);
    ~Form1() override;

    // Loads the window over its owner (the load sequence runs) and shows it.
    void Show(FormWindow& owner);
    // Runs the unload sequence, destroys the window and ends the program: without the hands
    // there is no clock.
    void Unload();
    bool IsLoaded() const { return m_window != nullptr; }
    FormWindow& Window() { return *m_window; }

    // Cuts the window to the hands of that time; a hand style other than 1 or 2 leaves the
    // shape as it is.
    void ShowTime(int32_t hour, int32_t minute);

    void Timer1_Timer() override;
    void Form_MouseDown(int16_t button, float x, float y) override;
    void Form_MouseMove(int16_t buttons, float x, float y) override;
    void Form_MouseUp(int16_t button, float x, float y) override;
    void Form_Click() override;
    void Form_DblClick() override;

    // Whether the hour and half-hour chimes are muted; the calculator's check box sets it, and
    // every run starts with them on. The closing sound ignores it.
    bool chimesMuted = false;
    Form3& Calculator() { return m_form3; }

  private:
    void Form_Load(FormWindow& owner);
    void Form_Unload();
    void ClosingSequence();

    ClockState& m_state;
    Platform& m_platform;
    Form2& m_form2;
    std::unique_ptr<FormWindow> m_window;
    // The latest minute hand, ours; the union of both hands belongs to the window.
    std::optional<Region> MinuteRegion;
    int16_t HoldTicks = 0;
    // Set when the closing sequence begins and never cleared: a run closes once.
    bool m_closingStarted = false;
    int32_t LastMinute = 0;
    Chimes m_chimes;
    Form3 m_form3;
    HandsGestures m_gestures;
};

} // namespace reloj
