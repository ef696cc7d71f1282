#include "core/environment.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace reloj {
namespace {

TEST(ConfigHome, FollowsTheBaseDirectoryRule) {
    const struct {
        const char* name;
        const char* xdgConfigHome; // nullptr: not set
        const char* home;
        const char* folder; // nullptr: none
    } rows[] = {
        {"absolute XDG_CONFIG_HOME wins", "/etc/xdg-user", "/home/ana", "/etc/xdg-user"},
        {"empty XDG_CONFIG_HOME is ignored", "", "/home/ana", "/home/ana/.config"},
        {"relative XDG_CONFIG_HOME is ignored", "config", "/home/ana", "/home/ana/.config"},
        {"unset XDG_CONFIG_HOME", nullptr, "/home/ana", "/home/ana/.config"},
        {"slashes after the home folder", nullptr, "/home/ana//", "/home/ana/.config"},
        {"home is the root", nullptr, "/", "/.config"},
        {"relative home is no folder", nullptr, "ana", nullptr},
        {"empty home is no folder", "", "", nullptr},
        {"neither set", nullptr, nullptr, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto folder = ConfigHome(row.xdgConfigHome, row.home);
        if (row.folder == nullptr) {
            EXPECT_FALSE(folder) << *folder;
        } else {
            ASSERT_TRUE(folder);
            EXPECT_EQ(*folder, row.folder);
        }
    }
}

TEST(EnvironmentSet, AnEmptyValueIsNotSet) {
    constexpr const char* kName = "RELOJ_ENVIRONMENT_TEST";
    unsetenv(kName);
    EXPECT_FALSE(EnvironmentSet(kName));
    setenv(kName, "", 1);
    EXPECT_FALSE(EnvironmentSet(kName));
    setenv(kName, "x", 1);
    EXPECT_TRUE(EnvironmentSet(kName));
    unsetenv(kName);
}

} // namespace
} // namespace reloj
