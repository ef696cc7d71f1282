// ClockApplication is the composition root: it owns what lives for the whole run (the shared
// ClockState, the chimes' mute switch, the two clock windows, the gestures, the chimes and the
// calculator) and wires them to each other. Start fills the state from the screen and the
// command line and shows the clock; reporting its messages is left to the caller.
#pragma once

#include "calculator/calculator_window.h"
#include "chimes/chimes.h"
#include "clock/hands_gestures.h"
#include "clock/hands_window.h"
#include "clock/marker_window.h"
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

    ClockState& State() { return m_state; }
    // The chimes start on unless the program was asked for a muted clock; the calculator's
    // switch mutes them and lets them sound again.
    bool& ChimesMuted() { return m_chimesMuted; }
    MarkerWindow& Markers() { return m_markers; }
    HandsWindow& Hands() { return m_hands; }
    CalculatorWindow& Calculator() { return m_calculator; }

  private:
    Platform& m_platform;
    ClockState m_state;
    bool m_chimesMuted = false;
    Chimes m_chimes;
    CalculatorWindow m_calculator;
    HandsGestures m_gestures;
    // The hands outlive the marker window: closing the marker window closes the hands from
    // inside the hands' own tick, so both must still exist then. Members are destroyed last to
    // first, so the marker window, declared last, closes the clock while the rest still stands.
    HandsWindow m_hands;
    MarkerWindow m_markers;
};

} // namespace reloj
