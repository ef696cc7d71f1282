#include "startup/settings.h"

#include "common/numeric.h"
#include "startup/get_field.h"
#include "startup/parse_colour.h"

#include <array>
#include <cmath>

namespace reloj {

namespace {

// Defaults in pixels: the clock stands near the top right of an 800-pixel-wide screen.
constexpr int32_t kDefaultLeftPixels = 718;
constexpr int32_t kDefaultTopPixels = 5;
constexpr int32_t kDefaultRadiusPixels = 35;
constexpr int32_t kDefaultHandStyle = 1;
constexpr double kTwipsPerDotRadius = 200.0;
constexpr double kDotReachFactor = 1.5;
constexpr double kHalf = 0.5;
constexpr std::size_t kMaxQuotedBytes = 40;
constexpr int32_t kMaxWindowPixels = 32767;

constexpr std::array<std::string_view, kFieldCount + 1> kFieldNames{
    "pantalla", "izquierda", "arriba", "diámetro", "estilo de las agujas", "movible", "color",
};

bool IsUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The field text as it may appear in a one-line message: control characters become blanks and
// a long text is cut, at a character boundary, with an ellipsis.
std::string Quote(std::string_view text) {
    std::string shown;
    std::size_t end = text.size();
    if (end > kMaxQuotedBytes) {
        end = kMaxQuotedBytes;
        while (end > 0 && IsUtf8Continuation(text[end])) {
            --end;
        }
    }
    for (std::size_t i = 0; i < end; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        shown.push_back(c < 0x20 || c == 0x7F ? ' ' : text[i]);
    }
    if (end < text.size()) {
        shown += "…";
    }
    return "«" + shown + "»";
}

class Reader {
  public:
    Settings result;

    template <typename T>
    bool Check(const NumberResult<T>& number, int32_t field, std::string_view text) {
        if (number.ok()) {
            return true;
        }
        Fail(field, text, std::string(DescribeNumberError(number.error)));
        return false;
    }

