#include "calculator/elapsed.h"

#include <gtest/gtest.h>
#include <string>

namespace reloj {
namespace {

using namespace std::chrono;

struct ElapsedCase {
    const char* name;
    year_month_day from;
    year_month_day to;
    Elapsed expected;
};

constexpr ElapsedCase kElapsedCases[] = {
    {"equal dates", 2000y / May / 20, 2000y / May / 20, {0, 0, 0}},
    {"day borrow across years", 2000y / May / 20, 2003y / March / 10, {2, 9, 18}},
    {"same month, day not yet reached", 2000y / March / 20, 2003y / March / 10, {2, 11, 18}},
    {"exact birthday", 2000y / March / 10, 2003y / March / 10, {3, 0, 0}},
    {"borrow from December of year before",
     2000y / December / 15,
     2001y / January / 10,
     {0, 0, 26}},
    {"leap day to day before its anniversary",
     2000y / February / 29,
     2001y / February / 28,
     {0, 11, 30}},
    {"leap day to first of March", 2000y / February / 29, 2001y / March / 1, {1, 0, 0}},
    {"borrow date 31 April carries to 1 May", 2000y / March / 31, 2000y / May / 1, {0, 1, 0}},
    {"regression: second borrow, 31 Jan to 1 Mar, common year",
     2001y / January / 31,
     2001y / March / 1,
     {0, 0, 29}},
    {"regression: second borrow, 31 Jan to 1 Mar, leap year",
     2000y / January / 31,
     2000y / March / 1,
     {0, 0, 30}},
    {"regression: second borrow across a year boundary",
     2000y / December / 31,
     2001y / March / 1,
     {0, 1, 29}},
    {"borrow date 31 September carries to 1 October",
     2000y / August / 31,
     2000y / October / 30,
     {0, 1, 29}},
};

TEST(ElapsedBetween, StatedCasesInEitherOrder) {
    for (const ElapsedCase& c : kElapsedCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ElapsedBetween(c.from, c.to), c.expected);
        EXPECT_EQ(ElapsedBetween(c.to, c.from), c.expected);
    }
}

TEST(ElapsedPartBetween, EachPartIsThatOfTheWhole) {
    const Elapsed whole = ElapsedBetween(2000y / May / 20, 2003y / March / 10);
    ASSERT_EQ(whole, (Elapsed{2, 9, 18}));
    EXPECT_EQ(ElapsedPartBetween(2000y / May / 20, 2003y / March / 10, ElapsedPart::Years), 2);
    EXPECT_EQ(ElapsedPartBetween(2000y / May / 20, 2003y / March / 10, ElapsedPart::Months), 9);
    EXPECT_EQ(ElapsedPartBetween(2000y / May / 20, 2003y / March / 10, ElapsedPart::Days), 18);
}

// The earlier date moved forward by a number of months, with a day past the
// end of its month carried into the next one. Written against
// year_month_day_last so it does not share the code under test.
sys_days MovedForward(year_month_day from, int monthsAhead) {
    const year_month ym = from.year() / from.month() + months{monthsAhead};
    const year_month_day_last last = ym / std::chrono::last;
    if (from.day() <= last.day()) {
        return sys_days{ym / from.day()};
    }
    return sys_days{last} + (from.day() - last.day());
}

struct DateRange {
    const char* name;
    year_month_day first;
    year_month_day last;
};

// Exhaustive over every ordered pair in each range: the result must be the
// largest whole number of months that still fits, the rest in days, with the
// months and days inside their usual bounds.
TEST(ElapsedBetween, EveryPairIsLargestFittingMonthsThenDays) {
    constexpr DateRange kRanges[] = {
        {"around the 2000 leap year", 1999y / January / 1, 2001y / December / 31},
        {"around the 2100 non-leap century", 2099y / October / 1, 2100y / May / 31},
    };
    for (const DateRange& range : kRanges) {
        SCOPED_TRACE(range.name);
        int failures = 0;
        for (sys_days a{range.first}; a <= sys_days{range.last} && failures < 5; a += days{1}) {
            for (sys_days b = a; b <= sys_days{range.last} && failures < 5; b += days{1}) {
                const year_month_day ymdA{a};
                const year_month_day ymdB{b};
                int total = 12 * (int(ymdB.year()) - int(ymdA.year())) +
                            (int(unsigned(ymdB.month())) - int(unsigned(ymdA.month())));
                while (MovedForward(ymdA, total) > b)
                    --total;
                const Elapsed expected{total / 12, total % 12,
                                       int((b - MovedForward(ymdA, total)).count())};
                const Elapsed got = ElapsedBetween(ymdA, ymdB);
                const bool inBounds = got.years >= 0 && got.months >= 0 && got.months <= 11 &&
                                      got.days >= 0 && got.days <= 30;
                if (!(got == expected) || !inBounds) {
                    ++failures;
                    ADD_FAILURE() << int(ymdA.year()) << '-' << unsigned(ymdA.month()) << '-'
                                  << unsigned(ymdA.day()) << " to " << int(ymdB.year()) << '-'
                                  << unsigned(ymdB.month()) << '-' << unsigned(ymdB.day())
                                  << ": got " << got.years << ',' << got.months << ',' << got.days
                                  << " expected " << expected.years << ',' << expected.months << ','
                                  << expected.days;
                }
            }
        }
    }
}

} // namespace
} // namespace reloj
