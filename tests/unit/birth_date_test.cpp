#include "calculator/birth_date.h"

#include <gtest/gtest.h>

namespace reloj {
namespace {

using namespace std::chrono;
using Kind = BirthDateText::Kind;

struct TextCase {
    const char* name;
    std::string_view text;
    Kind kind;
    year_month_day date;       // checked for Valid rows
    std::size_t errorPosition; // checked for Invalid rows
};

constexpr TextCase kTextCases[] = {
    {"slash separators", "20/05/2000", Kind::Valid, 2000y / May / 20, 0},
    {"dash separators", "20-05-2000", Kind::Valid, 2000y / May / 20, 0},
    {"dot separators", "20.05.2000", Kind::Valid, 2000y / May / 20, 0},
    {"leap day in leap year", "29/02/2000", Kind::Valid, 2000y / February / 29, 0},
    {"first and last representable years", "01/01/0001", Kind::Valid, 1y / January / 1, 0},
    {"last day of year 9999", "31/12/9999", Kind::Valid, 9999y / December / 31, 0},

    {"empty", "", Kind::Ignored, {}, 0},
    {"nine characters", "20/05/200", Kind::Ignored, {}, 0},
    {"eleven characters", "20/05/20000", Kind::Ignored, {}, 0},
    {"trailing blank", "20/05/2000 ", Kind::Ignored, {}, 0},
    {"ten bytes but nine characters", "2\xC3\xB1/05/200", Kind::Ignored, {}, 0},
    {"eleven characters with a multibyte one", "20/05/2000\xC3\xB1", Kind::Ignored, {}, 0},

    {"multibyte ten characters", "2\xC3\xB1/05/2000", Kind::Invalid, {}, 1},
    {"stray continuation byte counts as a character",
     "\x80"
     "0/05/2000",
     Kind::Invalid,
     {},
     0},
    {"truncated sequence does not swallow the next digit",
     "\xC3"
     "0/05/2000",
     Kind::Invalid,
     {},
     0},
    {"letters", "aa/bb/cccc", Kind::Invalid, {}, 0},
    {"leading blank", " 1/05/2000", Kind::Invalid, {}, 0},
    {"digit where separator belongs", "20005/2000", Kind::Invalid, {}, 2},
    {"unknown separator", "20/05,2000", Kind::Invalid, {}, 5},
    {"mixed separators", "20/05-2000", Kind::Invalid, {}, 5},
    {"day zero", "00/01/2000", Kind::Invalid, {}, 0},
    {"day 32", "32/01/2000", Kind::Invalid, {}, 0},
    {"month zero", "01/00/2000", Kind::Invalid, {}, 3},
    {"month 13", "01/13/2000", Kind::Invalid, {}, 3},
    {"year zero", "01/01/0000", Kind::Invalid, {}, 6},
    {"31 February", "31/02/2001", Kind::Invalid, {}, 0},
    {"31 April", "31/04/2001", Kind::Invalid, {}, 0},
    {"leap day in common year", "29/02/2001", Kind::Invalid, {}, 0},
    {"leap day in non-leap century", "29/02/1900", Kind::Invalid, {}, 0},
};

TEST(ReadBirthDate, Texts) {
    for (const TextCase& c : kTextCases) {
        SCOPED_TRACE(c.name);
        const BirthDateText got = ReadBirthDate(c.text);
        ASSERT_EQ(got.kind, c.kind);
        if (c.kind == Kind::Valid) {
            EXPECT_EQ(got.date, c.date);
        } else if (c.kind == Kind::Invalid) {
            EXPECT_EQ(got.errorPosition, c.errorPosition);
        }
    }
}

struct CaptionCase {
    const char* name;
    Elapsed elapsed;
    std::string_view expected;
};

TEST(ElapsedCaption, Format) {
    constexpr CaptionCase kCases[] = {
        {"typical",
         {2, 9, 18},
         "2 A\xC3\xB1os, 9 Meses Y 18 D\xC3\xAD"
         "as."},
        {"all zero",
         {0, 0, 0},
         "0 A\xC3\xB1os, 0 Meses Y 0 D\xC3\xAD"
         "as."},
        {"negative years",
         {-3, 0, 12},
         "-3 A\xC3\xB1os, 0 Meses Y 12 D\xC3\xAD"
         "as."},
        {"large years",
         {1234, 11, 30},
         "1234 A\xC3\xB1os, 11 Meses Y 30 D\xC3\xAD"
         "as."},
    };
    for (const CaptionCase& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ElapsedCaption(c.elapsed), c.expected);
    }
}

TEST(ElapsedCaption, InvalidCaptionIsUtf8) {
    EXPECT_EQ(kInvalidDateCaption, "Fecha no v\xC3\xA1lida.");
}

} // namespace
} // namespace reloj