    void Fail(int32_t field, std::string_view text, std::string problem) {
        if (!result.error) {
            result.error = SettingsError{field, std::string(text), std::move(problem)};
        }
    }
};

} // namespace

std::string SettingsError::Message() const {
    std::string line = "reloj: ";
    if (field == kScreenField) {
        line += "pantalla: ";
    } else {
        line += "campo " + std::to_string(field) + " (" + std::string(kFieldNames.at(field)) +
                ") " + Quote(fieldText) + ": ";
    }
    return line + problem;
}

Colour ShownColour(Colour clockColour) {
    return clockColour >= kBlack && clockColour <= kWhite ? clockColour : kDefaultColour;
}

Settings ReadSettings(std::string_view commandLine, float screenTwipsPerPixelX,
                      float screenTwipsPerPixelY) {
    Reader reader;
    ClockState& s = reader.result.state;

    s.LastAutoColour = kNoColour;
    const auto tppX = RoundToInt32(screenTwipsPerPixelX);
    const auto tppY = RoundToInt32(screenTwipsPerPixelY);
    if (!reader.Check(tppX, kScreenField, {}) || !reader.Check(tppY, kScreenField, {})) {
        return reader.result;
    }
    s.TwipsPerPixelX = tppX.value;
    s.TwipsPerPixelY = tppY.value;

    s.HandStyle = kDefaultHandStyle;
    const auto defaultLeft = MultiplyInt32(kDefaultLeftPixels, s.TwipsPerPixelX);
    const auto defaultTop = MultiplyInt32(kDefaultTopPixels, s.TwipsPerPixelY);
    const auto defaultRadius = MultiplyInt32(kDefaultRadiusPixels, s.TwipsPerPixelX);
    if (!reader.Check(defaultLeft, kScreenField, {}) ||
        !reader.Check(defaultTop, kScreenField, {}) ||
        !reader.Check(defaultRadius, kScreenField, {})) {
        return reader.result;
    }
    s.StartLeft = defaultLeft.value;
    s.StartTop = defaultTop.value;
    s.Movable = true;
    s.Radius = Single(defaultRadius.value);
    s.ClockColour = kDefaultColour;

    s.CommandLine = std::string(commandLine);
    std::array<std::string, kFieldCount + 1> text;
    if (!s.CommandLine.empty()) {
        std::array<double, kFieldCount + 1> value{};
        for (int32_t n = 1; n <= kFieldCount; ++n) {
            int32_t last = -1;
            text[n] = GetField(s.CommandLine, kFieldSeparator, n, last);
        }
        for (int32_t n = kLeftField; n <= kMovableField; ++n) {
            const auto number = LeadingNumber(text[n]);
            if (!reader.Check(number, n, text[n])) {
                return reader.result;
            }
            // An infinity can only be an error, even where the field is compared with 0.
            if (!std::isfinite(number.value)) {
                reader.Fail(n, text[n], std::string(DescribeNumberError(NumberError::NotFinite)));
                return reader.result;
            }
            value[n] = number.value;
        }

        const auto left = RoundToInt32(value[kLeftField] * s.TwipsPerPixelX);
        const auto top = RoundToInt32(value[kTopField] * s.TwipsPerPixelY);
        const auto diameter = RoundToInt32(value[kDiameterField] * s.TwipsPerPixelX);
        const auto style = RoundToInt32(value[kHandStyleField]);
        if (!reader.Check(left, kLeftField, text[kLeftField]) ||
            !reader.Check(top, kTopField, text[kTopField]) ||
            !reader.Check(diameter, kDiameterField, text[kDiameterField]) ||
            !reader.Check(style, kHandStyleField, text[kHandStyleField])) {
            return reader.result;
        }
        s.StartLeft = left.value;
        s.StartTop = top.value;
        s.Radius = Single(IntDiv(diameter.value, 2));
        s.HandStyle = style.value;
        s.Movable = value[kMovableField] != 0;

        if (!text[kColourField].empty()) {
            const auto colour = ParseColour(text[kColourField]);
            if (!colour.ok()) {
                reader.Fail(kColourField, text[kColourField],
                            std::string(DescribeColourError(colour.error)));
                return reader.result;
            }
            s.ClockColour = colour.value;
            // A number that was read but lies outside the colours (-1, &hFFFFFFFF) is told
            // apart from a text that could not be read at all, though both give -1.
            if (colour.form == ColourForm::Unrecognised) {
                reader.result.warnings.push_back("reloj: aviso: color " +
                                                 Quote(text[kColourField]) +
                                                 " no reconocido; se muestra el rojo");
            } else if (ShownColour(s.ClockColour) != s.ClockColour) {
                reader.result.warnings.push_back(
                    "reloj: aviso: el valor " + Quote(text[kColourField]) +
                    " no es un color (los colores van de 0 a &HFFFFFF); se muestra el rojo");
            }
        }
    }

    // The geometry, all of it derived from the ring radius. Products and sums are formed in
    // double precision from the stored values; Single fields round when stored.
    const std::string& diameterText = text[kDiameterField];
    s.DotRadius = RoundToInt32(s.Radius / kTwipsPerDotRadius).value;
    const auto dotSpan = MultiplyInt32(2 * s.DotRadius, s.TwipsPerPixelX);
    if (!reader.Check(dotSpan, kDiameterField, diameterText)) {
        return reader.result;
    }
    const auto formSize = RoundToInt32(2.0 * s.Radius + dotSpan.value);
    if (!reader.Check(formSize, kDiameterField, diameterText)) {
        return reader.result;
    }
    s.FormSize = formSize.value;
    // A clock less than a pixel wide could be neither seen nor closed, and no X window can be
    // wider than the protocol's 16-bit coordinates allow.
    const int32_t widthPixels = IntDiv(s.FormSize, s.TwipsPerPixelX);
    if (widthPixels < 1) {
        reader.Fail(kDiameterField, diameterText,
                    "el reloj mediría menos de un píxel de ancho; dé un diámetro mayor");
        return reader.result;
    }
    if (widthPixels > kMaxWindowPixels) {
        reader.Fail(kDiameterField, diameterText,
                    "el reloj mediría más de " + std::to_string(kMaxWindowPixels) +
                        " píxeles de ancho, más de lo que admite X11; dé un diámetro menor");
        return reader.result;
    }
    s.CentreOffset = RoundToInt32(s.FormSize * kHalf).value;
    s.CentreX = s.CentreOffset;
    s.CentreY = s.CentreOffset;
    s.HandReach = Single(IntDiv(RoundToInt32(s.Radius).value, s.TwipsPerPixelX) -
                         s.DotRadius * kDotReachFactor);
    s.HourReach = Single(s.HandReach * kSingle0_8);
    s.TailLength = Single(s.HandReach * kSingle0_1);
    s.HandWidth = Single(IntDiv(s.FormSize, 2 * s.TwipsPerPixelX) * kSingle0_14);
    s.HalfHandWidth = Single(s.HandWidth * kHalf);
    return reader.result;
}

} // namespace reloj
