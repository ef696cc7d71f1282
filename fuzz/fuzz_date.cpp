// Feeds arbitrary bytes to the birth-date box of the calculator and, for a date it accepts,
// computes the elapsed time against several days, the first and last representable among them,
// and checks the bounds every elapsed time keeps. A text with a line feed is also read as two
// dates, so that both ends of the interval come from the input.
#include "calculator/birth_date.h"
#include "calculator/elapsed.h"
#include "fuzz_check.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace reloj {
namespace {

using namespace std::chrono;

constexpr std::size_t kDateLength = 10;

constexpr year_month_day kTodays[] = {
    1y / January / 1,     9999y / December / 31, 2000y / February / 29, 2001y / March / 1,
    2024y / January / 31, 1970y / January / 1,   2100y / February / 28,
};

// The earlier date moved forward by whole months, a day past the end of its month carried
// into the next, as ages are counted.
sys_days MovedForward(year_month_day from, int32_t monthsAhead) {
    const year_month ym = from.year() / from.month() + months{monthsAhead};
    const year_month_day_last last = ym / std::chrono::last;
    if (from.day() <= last.day()) {
        return sys_days{ym / from.day()};
    }
    return sys_days{last} + (from.day() - last.day());
}

void CheckElapsed(year_month_day a, year_month_day b) {
    const Elapsed elapsed = ElapsedBetween(a, b);
    FUZZ_CHECK(elapsed.years >= 0);
    FUZZ_CHECK(elapsed.months >= 0 && elapsed.months <= 11);
    FUZZ_CHECK(elapsed.days >= 0 && elapsed.days <= 30);
    // The order of the dates does not matter.
    FUZZ_CHECK(ElapsedBetween(b, a) == elapsed);

    // The whole months, added to the earlier date, and then the days, reach the later date.
    const year_month_day earlier = sys_days{a} <= sys_days{b} ? a : b;
    const year_month_day later = sys_days{a} <= sys_days{b} ? b : a;
    const int32_t totalMonths = elapsed.years * 12 + elapsed.months;
    FUZZ_CHECK(MovedForward(earlier, totalMonths) + days{elapsed.days} == sys_days{later});
    // And they are as many months as fit.
    FUZZ_CHECK(MovedForward(earlier, totalMonths + 1) > sys_days{later});

    FUZZ_CHECK(ElapsedPartBetween(a, b, ElapsedPart::Years) == elapsed.years);
    FUZZ_CHECK(ElapsedPartBetween(a, b, ElapsedPart::Months) == elapsed.months);
    FUZZ_CHECK(ElapsedPartBetween(a, b, ElapsedPart::Days) == elapsed.days);

    const std::string caption = ElapsedCaption(elapsed);
    const std::string expected = std::to_string(elapsed.years) + " A\xC3\xB1os, " +
                                 std::to_string(elapsed.months) + " Meses Y " +
                                 std::to_string(elapsed.days) +
                                 " D\xC3\xAD"
                                 "as.";
    FUZZ_CHECK(caption == expected);
    FUZZ_CHECK(fuzz::IsOneLine(caption));
}

// Reads the text and checks what the kind of answer implies about it; gives the date when the
// text is one.
bool ReadAndCheck(std::string_view text, year_month_day& date) {
    const BirthDateText read = ReadBirthDate(text);
    switch (read.kind) {
    case BirthDateText::Kind::Ignored:
        // Ten bytes with no continuation byte among them are ten characters, never ignored.
        if (text.size() == kDateLength) {
            bool anyContinuation = false;
            for (char c : text) {
                anyContinuation =
                    anyContinuation || (static_cast<unsigned char>(c) & 0xC0U) == 0x80U;
            }
            FUZZ_CHECK(anyContinuation);
        }
        return false;
    case BirthDateText::Kind::Invalid:
        FUZZ_CHECK(read.errorPosition < kDateLength);
        return false;
    case BirthDateText::Kind::Valid:
        break;
    }
    FUZZ_CHECK(read.date.ok());
    FUZZ_CHECK(read.date.year() >= 1y && read.date.year() <= 9999y);
    // A valid date is exactly the ten characters it is written with.
    FUZZ_CHECK(text.size() == kDateLength);
    char written[kDateLength + 1];
    std::snprintf(written, sizeof written, "%02u%c%02u%c%04d",
                  static_cast<unsigned>(read.date.day()), text[2],
                  static_cast<unsigned>(read.date.month()), text[2],
                  static_cast<int>(read.date.year()));
    FUZZ_CHECK(text == std::string_view(written, kDateLength));
    date = read.date;
    return true;
}

} // namespace
} // namespace reloj

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace reloj;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::chrono::year_month_day date;
    if (ReadAndCheck(text, date)) {
        CheckElapsed(date, date);
        for (const auto& today : kTodays) {
            CheckElapsed(date, today);
        }
    }
    const std::size_t lineFeed = text.find('\n');
    if (lineFeed != std::string_view::npos) {
        std::chrono::year_month_day first;
        std::chrono::year_month_day second;
        const bool firstValid = ReadAndCheck(text.substr(0, lineFeed), first);
        const bool secondValid = ReadAndCheck(text.substr(lineFeed + 1), second);
        if (firstValid && secondValid) {
            CheckElapsed(first, second);
        }
    }
    return 0;
}
