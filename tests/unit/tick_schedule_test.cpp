#include "clock/tick_schedule.h"

#include <gtest/gtest.h>

namespace reloj {
namespace {

struct NextTickRow {
    const char* name;
    int32_t second; // the local second of the tick that asks
    TickNeeds needs;
    int64_t after; // seconds from that tick to the next
};

TEST(NextTickSecond, SleepsUntilTheNextMinuteUnlessSomethingIsWaiting) {
    const NextTickRow rows[] = {
        {"a quiet second sleeps to the new minute", 30, {}, 30},
        {"the first second of a minute sleeps a whole minute", 0, {}, 60},
        {"the last second of a minute wakes for the next", 59, {}, 1},
        {"a held button counts every second", 30, {.holding = true}, 1},
        {"a desktop that may have changed is looked at the next second",
         30,
         {.lookPending = true},
         1},
        {"a clock that may be covered is raised the next second", 30, {.raisePending = true}, 1},
        {"all at once still wake only the next second",
         10,
         {.holding = true, .lookPending = true, .raisePending = true},
         1},
        {"a leap second, shown as second 60, wakes for the next", 60, {}, 1},
    };
    for (const NextTickRow& row : rows) {
        SCOPED_TRACE(row.name);
        LocalTime now{2026, 12, 9, 10, 15, row.second, 1'000'000};
        EXPECT_EQ(NextTickSecond(now, row.needs), now.epochSecond + row.after);
    }
}

} // namespace
} // namespace reloj
