// Counts the whole years, months and days between two calendar dates, the
// way a person's age is stated ("2 years, 9 months and 18 days").
// The dates are always passed in by the caller; this unit never reads the
// clock, and it neither parses nor formats text.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

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
Elapsed ElapsedBetween(std::chrono::year_month_day fecha1, std::chrono::year_month_day fecha2);

// One part of ElapsedBetween.
std::int32_t ElapsedPartBetween(std::chrono::year_month_day fecha1,
                                std::chrono::year_month_day fecha2, ElapsedPart part);

// The letter-coded form used by the calculator window: "a" gives the years,
// "m" the months and "d" the days. The code is matched exactly and is case
// sensitive; any other code, or a date that does not exist, gives no value.
std::optional<std::int32_t> perendat(std::chrono::year_month_day fecha1,
                                     std::chrono::year_month_day fecha2, std::string_view tipo);

} // namespace reloj
