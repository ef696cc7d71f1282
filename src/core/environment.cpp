#include "core/environment.h"

#include <cstdlib>
#include <string_view>

namespace reloj {

bool EnvironmentSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

std::optional<std::string> ConfigHome(const char* xdgConfigHome, const char* home) {
    if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
        return std::string(xdgConfigHome);
    }
    if (home != nullptr && home[0] == '/') {
        const std::string_view folder(home);
        return std::string(folder.substr(0, folder.find_last_not_of('/') + 1)) + "/.config";
    }
    return std::nullopt;
}

} // namespace reloj
