#include "core/numeric.h"

#include <cmath>
#include <limits>
#include <locale.h>
#include <stdlib.h>
#include <string>

namespace reloj {

namespace {

bool IsIgnoredBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int DigitValue(char c, int radix) {
    int value = -1;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        value = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        value = c - 'A' + 10;
    }
    return value < radix ? value : -1;
}

// Reads the digits of an &H or &O number into 32 bits, two's complement, as command lines
// written for the clock have always been read; more than 32 bits is an overflow.
NumberResult<double> ReadRadixNumber(std::string_view digits, int radix) {
    uint64_t value = 0;
    for (char c : digits) {
        int digit = DigitValue(c, radix);
        if (digit < 0) {
            break;
        }
        value = value * static_cast<uint64_t>(radix) + static_cast<uint64_t>(digit);
        if (value > std::numeric_limits<uint32_t>::max()) {
            return {0.0, NumberError::Overflow};
        }
    }
    return {static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(value)))};
}

// Converts a decimal text made only of digits, one point and an exponent to the nearest double,
// independently of the process locale (the application runs under the user's locale, where
// the decimal separator may be a comma).
double DecimalToDouble(const std::string& text) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return strtod_l(text.c_str(), nullptr, cLocale);
}

template <typename T> NumberResult<T> RoundTo(double value) {
    if (!std::isfinite(value)) {
        return {T{}, NumberError::NotFinite};
    }
    // nearbyint rounds halves to even in the default rounding mode, which the program never
    // changes.
    const double rounded = std::nearbyint(value);
    if (rounded < static_cast<double>(std::numeric_limits<T>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<T>::max())) {
        return {T{}, NumberError::Overflow};
    }
    return {static_cast<T>(rounded)};
}

} // namespace

NumberResult<double> LeadingNumber(std::string_view text) {
    std::string compact;
    compact.reserve(text.size());
    for (char c : text) {
        if (!IsIgnoredBlank(c)) {
            compact.push_back(c);
        }
    }

    if (compact.size() >= 2 && compact[0] == '&') {
        const char radix = compact[1];
        if (radix == 'h' || radix == 'H') {
            return ReadRadixNumber(std::string_view(compact).substr(2), 16);
        }
        if (radix == 'o' || radix == 'O') {
            return ReadRadixNumber(std::string_view(compact).substr(2), 8);
        }
        return {0.0};
    }

    // Collect the longest prefix that is a number: sign, digits, point, digits, exponent.
    std::string number;
    std::size_t i = 0;
    if (i < compact.size() && (compact[i] == '+' || compact[i] == '-')) {
        number.push_back(compact[i++]);
    }
    bool mantissaDigits = false;
    while (i < compact.size() && IsDigit(compact[i])) {
        number.push_back(compact[i++]);
        mantissaDigits = true;
    }
    if (i < compact.size() && compact[i] == '.') {
        number.push_back(compact[i++]);
        while (i < compact.size() && IsDigit(compact[i])) {
            number.push_back(compact[i++]);
            mantissaDigits = true;
        }
    }
    if (!mantissaDigits) {
        return {0.0};
    }
    if (i < compact.size() && (compact[i] == 'e' || compact[i] == 'E')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < compact.size() && (compact[j] == '+' || compact[j] == '-')) {
            exponent.push_back(compact[j++]);
        }
        bool exponentDigits = false;
        while (j < compact.size() && IsDigit(compact[j])) {
            exponent.push_back(compact[j++]);
            exponentDigits = true;
        }
        // "1e" and "1e+" stop before the letter: the number is 1.
        if (exponentDigits) {
            number += exponent;
        }
    }
    return {DecimalToDouble(number)};
}

NumberResult<int32_t> RoundToInt32(double value) {
    return RoundTo<int32_t>(value);
}

NumberResult<int16_t> RoundToInt16(double value) {
    return RoundTo<int16_t>(value);
}

NumberResult<int32_t> MultiplyInt32(int32_t a, int32_t b) {
    const int64_t product = static_cast<int64_t>(a) * static_cast<int64_t>(b);
    if (product < std::numeric_limits<int32_t>::min() ||
        product > std::numeric_limits<int32_t>::max()) {
        return {0, NumberError::Overflow};
    }
    return {static_cast<int32_t>(product)};
}

std::string_view DescribeNumberError(NumberError error) {
    switch (error) {
    case NumberError::None:
        return "sin error";
    case NumberError::Overflow:
        return "desbordamiento: el número es demasiado grande";
    case NumberError::NotFinite:
        return "el número no es finito";
    }
    return "error numérico";
}

} // namespace reloj
