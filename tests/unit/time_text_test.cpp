#include "core/time_text.h"

#include <cstdio>
#include <gtest/gtest.h>

namespace reloj {
namespace {

// The texts as printf writes them, to hold the clock's own digits to.
std::string Printed(const char* format, int a, int b, int c = 0) {
    char text[64];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

TEST(TimeText, EverySecondOfADayAsPrintfWritesIt) {
    for (int hour = 0; hour < 24; ++hour) {
        for (int minute = 0; minute < 60; ++minute) {
            for (int second = 0; second < 60; ++second) {
                const LocalTime time{2026, 12, 8, hour, minute, second};
                ASSERT_EQ(TimeText(time), Printed("%02d:%02d:%02d", hour, minute, second));
            }
            ASSERT_EQ(HoursMinutesText({2026, 12, 8, hour, minute, 0}),
                      Printed("%02d:%02d", hour, minute));
        }
    }
}

// Fields no clock gives, kept as "%02d" writes them: at least two characters, sign included.
TEST(TimeText, FieldsOutsideTheClock) {
    struct Row {
        const char* name;
        LocalTime time;
        const char* text;
    };
    const Row rows[] = {
        {"leap second", {2016, 12, 31, 23, 59, 60}, "23:59:60"},
        {"negative one digit", {0, 0, 0, -5, 0, 0}, "-5:00:00"},
        {"negative two digits", {0, 0, 0, 0, -12, 0}, "00:-12:00"},
        {"three digits", {0, 0, 0, 123, 4, 5}, "123:04:05"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(TimeText(row.time), row.text) << row.name;
    }
}

TEST(ReadHoursMinutes, ReadsBackWhatWasWritten) {
    for (int hour = 0; hour < 24; ++hour) {
        for (int minute = 0; minute < 60; ++minute) {
            const HourMinute read = ReadHoursMinutes(HoursMinutesText({0, 0, 0, hour, minute, 0}));
            ASSERT_EQ(read.hour, hour);
            ASSERT_EQ(read.minute, minute);
        }
    }
}

} // namespace
} // namespace reloj
