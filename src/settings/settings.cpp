#include "settings/settings.h"

#include "core/numeric.h"
#include "settings/field_at.h"
#include "settings/parse_colour.h"

#include <algorithm>
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

namespace {

// The command line cut into its fields: each field's text as given, and for the numeric fields
// 1 to 5 the number it starts with. An empty command line leaves every field empty.
struct Fields {
    std::array<std::string, kFieldCount + 1> text;
    std::array<double, kFieldCount + 1> number{};
};

// The screen's layout and the defaults in twips that depend on it.
bool ApplyScreen(const ScreenLayout& layout, Reader& reader) {
    ClockLayout& s = reader.result.layout;
    const auto tppX = RoundToInt32(layout.twipsPerPixelX);
    const auto tppY = RoundToInt32(layout.twipsPerPixelY);
    if (!reader.Check(tppX, kScreenField, {}) || !reader.Check(tppY, kScreenField, {})) {
        return false;
    }
    s.twipsPerPixelX = tppX.value;
    s.twipsPerPixelY = tppY.value;
    s.scale = layout.scale;

    s.handStyle = kDefaultHandStyle;
    const auto defaultLeft = MultiplyInt32(kDefaultLeftPixels, s.twipsPerPixelX);
    const auto defaultTop = MultiplyInt32(kDefaultTopPixels, s.twipsPerPixelY);
    const auto defaultRadius = MultiplyInt32(kDefaultRadiusPixels, s.twipsPerPixelX);
    if (!reader.Check(defaultLeft, kScreenField, {}) ||
        !reader.Check(defaultTop, kScreenField, {}) ||
        !reader.Check(defaultRadius, kScreenField, {})) {
        return false;
    }
    s.startLeft = defaultLeft.value;
    s.startTop = defaultTop.value;
    s.movable = true;
    s.radius = Single(defaultRadius.value);
    s.colour = kDefaultColour;
    return true;
}

bool ReadFields(std::string_view commandLine, Fields& fields, Reader& reader) {
    if (commandLine.empty()) {
        return true;
    }
    for (int32_t n = 1; n <= kFieldCount; ++n) {
        fields.text[n] = FieldAt(commandLine, kFieldSeparator, n);
    }
    for (int32_t n = kLeftField; n <= kMovableField; ++n) {
        const auto number = LeadingNumber(fields.text[n]);
        if (!reader.Check(number, n, fields.text[n])) {
            return false;
        }
        // An infinity can only be an error, even where the field is compared with 0.
        if (!std::isfinite(number.value)) {
            reader.Fail(n, fields.text[n],
                        std::string(DescribeNumberError(NumberError::NotFinite)));
            return false;
        }
        fields.number[n] = number.value;
    }
    return true;
}

// The fields over the defaults: place, size, hand style, whether it moves, and colour.
bool ApplyFields(const Fields& fields, Reader& reader) {
    ClockLayout& s = reader.result.layout;
    const auto& text = fields.text;
    const auto left = RoundToInt32(fields.number[kLeftField] * s.twipsPerPixelX);
    const auto top = RoundToInt32(fields.number[kTopField] * s.twipsPerPixelY);
    const auto diameter = RoundToInt32(fields.number[kDiameterField] * s.twipsPerPixelX);
    const auto style = RoundToInt32(fields.number[kHandStyleField]);
    if (!reader.Check(left, kLeftField, text[kLeftField]) ||
        !reader.Check(top, kTopField, text[kTopField]) ||
        !reader.Check(diameter, kDiameterField, text[kDiameterField]) ||
        !reader.Check(style, kHandStyleField, text[kHandStyleField])) {
        return false;
    }
    s.startLeft = left.value;
    s.startTop = top.value;
    s.radius = Single(IntDiv(diameter.value, 2));
    s.handStyle = style.value;
    s.movable = fields.number[kMovableField] != 0;

    if (text[kColourField].empty()) {
        return true;
    }
    const auto colour = ParseColour(text[kColourField]);
    if (!colour.ok()) {
        reader.Fail(kColourField, text[kColourField],
                    std::string(DescribeColourError(colour.error)));
        return false;
    }
    s.colour = colour.value;
    // A number that was read but lies outside the colours (-1, &hFFFFFFFF) is told apart from
    // a text that could not be read at all, though both give -1.
    if (colour.form == ColourForm::Unrecognised) {
        reader.result.warnings.push_back("reloj: aviso: color " + Quote(text[kColourField]) +
                                         " no reconocido; se muestra el rojo");
    } else if (ShownColour(s.colour) != s.colour) {
        reader.result.warnings.push_back(
            "reloj: aviso: el valor " + Quote(text[kColourField]) +
            " no es un color (los colores van de 0 a &HFFFFFF); se muestra el rojo");
    }
    return true;
}

// The geometry, all of it derived from the ring radius. Products and sums are formed in double
// precision from the stored values; single-precision fields round when stored. A failure is
// the diameter's, the field the radius came from.
bool DeriveGeometry(const std::string& diameterText, Reader& reader) {
    ClockLayout& s = reader.result.layout;
    s.dotRadius = RoundToInt32(s.radius / kTwipsPerDotRadius).value;
    const auto dotSpan = MultiplyInt32(2 * s.dotRadius, s.twipsPerPixelX);
    if (!reader.Check(dotSpan, kDiameterField, diameterText)) {
        return false;
    }
    const auto windowSize = RoundToInt32(2.0 * s.radius + dotSpan.value);
    if (!reader.Check(windowSize, kDiameterField, diameterText)) {
        return false;
    }
    s.windowSize = windowSize.value;
    // A clock less than a pixel wide could be neither seen nor closed, and no X window can be
    // wider than the protocol's 16-bit coordinates allow.
    const int32_t widthPixels = Pixels(s).DeviceX(s.windowSize);
    if (widthPixels < 1) {
        reader.Fail(kDiameterField, diameterText,
                    "el reloj mediría menos de un píxel de ancho; dé un diámetro mayor");
        return false;
    }
    if (widthPixels > kMaxWindowPixels) {
        reader.Fail(kDiameterField, diameterText,
                    "el reloj mediría más de " + std::to_string(kMaxWindowPixels) +
                        " píxeles de ancho, más de lo que admite X11; dé un diámetro menor");
        return false;
    }
    s.centreOffset = RoundToInt32(s.windowSize * kHalf).value;
    s.handReach = Single(IntDiv(RoundToInt32(s.radius).value, s.twipsPerPixelX) -
                         s.dotRadius * kDotReachFactor);
    s.hourReach = Single(s.handReach * kSingle0_8);
    s.tailLength = Single(s.handReach * kSingle0_1);
    s.handWidth = Single(IntDiv(s.windowSize, 2 * s.twipsPerPixelX) * kSingle0_14);
    s.halfHandWidth = Single(s.handWidth * kHalf);
    return true;
}

} // namespace

