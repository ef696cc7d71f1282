#include "calculator/elapsed.h"

#include <utility>

namespace reloj {
namespace {

using std::chrono::days;
using std::chrono::month;
using std::chrono::months;
using std::chrono::sys_days;
using std::chrono::year;
using std::chrono::year_month;
using std::chrono::year_month_day;

// The day `day` of the month `monthNumber` of `yearNumber`, where the month
// may run below 1 (0 is December of the year before, -1 is November) and the
// day may run past the end of its month, in which case the surplus carries
// into the following month: 31 February 2001 is 3 March 2001.
sys_days CarriedDate(year yearNumber, int monthNumber, std::chrono::day day) {
    const year_month ym = yearNumber / month{1} + months{monthNumber - 1};
    const int dayNumber = static_cast<int>(static_cast<unsigned>(day));
    return sys_days{ym / 1} + days{dayNumber - 1};
}

int DaysFrom(sys_days from, sys_days to) {
    return static_cast<int>((to - from).count());
}

} // namespace

Elapsed ElapsedBetween(year_month_day from, year_month_day to) {
    year_month_day a = from;
    year_month_day b = to;
    if (sys_days{b} < sys_days{a}) {
        std::swap(a, b);
    }

    const int yearA = static_cast<int>(a.year());
    const int yearB = static_cast<int>(b.year());
    const int monthA = static_cast<int>(static_cast<unsigned>(a.month()));
    const int monthB = static_cast<int>(static_cast<unsigned>(b.month()));
    const int dayA = static_cast<int>(static_cast<unsigned>(a.day()));
    const int dayB = static_cast<int>(static_cast<unsigned>(b.day()));

    // The last year is not complete until the later date reaches the
    // earlier date's month and day.
    int years = yearB - yearA;
    if (monthB < monthA || (monthB == monthA && dayB < dayA)) {
        --years;
    }
    int months = 12 * (yearB - yearA) + (monthB - monthA) - 12 * years;
    int dayCount = dayB - dayA;

    if (dayCount < 0) {
        // The last month is not complete either: count the days from the
        // earlier date's day in the month before the later date's month.
        --months;
        const sys_days later{b};
        dayCount = DaysFrom(CarriedDate(b.year(), monthB - 1, a.day()), later);
        if (dayCount < 0) {
            // The earlier date's day does not exist in that month and carried
            // past the later date. Only February is short enough for that,
            // so the month two back is January, which has every day, and
            // one further step back is enough.
            --months;
            dayCount = DaysFrom(CarriedDate(b.year(), monthB - 2, a.day()), later);
        }
    }

    return Elapsed{years, months, dayCount};
}

std::int32_t ElapsedPartBetween(year_month_day from, year_month_day to, ElapsedPart part) {
    const Elapsed elapsed = ElapsedBetween(from, to);
    switch (part) {
    case ElapsedPart::Years:
        return elapsed.years;
    case ElapsedPart::Months:
        return elapsed.months;
    case ElapsedPart::Days:
        return elapsed.days;
    }
    return 0;
}

} // namespace reloj
