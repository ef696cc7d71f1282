#include "settings/parse_colour.h"

#include "core/colour.h"
#include "core/numeric.h"

#include <QString>
#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>

namespace reloj {

namespace {

// Full-intensity colours; qbcolor(n) here is not the sixteen-colour palette of the
// right-button cycle: indices 0-7 and 8-15 both run through the eight pure colours.
constexpr Colour kRed = 0x0000FF;
constexpr Colour kGreen = 0x00FF00;
constexpr Colour kYellow = 0x00FFFF;
constexpr Colour kBlue = 0xFF0000;
constexpr Colour kMagenta = 0xFF00FF;
constexpr Colour kCyan = 0xFFFF00;
constexpr Colour kSoftWhite = 0xFCFCFC; // the white words; only qbcolor(15) is full white

constexpr std::array<std::pair<std::string_view, Colour>, 40> kColourWords{{
    {"vbblack", kBlack},
    {"black", kBlack},
    {"schwarz", kBlack},
    {"qbcolor(0)", kBlack},
    {"qbcolor(8)", kBlack},
    {"vbred", kRed},
    {"red", kRed},
    {"rot", kRed},
    {"qbcolor(4)", kRed},
    {"qbcolor(9)", kRed},
    {"vbgreen", kGreen},
    {"green", kGreen},
    {"grün", kGreen},
    {"gruen", kGreen},
    {"qbcolor(2)", kGreen},
    {"qbcolor(10)", kGreen},
    {"vbyellow", kYellow},
    {"yellow", kYellow},
    {"gelb", kYellow},
    {"qbcolor(6)", kYellow},
    {"qbcolor(11)", kYellow},
    {"vbblue", kBlue},
    {"blue", kBlue},
    {"blau", kBlue},
    {"qbcolor(1)", kBlue},
    {"qbcolor(12)", kBlue},
    {"vbmagenta", kMagenta},
    {"magenta", kMagenta},
    {"qbcolor(5)", kMagenta},
    {"qbcolor(13)", kMagenta},
    {"vbcyan", kCyan},
    {"cyan", kCyan},
    {"qbcolor(3)", kCyan},
    {"qbcolor(14)", kCyan},
    {"vbwhite", kSoftWhite},
    {"white", kSoftWhite},
    {"weiß", kSoftWhite},
    {"weiss", kSoftWhite},
    {"qbcolor(7)", kSoftWhite},
    {"qbcolor(15)", kWhite},
}};

constexpr int32_t kMaxComponent = 255;
constexpr int32_t kMaxHexDigits = 8; // 32 bits
constexpr std::string_view kRgbPrefix = "rgb";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// "&h" and hexadecimal digits, read into 32 bits two's complement: up to six digits give a
// colour, seven or eight wrap into the sign bit, more do not fit.
ColourResult ParseHex(std::string_view digits) {
    digits = TrimBlanks(digits);
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), IsHexDigit)) {
        return {kNoColour, ColourError::NotHexadecimal};
    }
    const auto significant = digits.find_first_not_of('0');
    if (significant != std::string_view::npos &&
        digits.size() - significant > static_cast<std::size_t>(kMaxHexDigits)) {
        return {kNoColour, ColourError::Overflow};
    }
    const auto number = LeadingNumber(std::string("&h") + std::string(digits));
    return {static_cast<Colour>(number.value)};
}

// A plain decimal number standing alone: blanks around it, an optional sign, digits with an
// optional fraction and an optional exponent.
bool IsNumericText(std::string_view text) {
    text = TrimBlanks(text);
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    bool digits = false;
    while (i < text.size() && IsDigit(text[i])) {
        ++i;
        digits = true;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) {
            ++i;
            digits = true;
        }
    }
    if (!digits) {
        return false;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        const std::size_t exponentStart = i;
        while (i < text.size() && IsDigit(text[i])) {
            ++i;
        }
        if (i == exponentStart) {
            return false;
        }
    }
    return i == text.size();
}

ColourResult ParseDecimal(std::string_view text) {
    const auto rounded = RoundToInt32(LeadingNumber(text).value);
    switch (rounded.error) {
    case NumberError::None:
        return {rounded.value};
    case NumberError::Overflow:
        return {kNoColour, ColourError::Overflow};
    case NumberError::NotFinite:
        break;
    }
    return {kNoColour, ColourError::NotFinite};
}

// One component of an rgb triple: the leading number of the text between its delimiters,
// rounded and held to 0-255, so that no component text can fail.
int32_t Component(std::string_view text) {
    const auto number = LeadingNumber(text);
    if (number.error != NumberError::None) {
        return kMaxComponent; // a hexadecimal component wider than 32 bits
    }
    const double held = std::clamp(number.value, 0.0, static_cast<double>(kMaxComponent));
    return RoundToInt32(held).value;
}

// "rgb", an optional "(", then red, green and blue separated by commas. Without a comma
// there is no triple at all.
std::optional<Colour> ParseTriple(std::string_view working) {
    std::string_view rest = working.substr(kRgbPrefix.size());
    if (!rest.empty() && rest.front() == '(') {
        rest.remove_prefix(1);
    }
    const auto comma1 = rest.find(',');
    if (comma1 == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view red = rest.substr(0, comma1);
    std::string_view afterRed = rest.substr(comma1 + 1);
    const auto comma2 = afterRed.find(',');
    const std::string_view green = afterRed.substr(0, comma2);
    std::string_view blue;
    if (comma2 != std::string_view::npos) {
        const std::string_view afterGreen = afterRed.substr(comma2 + 1);
        blue = afterGreen.substr(0, afterGreen.find(','));
    }
    return PackColour(Component(red), Component(green), Component(blue));
}

std::string LowerCase(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
        .toLower()
        .toStdString();
}

std::string_view TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

} // namespace

ColourResult ParseColour(std::string_view text) {
    if (!text.empty() && text.back() == '&') {
        text.remove_suffix(1);
    }
    if (text.size() >= 2 && text[0] == '&' && (text[1] == 'h' || text[1] == 'H')) {
        ColourResult result = ParseHex(text.substr(2));
        result.form = ColourForm::Hexadecimal;
        return result;
    }
    if (IsNumericText(text)) {
        ColourResult result = ParseDecimal(text);
        result.form = ColourForm::Decimal;
        return result;
    }
    const std::string working = LowerCase(TrimSpaces(text));
    for (const auto& [word, colour] : kColourWords) {
        if (word == working) {
            return {colour, ColourError::None, ColourForm::Word};
        }
    }
    if (std::string_view(working).starts_with(kRgbPrefix)) {
        if (const auto triple = ParseTriple(working)) {
            return {*triple, ColourError::None, ColourForm::Triple};
        }
    }
    return {kNoColour};
}

std::string_view DescribeColourError(ColourError error) {
    switch (error) {
    case ColourError::None:
        return "sin error";
    case ColourError::NotHexadecimal:
        return "tras «&h» debe venir un número hexadecimal";
    case ColourError::Overflow:
        return "desbordamiento: el número no cabe en 32 bits";
    case ColourError::NotFinite:
        return "el número no es finito";
    }
    return "color no válido";
}

} // namespace reloj
