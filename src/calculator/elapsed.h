// Counts the whole years, months and days between two calendar dates, the
// way a person's age is stated ("2 years, 9 months and 18 days").
// The dates are always passed in by the caller; this unit never reads the
// clock, and it neither parses nor formats text.
#pragma once

#include <chrono>
#include <cstdint>

namespace reloj {

enum class ElapsedPart { Years, Months, Days };

struct Elapsed {
    std::int32_t years = 0;
    std::int32_t months = 0;
    std::int32_t days = 0;

    friend bool operator==(const Elapsed&, const Elapsed&) = default;
};

// Time between two valid dates (both must satisfy ok()). The order of the
// arguments does not matter: a date in the future gives the time until it.
// The result always has 0 <= months <= 11 and 0 <= days <= 30.
Elapsed ElapsedBetween(std::chrono::year_month_day from, std::chrono::year_month_day to);

// One part of ElapsedBetween.
std::int32_t ElapsedPartBetween(std::chrono::year_month_day from, std::chrono::year_month_day to,
                                ElapsedPart part);

} // namespace reloj
