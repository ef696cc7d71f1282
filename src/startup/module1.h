// Module1 owns what lives for the whole run: the shared ClockState and the marker window, which
// in turn brings up the rest of the clock. Main fills the state from the screen and the command
// line and shows the marker window; reporting its messages is left to the caller.
#pragma once

#include "display/form2.h"
#include "platform/platform.h"
#include "startup/settings.h"

#include <optional>
#include <string>
#include <vector>

namespace reloj {

struct StartupReport {
    std::optional<SettingsError> error; // start-up stopped before any window was shown
    std::vector<std::string> warnings;  // the clock runs, but the user should know
};

class Module1 {
  public:
    explicit Module1(Platform& platform);

    StartupReport Main(std::string_view commandLine);

    ClockState& State() { return m_state; }
    Form2& MarkerForm() { return m_form2; }

  private:
    Platform& m_platform;
    ClockState m_state;
    Form2 m_form2;
};

} // namespace reloj
