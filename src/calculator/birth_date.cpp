#include "calculator/birth_date.h"

#include <array>

namespace reloj {
namespace {

constexpr std::size_t kDateLength = 10;
constexpr std::size_t kDayStart = 0;
constexpr std::size_t kFirstSeparator = 2;
constexpr std::size_t kMonthStart = 3;
constexpr std::size_t kSecondSeparator = 5;
constexpr std::size_t kYearStart = 6;

bool IsContinuationByte(unsigned char byte) {
    return (byte & 0xC0U) == 0x80U;
}

// Number of bytes a UTF-8 sequence claims from its lead byte; bytes that
// cannot start a sequence stand alone.
std::size_t ClaimedLength(unsigned char lead) {
    if (lead < 0x80U)
        return 1;
    if ((lead & 0xE0U) == 0xC0U)
        return 2;
    if ((lead & 0xF0U) == 0xE0U)
        return 3;
    if ((lead & 0xF8U) == 0xF0U)
        return 4;
    return 1;
}

// Splits the text into characters, stopping once it is clear the text is
// longer than a date. Each character is reported as its single byte when it
// is ASCII, and as 0 (never a digit or separator) otherwise, which is all
// the date reader needs to know about it.
struct Characters {
    std::array<char, kDateLength> ascii{};
    std::size_t count = 0; // capped at kDateLength + 1
};

Characters SplitCharacters(std::string_view text) {
    Characters result;
    std::size_t i = 0;
    while (i < text.size() && result.count <= kDateLength) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        // A truncated sequence ends at the first byte that does not continue
        // it, so one bad byte never swallows the characters after it.
        const std::size_t claimed = ClaimedLength(lead);
        while (length < claimed && i + length < text.size() &&
               IsContinuationByte(static_cast<unsigned char>(text[i + length]))) {
            ++length;
        }
        if (result.count < kDateLength) {
            result.ascii[result.count] = lead < 0x80U ? static_cast<char>(lead) : '\0';
        }
        ++result.count;
        i += length;
    }
    return result;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsSeparator(char c) {
    return c == '/' || c == '-' || c == '.';
}

unsigned Number(const Characters& chars, std::size_t start, std::size_t length) {
    unsigned value = 0;
    for (std::size_t k = start; k < start + length; ++k) {
        value = value * 10U + static_cast<unsigned>(chars.ascii[k] - '0');
    }
    return value;
}

BirthDateText Invalid(std::size_t position) {
    BirthDateText result;
    result.kind = BirthDateText::Kind::Invalid;
    result.errorPosition = position;
    return result;
}

} // namespace

BirthDateText ReadBirthDate(std::string_view utf8Text) {
    const Characters chars = SplitCharacters(utf8Text);
    if (chars.count != kDateLength) {
        return BirthDateText{};
    }

    for (std::size_t k = 0; k < kDateLength; ++k) {
        const char c = chars.ascii[k];
        const bool separatorSlot = k == kFirstSeparator || k == kSecondSeparator;
        if (separatorSlot ? !IsSeparator(c) : !IsDigit(c)) {
            return Invalid(k);
        }
    }
    if (chars.ascii[kSecondSeparator] != chars.ascii[kFirstSeparator]) {
        return Invalid(kSecondSeparator);
    }

    const unsigned dayNumber = Number(chars, kDayStart, 2);
    const unsigned monthNumber = Number(chars, kMonthStart, 2);
    const unsigned yearNumber = Number(chars, kYearStart, 4);

    if (dayNumber < 1 || dayNumber > 31) {
        return Invalid(kDayStart);
    }
    if (monthNumber < 1 || monthNumber > 12) {
        return Invalid(kMonthStart);
    }
    // There was no year 0 in the calendar people write birth dates in.
    if (yearNumber < 1) {
        return Invalid(kYearStart);
    }
    const std::chrono::year_month_day date{std::chrono::year{static_cast<int>(yearNumber)},
                                           std::chrono::month{monthNumber},
                                           std::chrono::day{dayNumber}};
    if (!date.ok()) {
        return Invalid(kDayStart);
    }

    BirthDateText result;
    result.kind = BirthDateText::Kind::Valid;
    result.date = date;
    return result;
}

std::string ElapsedCaption(const Elapsed& elapsed) {
    std::string caption = std::to_string(elapsed.years);
    caption += " Años, ";
    caption += std::to_string(elapsed.months);
    caption += " Meses Y ";
    caption += std::to_string(elapsed.days);
    caption += " Días.";
    return caption;
}

} // namespace reloj