ScreenLayout ChooseLayout(float screenTwipsPerPixelX, float screenTwipsPerPixelY,
                          std::optional<double> statedScale) {
    constexpr double kDensestOwnScale = kNominalTwipsPerPixel / kDensestOwnTwipsPerPixel;
    const float densest = std::min(screenTwipsPerPixelX, screenTwipsPerPixelY);
    const bool denseScreen = densest < kDensestOwnTwipsPerPixel;
    const bool scaledDesktop = statedScale && *statedScale > kDensestOwnScale;
    if (!denseScreen && !scaledDesktop) {
        return {screenTwipsPerPixelX, screenTwipsPerPixelY, 1.0};
    }
    // A desktop that states its factor to Qt programs also sets its dots per inch for the
    // same scaling (so do some): the factor stated is the one meant, and never multiplied by
    // the other.
    const double factor =
        statedScale ? *statedScale : static_cast<double>(kNominalTwipsPerPixel) / densest;
    // Not below 1: the clock is never drawn smaller than on an ordinary screen. A factor that is
    // not a number counts as none.
    const double scale = factor >= 1.0 ? std::min(factor, kLargestScale) : 1.0;
    return {kNominalTwipsPerPixel, kNominalTwipsPerPixel, scale};
}

Settings ReadSettings(std::string_view commandLine, float screenTwipsPerPixelX,
                      float screenTwipsPerPixelY, std::optional<double> statedScale) {
    Reader reader;
    Fields fields;
    if (ApplyScreen(ChooseLayout(screenTwipsPerPixelX, screenTwipsPerPixelY, statedScale),
                    reader) &&
        ReadFields(commandLine, fields, reader) &&
        (commandLine.empty() || ApplyFields(fields, reader))) {
        DeriveGeometry(fields.text[kDiameterField], reader);
    }
    return reader.result;
}

} // namespace reloj
