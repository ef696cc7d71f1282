#include "core/scale_factor.h"

#include <gtest/gtest.h>

namespace reloj {
namespace {

struct FactorRow {
    const char* name;
    std::string_view text;
    std::optional<double> factor;
};

TEST(ParseScaleFactor, OnlyAFiniteNumberAboveZero) {
    const FactorRow rows[] = {
        {"whole", "2", 2.0},
        {"fraction", "1.5", 1.5},
        {"blanks around", " 1.25\t", 1.25},
        {"plus sign", "+2", 2.0},
        {"exponent", "2e0", 2.0},
        {"below one is still a factor", "0.5", 0.5},
        {"empty", "", std::nullopt},
        {"blanks only", "  ", std::nullopt},
        {"garbage", "dos", std::nullopt},
        {"trailing garbage", "2x", std::nullopt},
        {"two signs", "+-2", std::nullopt},
        {"decimal comma", "1,5", std::nullopt},
        {"zero", "0", std::nullopt},
        {"negative", "-2", std::nullopt},
        {"infinity", "inf", std::nullopt},
        {"not a number", "nan", std::nullopt},
        {"beyond double", "1e400", std::nullopt},
        {"huge but finite", "1e300", 1e300},
    };
    for (const FactorRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ParseScaleFactor(row.text), row.factor);
    }
}

struct ListRow {
    const char* name;
    std::string_view list;
    std::string_view screen;
    std::size_t index;
    std::optional<double> factor;
};

TEST(ScreenScaleFactor, ByNameOrByPlace) {
    const ListRow rows[] = {
        {"one number for the first screen", "2", "screen", 0, 2.0},
        {"one number, second screen", "2", "HDMI-1", 1, std::nullopt},
        {"numbers by place", "1;1.5;2", "DP-2", 2, 2.0},
        {"named entry", "eDP-1=2;HDMI-1=1", "eDP-1", 0, 2.0},
        {"named entry elsewhere in the list", "HDMI-1=1;eDP-1=1.5", "eDP-1", 0, 1.5},
        {"name wins over place", "1;eDP-1=2", "eDP-1", 0, 2.0},
        {"another screen's name only", "HDMI-1=2", "eDP-1", 0, std::nullopt},
        {"bad entry for this screen", "eDP-1=abc;2", "eDP-1", 1, std::nullopt},
        {"empty list", "", "eDP-1", 0, std::nullopt},
        {"separators only", ";;", "eDP-1", 1, std::nullopt},
        {"garbage", ";=;x=;2x", "x", 0, std::nullopt},
        {"nameless screen takes no named entry", "=2", "", 0, std::nullopt},
    };
    for (const ListRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ScreenScaleFactor(row.list, row.screen, row.index), row.factor);
    }
}

TEST(StatedScaleFactor, BothVariablesMultiply) {
    EXPECT_EQ(StatedScaleFactor(std::nullopt, std::nullopt), std::nullopt);
    EXPECT_EQ(StatedScaleFactor(2.0, std::nullopt), 2.0);
    EXPECT_EQ(StatedScaleFactor(std::nullopt, 1.5), 1.5);
    EXPECT_EQ(StatedScaleFactor(2.0, 1.5), 3.0);
}

} // namespace
} // namespace reloj
