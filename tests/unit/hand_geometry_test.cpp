#include "clock/hand_geometry.h"
#include "settings/settings.h"

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
        const ClockState state = ReadSettings(row.commandLine, 15, 15).state;
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

TEST(HandGeometry, OffsetsAreRoundedBeforeTheyAreAdded) {
    // The default minute bar at 3 o'clock: dx 0, dy -1, so its sides lie on rows 37 and 39.
    const ClockState state = ReadSettings("718|5|70|2|1", 15, 15).state;
    const Quad bar = BarHand(0, state.handReach, state.halfHandWidth, HandsCentre(state), 1.0);
    EXPECT_EQ(bar[0].y, 37);
    EXPECT_EQ(bar[1].y, 39);
    EXPECT_EQ(bar[0].x, bar[1].x);
}

TEST(HandGeometry, OtherStylesHaveNoHands) {
    for (const char* line : {"1|1|70|0|1", "1|1|70|3|1", "1|1|70|-1|1"}) {
        EXPECT_FALSE(HandsFor(ReadSettings(line, 15, 15).state, 10, 15)) << line;
    }
}

} // namespace
} // namespace reloj
