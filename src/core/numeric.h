// The numeric rules every part of the clock shares: how a number is read from the start of a
// text, how a floating-point value becomes a 16- or 32-bit integer (nearest, halves to even,
// with an overflow error instead of a wrap), and how a value is stored in single precision.
// Nothing here knows what the numbers mean; callers name the field when they report an error.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace reloj {

enum class NumberError {
    None,
    Overflow,  // the value does not fit the integer it must become
    NotFinite, // the value is infinite or not a number
};

// A conversion's outcome: the value, or the reason it could not be had.
template <typename T> struct NumberResult {
    T value{};
    NumberError error = NumberError::None;

    bool ok() const { return error == NumberError::None; }
};

// The leading number of a text. Blanks, tabs and line feeds anywhere in the text are ignored;
// "." is the decimal point whatever the locale; a sign, a fraction and an exponent (E, an
// optional sign and digits) are read, as are the prefixes &H (hexadecimal) and &O (octal);
// reading stops at the first character that cannot continue the number, and a text with no
// number gives 0. A decimal number too large for a double comes back as an infinity (the
// caller decides whether that is an error); a hexadecimal or octal number with more than
// 32 bits is an overflow. Up to 32 bits, &H and &O numbers are two's complement: &HFFFFFFFF is -1.
NumberResult<double> LeadingNumber(std::string_view text);

// Nearest integer, halves to even (2.5 gives 2, 3.5 gives 4), checked against the range.
NumberResult<int32_t> RoundToInt32(double value);
NumberResult<int16_t> RoundToInt16(double value);

// Integer division truncating toward zero; a zero divisor gives 0 rather than a trap, since
// the platform never reports a ratio below 1 and a crash is never the right answer.
constexpr int32_t IntDiv(int32_t a, int32_t b) {
    if (b == 0 || (a == INT32_MIN && b == -1)) {
        return 0;
    }
    return a / b;
}

// A value kept in single precision: rounded to the nearest float when stored, as the clock's
// Single fields are. Every later use reads the exact stored float back as a double.
constexpr float Single(double value) {
    return static_cast<float>(value);
}

// The single-precision constants the geometry multiplies by, exactly as stored.
inline constexpr double kSingle0_1 = static_cast<double>(0.1f);
inline constexpr double kSingle0_14 = static_cast<double>(0.14f);
inline constexpr double kSingle0_8 = static_cast<double>(0.8f);
inline constexpr double kSinglePi = static_cast<double>(3.14159265358979323846f);

// Integer product checked against the 32-bit range.
NumberResult<int32_t> MultiplyInt32(int32_t a, int32_t b);

// A short Spanish phrase for an error, for messages such as "campo 1: <phrase>".
std::string_view DescribeNumberError(NumberError error);

} // namespace reloj
