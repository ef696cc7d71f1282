// What the clock reads from its environment in more than one place: whether a variable is set,
// and the user's configuration folder by the freedesktop base-directory rule. The folder rule
// takes the variables' values as arguments; the callers read them and decide what a missing
// folder means for them.
#pragma once

#include <optional>
#include <string>

namespace reloj {

// Whether the variable is set to something other than the empty text.
bool EnvironmentSet(const char* name);

// The configuration folder as the freedesktop base directories name it: XDG_CONFIG_HOME when it
// is an absolute path (an empty or relative one is ignored), otherwise .config in the home
// folder when that is absolute; nothing without either.
std::optional<std::string> ConfigHome(const char* xdgConfigHome, const char* home);

} // namespace reloj
