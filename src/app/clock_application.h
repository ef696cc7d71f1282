// ClockApplication is the composition root: it owns what lives for the whole run (the layout
// read at start, the state that changes, the chimes' mute switch, the chimes, the calculator
// and the clock's tick with its windows) and wires them to each other. Start reads the layout
// from the screen and the command line and starts the clock; reporting its messages is left to
// the caller.
#pragma once

#include "calculator/calculator_window.h"
#include "chimes/chimes.h"
#include "clock/clock_tick.h"
#include "platform/platform.h"
#include "settings/clock_state.h"
#include "settings/settings.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace reloj {

struct StartupReport {
    std::optional<SettingsError> error; // start-up stopped before any window was shown
    std::vector<std::string> warnings;  // the clock runs, but the user should know
};

class ClockApplication {
  public:
    explicit ClockApplication(Platform& platform);

    StartupReport Start(std::string_view commandLine);

    const ClockLayout& Layout() const { return m_layout; }
    ClockState& State() { return m_state; }
    // The chimes start on unless the program was asked for a muted clock; the calculator's
    // switch mutes them and lets them sound again.
    bool& ChimesMuted() { return m_chimesMuted; }
    ClockTick& Tick() { return m_tick; }
    CalculatorWindow& Calculator() { return m_calculator; }

  private:
    Platform& m_platform;
    ClockLayout m_layout;
    ClockState m_state;
    bool m_chimesMuted = false;
    Chimes m_chimes;
    CalculatorWindow m_calculator;
    // Declared last, so that the clock closes while everything it uses still stands.
    ClockTick m_tick;
};

} // namespace reloj
