#include "core/numeric.h"

#include <clocale>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace reloj {
namespace {

struct LeadingRow {
    const char* name;
    std::string_view text;
    double expected;
    NumberError error = NumberError::None;
};

TEST(LeadingNumber, Table) {
    const double inf = std::numeric_limits<double>::infinity();
    const LeadingRow rows[] = {
        {"units after the number", "100px", 100},
        {"fraction", "12.5", 12.5},
        {"no number", "abc", 0},
        {"empty", "", 0},
        {"blanks anywhere", " 1 2\t3\n", 123},
        {"blank after sign", "- 5", -5},
        {"plus sign", "+3", 3},
        {"two signs", "--3", 0},
        {"leading point", ".5", 0.5},
        {"negative leading point", "-.5", -0.5},
        {"point alone", ".", 0},
        {"second point stops", "1.2.3", 1.2},
        {"comma is no decimal point", "12,5", 12},
        {"exponent", "1e3", 1000},
        {"exponent upper case, negative", "1E-2", 0.01},
        {"exponent without digits stops", "1e", 1},
        {"exponent sign without digits stops", "1e+x", 1},
        {"huge decimal becomes infinite", "1e999", inf},
        {"tiny decimal becomes zero", "1e-999", 0},
        {"hexadecimal", "&HFF", 255},
        {"hexadecimal lower case, stops at non-digit", "&hffz9", 255},
        {"hexadecimal with blanks", "&H F F", 255},
        {"octal", "&O17", 15},
        {"octal stops at 8", "&o178", 15},
        {"32-bit hexadecimal is two's complement", "&HFFFFFFFF", -1},
        {"sign bit", "&H80000000", -2147483648.0},
        {"hexadecimal leading zeros", "&H0000000000FF", 255},
        {"hexadecimal beyond 32 bits", "&H100000000", 0, NumberError::Overflow},
        {"octal beyond 32 bits", "&O40000000000", 0, NumberError::Overflow},
        {"no hexadecimal digits", "&Hzz", 0},
        {"ampersand alone", "&", 0},
        {"unknown radix", "&X12", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto result = LeadingNumber(row.text);
        EXPECT_EQ(result.error, row.error);
        if (row.error == NumberError::None) {
            EXPECT_EQ(result.value, row.expected);
        }
    }
}

// The program runs under the user's locale, where the decimal separator may be a comma.
TEST(LeadingNumber, IgnoresTheLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    bool switched = false;
    for (const char* name : {"es_ES.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8"}) {
        if (std::setlocale(LC_NUMERIC, name) != nullptr) {
            switched = true;
            break;
        }
    }
    EXPECT_EQ(LeadingNumber("12.5").value, 12.5);
    EXPECT_EQ(LeadingNumber("12,5").value, 12);
    std::setlocale(LC_NUMERIC, saved.c_str());
    if (!switched) {
        GTEST_SKIP() << "no comma locale installed";
    }
}

struct RoundRow {
    const char* name;
    double value;
    int32_t expected;
    NumberError error = NumberError::None;
};

TEST(RoundToInt32, HalvesToEvenAndRange) {
    const RoundRow rows[] = {
        {"half down to even", 2.5, 2},
        {"half up to even", 3.5, 4},
        {"negative half to even", -2.5, -2},
        {"just below half", 2.4999999, 2},
        {"twelve and a half", 12.5, 12},
        {"thirteen and a half", 13.5, 14},
        {"largest", 2147483647.4, 2147483647},
        {"rounds past the largest", 2147483647.5, 0, NumberError::Overflow},
        {"smallest, half to even", -2147483648.5, -2147483647 - 1},
        {"below the smallest", -2147483649.0, 0, NumberError::Overflow},
        {"1e99", 1e99, 0, NumberError::Overflow},
        {"infinity", std::numeric_limits<double>::infinity(), 0, NumberError::NotFinite},
        {"not a number", std::numeric_limits<double>::quiet_NaN(), 0, NumberError::NotFinite},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto result = RoundToInt32(row.value);
        EXPECT_EQ(result.error, row.error);
        if (row.error == NumberError::None) {
            EXPECT_EQ(result.value, row.expected);
        }
    }
}

TEST(RoundToInt16, Range) {
    EXPECT_EQ(RoundToInt16(32766.5).value, 32766);
    EXPECT_EQ(RoundToInt16(32767.5).error, NumberError::Overflow);
    EXPECT_EQ(RoundToInt16(-32768.5).value, -32768);
    EXPECT_EQ(RoundToInt16(-32769).error, NumberError::Overflow);
}

TEST(Integers, DivisionTruncatesAndProductsOverflow) {
    EXPECT_EQ(IntDiv(-20, 15), -1);
    EXPECT_EQ(IntDiv(1095, 15), 73);
    EXPECT_EQ(IntDiv(7, 0), 0);
    EXPECT_EQ(MultiplyInt32(718, 15).value, 10770);
    EXPECT_EQ(MultiplyInt32(718, 3000000).error, NumberError::Overflow);
    EXPECT_EQ(MultiplyInt32(-65536, 32768).value, -2147483647 - 1);
}

TEST(Single, ConstantsAreTheStoredFloats) {
    EXPECT_EQ(kSingle0_8, 0.800000011920928955078125);
    EXPECT_EQ(kSingle0_1, 0.100000001490116119384765625);
    EXPECT_EQ(kSingle0_14, 0.14000000059604644775390625);
    EXPECT_EQ(kSinglePi, 3.1415927410125732421875);
    EXPECT_EQ(Single(30.5 * kSingle0_8), 24.399999618530273f);
}

} // namespace
} // namespace reloj
