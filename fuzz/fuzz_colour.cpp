// Feeds arbitrary bytes to the colour reader of the command line and checks what holds by
// construction: only numbers and "&h" texts can fail, hexadecimal texts give the value of their
// digits, rgb triples give a colour, and neither letter case nor a trailing "&" changes anything.
#include "fuzz_check.h"
#include "settings/parse_colour.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace reloj {
namespace {

constexpr Colour kLargestColour = 0xFFFFFF;
constexpr std::size_t kColourDigits = 6;
constexpr std::size_t kWordDigits = 8; // 32 bits

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view WithoutBlanksAround(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

unsigned HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return static_cast<unsigned>(c - '0');
    }
    if (c >= 'a' && c <= 'f') {
        return static_cast<unsigned>(c - 'a' + 10);
    }
    return static_cast<unsigned>(c - 'A' + 10);
}

char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool HasHexPrefix(std::string_view text) {
    return text.size() >= 2 && text[0] == '&' && (text[1] == 'h' || text[1] == 'H');
}

// A loose notion of a number: nothing but digits, signs, points and exponent letters between
// the blanks. Every text the reader takes for a number is one of these.
bool LooksNumeric(std::string_view text) {
    text = WithoutBlanksAround(text);
    return !text.empty() && text.find_first_not_of("0123456789+-.eE") == std::string_view::npos;
}

// "&h" and hexadecimal digits: the digits' value in 32 bits, or an overflow past 8 significant
// digits, or an error when anything but digits stands between the blanks.
void CheckHexadecimal(std::string_view digits, const ColourResult& result) {
    digits = WithoutBlanksAround(digits);
    bool allHex = !digits.empty();
    for (char c : digits) {
        allHex = allHex && IsHexDigit(c);
    }
    if (!allHex) {
        FUZZ_CHECK(result.error == ColourError::NotHexadecimal);
        return;
    }
    while (digits.size() > 1 && digits.front() == '0') {
        digits.remove_prefix(1);
    }
    if (digits.size() > kWordDigits) {
        FUZZ_CHECK(result.error == ColourError::Overflow);
        return;
    }
    uint32_t value = 0;
    for (char c : digits) {
        value = value * 16U + HexValue(c);
    }
    FUZZ_CHECK(result.ok());
    FUZZ_CHECK(result.value == static_cast<Colour>(value));
    if (digits.size() <= kColourDigits) {
        FUZZ_CHECK(result.value >= 0 && result.value <= kLargestColour);
    }
}

void CheckColour(std::string_view text) {
    const ColourResult result = ParseColour(text);

    std::string_view body = text;
    if (!body.empty() && body.back() == '&') {
        body.remove_suffix(1);
    }
    const bool hexadecimal = HasHexPrefix(body);
    const bool numeric = !hexadecimal && LooksNumeric(body);

    // Words and triples never fail; only the two kinds of number can.
    FUZZ_CHECK(result.ok() || hexadecimal || numeric);
    FUZZ_CHECK(result.error != ColourError::NotHexadecimal || hexadecimal);
    FUZZ_CHECK(result.error != ColourError::NotFinite || numeric);
    if (!result.ok()) {
        FUZZ_CHECK(result.value == kNoColour);
    }
    if (hexadecimal) {
        CheckHexadecimal(body.substr(2), result);
    }
    if (!hexadecimal && !numeric) {
        // A word or a triple is a colour, or no colour at all.
        FUZZ_CHECK(result.value == kNoColour ||
                   (result.value >= 0 && result.value <= kLargestColour));
    }

    // "rgb" and a comma after it is always a triple, each component held to 0-255.
    const bool rgb = body.size() >= 3 && AsciiUpper(body[0]) == 'R' && AsciiUpper(body[1]) == 'G' &&
                     AsciiUpper(body[2]) == 'B';
    if (rgb && body.find(',', 3) != std::string_view::npos) {
        FUZZ_CHECK(result.ok());
        FUZZ_CHECK(result.value >= 0 && result.value <= kLargestColour);
    }

    // Letter case never matters: words are compared in lower case, and hexadecimal digits,
    // exponents and the &h and &o prefixes are read in either case.
    std::string upper(text);
    for (char& c : upper) {
        c = AsciiUpper(c);
    }
    const ColourResult upperResult = ParseColour(upper);
    FUZZ_CHECK(upperResult.error == result.error);
    FUZZ_CHECK(upperResult.value == result.value);

    // One trailing "&" is dropped, so adding one to a text without it changes nothing.
    if (text.empty() || text.back() != '&') {
        const ColourResult marked = ParseColour(std::string(text) + "&");
        FUZZ_CHECK(marked.error == result.error);
        FUZZ_CHECK(marked.value == result.value);
    }
}

} // namespace
} // namespace reloj

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    reloj::CheckColour(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
