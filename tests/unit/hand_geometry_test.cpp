#include "clock/hand_geometry.h"
#include "settings/settings.h"

#include <cmath>
#include <gtest/gtest.h>

namespace reloj {
namespace {

struct HandsRow {
    const char* name;
    std::string_view commandLine;
    int32_t hour, minute;
    Quad minute_, hour_;
};

TEST(HandGeometry, WorkedVertices) {
    const HandsRow rows[] = {
        {"10:15 kite, defaults",
         "",
         10,
         15,
         {{{68, 38}, {38, 41}, {33, 38}, {38, 35}}},
         {{{19, 23}, {40, 36}, {42, 41}, {36, 40}}}},
        {"10:15 bar, defaults",
         "718|5|70|2|1",
         10,
         15,
         {{{68, 37}, {68, 39}, {32, 39}, {32, 37}}},
         {{{17, 25}, {21, 21}, {44, 39}, {40, 43}}}},
        {"4:40 kite, large",
         "100|50|200|1|0|",
         4,
         40,
         {{{32, 152}, {104, 100}, {119, 101}, {112, 116}}},
         {{{153, 162}, {101, 114}, {100, 98}, {115, 102}}}},
        {"4:40 bar, large",
         "100|50|200|2|0|",
         4,
         40,
         {{{34, 155}, {30, 149}, {121, 96}, {125, 102}}},
         {{{159, 157}, {147, 167}, {93, 102}, {105, 92}}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const ClockLayout state = ReadSettings(row.commandLine, 15, 15).layout;
        const auto hands = HandsFor(state, row.hour, row.minute);
        ASSERT_TRUE(hands);
        EXPECT_EQ(hands->minute, row.minute_);
        EXPECT_EQ(hands->hour, row.hour_);
    }
}

struct AngleRow {
    const char* name;
    int32_t hour, minute;
    float minuteAngle, hourAngle;
};

TEST(HandGeometry, Angles) {
    const AngleRow rows[] = {
        {"on the hour", 0, 0, 90, 90},
        {"quarter past three", 3, 15, 0, -7.5f},
        {"half past three", 3, 30, -90, -15},
        {"quarter to", 3, 45, -180, -22.5f},
        {"10:15", 10, 15, 0, -217.5f},
        {"4:40", 4, 40, -150, -50},
        {"last minute of the day", 23, 59, -264, -629.5f},
        {"afternoon hours turn once more", 15, 0, 90, -360},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(MinuteAngle(row.minute), row.minuteAngle);
        EXPECT_EQ(HourAngle(row.hour, row.minute), row.hourAngle);
    }
}

struct ScaledRow {
    const char* name;
    std::string_view commandLine;
    float ratio;
    std::optional<double> stated;
    PixelPoint centre;
    Quad minute;
};

// At 10:15 the minute hand lies along the x axis, where its vertices can be worked by hand.
TEST(HandGeometry, ScaledHandsAreRoundedOnceAtTheScreensPixels) {
    const ScaledRow rows[] = {
        {"96 dpi kite", "", 15, std::nullopt, {38, 38}, {{{68, 38}, {38, 41}, {33, 38}, {38, 35}}}},
        {"120 dpi kite",
         "",
         12,
         std::nullopt,
         {37, 37},
         {{{69, 37}, {37, 40}, {32, 37}, {37, 34}}}},
        // Not the 96 dpi hand doubled: the tip is 2 x 30.5 from the centre, the tail 2 x 4.575.
        {"192 dpi kite",
         "",
         7.5f,
         std::nullopt,
         {76, 76},
         {{{137, 76}, {76, 82}, {67, 76}, {76, 70}}}},
        {"QT_SCALE_FACTOR 2 kite",
         "",
         15,
         2.0,
         {76, 76},
         {{{137, 76}, {76, 82}, {67, 76}, {76, 70}}}},
        {"144 dpi kite",
         "",
         10,
         std::nullopt,
         {57, 57},
         {{{103, 57}, {57, 62}, {50, 57}, {57, 52}}}},
        {"144 dpi bar",
         "718|5|70|2|1",
         10,
         std::nullopt,
         {57, 57},
         {{{103, 55}, {103, 59}, {48, 59}, {48, 55}}}},
        {"QT_SCREEN_SCALE_FACTORS 1.5 bar",
         "718|5|70|2|1",
         15,
         1.5,
         {57, 57},
         {{{103, 55}, {103, 59}, {48, 59}, {48, 55}}}},
    };
    for (const ScaledRow& row : rows) {
        SCOPED_TRACE(row.name);
        const ClockLayout state =
            ReadSettings(row.commandLine, row.ratio, row.ratio, row.stated).layout;
        EXPECT_EQ(HandsCentre(state), row.centre);
        const auto hands = HandsFor(state, 10, 15);
        ASSERT_TRUE(hands);
        EXPECT_EQ(hands->minute, row.minute);
        // The hour hand's tip lies at the scaled reach from the centre, give or take the one
        // rounding of each coordinate.
        const double reach =
            std::hypot(hands->hour[0].x - row.centre.x, hands->hour[0].y - row.centre.y);
        const double half = state.handStyle == kBarStyle ? state.handWidth / 2.0 : 0.0;
        EXPECT_NEAR(reach, std::hypot(state.hourReach, half) * state.scale, 0.75);
    }
}

TEST(HandGeometry, OffsetsAreRoundedBeforeTheyAreAdded) {
    // The default minute bar at 3 o'clock: dx 0, dy -1, so its sides lie on rows 37 and 39.
    const ClockLayout state = ReadSettings("718|5|70|2|1", 15, 15).layout;
    const Quad bar = BarHand(0, state.handReach, state.halfHandWidth, HandsCentre(state), 1.0);
    EXPECT_EQ(bar[0].y, 37);
    EXPECT_EQ(bar[1].y, 39);
    EXPECT_EQ(bar[0].x, bar[1].x);
}

TEST(HandGeometry, OtherStylesHaveNoHands) {
    for (const char* line : {"1|1|70|0|1", "1|1|70|3|1", "1|1|70|-1|1"}) {
        EXPECT_FALSE(HandsFor(ReadSettings(line, 15, 15).layout, 10, 15)) << line;
    }
}

TEST(HubRadius, RemainderIsDropped) {
    ClockLayout layout;
    layout.radius = 525;
    EXPECT_EQ(HubRadius(layout), 10);
    layout.radius = 1037.5f;
    EXPECT_EQ(HubRadius(layout), 20);
}

} // namespace
} // namespace reloj
