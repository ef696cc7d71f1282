#include "clock/auto_colour.h"
#include "fake_platform.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace reloj {
namespace {

TEST(PixelBrightness, Table) {
    const struct {
        const char* name;
        Colour colour;
        int16_t expected;
    } rows[] = {
        {"white", 0xFFFFFF, 255},
        {"black", 0, 0},
        {"orange-blue mix", 0x00FF8040, 149},
        {"cyan", 0x00FFFF00, 170},
        {"dark red", 0x00000002, 0},
        {"unreadable pixel", -1, 85},
        {"high byte ignored", 0x7F0000FF, 85},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(PixelBrightness(row.colour), row.expected);
    }
}

TEST(ChooseAutoColour, Threshold) {
    const struct {
        const char* name;
        int16_t b1, b2, b3, b4;
        Colour expected;
    } rows[] = {
        {"white desktop", 255, 255, 255, 255, kBlack},
        {"black desktop", 0, 0, 0, 0, kWhite},
        {"mean exactly 130 is not bright", 130, 130, 130, 131, kWhite},
        {"mean 131 is bright", 131, 131, 131, 131, kBlack},
        {"one bright corner", 100, 100, 100, 255, kBlack},
        {"all unreadable", 85, 85, 85, 85, kWhite},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ChooseAutoColour(row.b1, row.b2, row.b3, row.b4), row.expected);
    }
}

TEST(HubRadius, RemainderIsDropped) {
    ClockState state;
    state.radius = 525;
    EXPECT_EQ(HubRadius(state), 10);
    state.radius = 1037.5f;
    EXPECT_EQ(HubRadius(state), 20);
}

class SampleDesktop : public ::testing::Test {
  protected:
    SampleDesktop() {
        state.lastAutoColour = kNoColour;
        state.corners = {{{10, 20}, {86, 20}, {10, 96}, {86, 96}}};
        state.radius = 525;
    }
    test::FakeWindow& Open(const char* title) {
        windows.push_back(platform.CreateWindow(WindowDescription{title}, nullptr, events));
        return static_cast<test::FakeWindow&>(*windows.back());
    }

    test::FakePlatform platform;
    WindowEvents events;
    ClockState state;
    std::vector<std::unique_ptr<Window>> windows;
};

TEST_F(SampleDesktop, RecoloursOnlyWhenTheChoiceChanges) {
    auto& hands = Open("hands");
    auto& markers = Open("markers");
    platform.desktop = 0xFFFFFF;
    platform.journal.clear();
    SampleDesktopColour(state, platform, hands, markers);
    const std::vector<std::string> first = {
        "ScreenPixel 10,20",   "ScreenPixel 86,20", "ScreenPixel 10,96", "ScreenPixel 86,96",
        "hands.SetBackground", "hands.SetFill",     "hands.Repaint",     "markers.SetBackground",
        "markers.Repaint",     "hands.DrawCircle",
    };
    EXPECT_EQ(platform.journal, first);
    EXPECT_EQ(hands.background, kBlack);
    EXPECT_EQ(hands.fill, kWhite);
    EXPECT_EQ(markers.background, kBlack);
    EXPECT_EQ(state.lastAutoColour, kBlack);
    EXPECT_EQ(state.clockColour, 0);

    platform.journal.clear();
    SampleDesktopColour(state, platform, hands, markers);
    EXPECT_EQ(platform.journal.size(), 4u) << "a steady desktop costs four reads";

    platform.desktop = 0;
    SampleDesktopColour(state, platform, hands, markers);
    EXPECT_EQ(hands.background, kWhite);
    EXPECT_EQ(hands.fill, kBlack);
    EXPECT_EQ(hands.circles, 1);
}

TEST_F(SampleDesktop, OffScreenCornersCountAsDark) {
    auto& hands = Open("hands");
    auto& markers = Open("markers");
    platform.desktop = 0xFFFFFF;
    platform.pixels = {{{10, 20}, kNoColour}, {{10, 96}, kNoColour}};
    // (85 + 255 + 85 + 255) / 4 = 170: still bright.
    SampleDesktopColour(state, platform, hands, markers);
    EXPECT_EQ(hands.background, kBlack);
}

// Where the pixels cannot be read, the desktop's stated look decides, and no pixel is asked
// for: under a compositor each read would wake the X server for nothing.
TEST_F(SampleDesktop, FollowsTheStatedLookWhereThePixelsCannotBeRead) {
    struct Row {
        const char* name;
        ColourScheme scheme;
        Colour clock;
    };
    const Row rows[] = {
        {"prefer dark", ColourScheme::PreferDark, kWhite},
        {"prefer light", ColourScheme::PreferLight, kBlack},
        {"no preference, as unreadable corners", ColourScheme::NoPreference, kWhite},
    };
    auto& hands = Open("hands");
    auto& markers = Open("markers");
    // A white desktop, which the corners would have called bright.
    platform.desktop = 0xFFFFFF;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        platform.colourScheme = row.scheme;
        platform.journal.clear();
        SampleDesktopColour(state, platform, hands, markers);
        EXPECT_EQ(hands.background, row.clock);
        EXPECT_EQ(markers.background, row.clock);
        EXPECT_EQ(hands.fill, ContrastColour(row.clock));
        EXPECT_TRUE(
            std::none_of(platform.journal.begin(), platform.journal.end(),
                         [](const std::string& e) { return e.starts_with("ScreenPixel"); }));
    }
    // A change of the stated look shows on the next sample.
    platform.colourScheme = ColourScheme::PreferDark;
    SampleDesktopColour(state, platform, hands, markers);
    EXPECT_EQ(hands.background, kWhite);
}

} // namespace
} // namespace reloj
