// Feeds arbitrary bytes to the command-line reader at several screen ratios and, when the
// settings are accepted, through every piece of geometry the clock derives from them: the twelve
// hour dots and their pixel rows, the window corners and the hands. The same bytes also drive
// FieldAt directly, with a separator and an index taken from the input.
#include "clock/hand_geometry.h"
#include "clock/marker_window.h"
#include "clock/ring_geometry.h"
#include "core/region.h"
#include "fuzz_check.h"
#include "settings/field_at.h"
#include "settings/settings.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace reloj {
namespace {

struct Ratio {
    float x;
    float y;
    std::optional<double> stated = std::nullopt; // the factor the desktop states to Qt
};

// The common screens, the smallest possible ratio, an odd one, unequal axes, fractions that
// must be rounded, and dense screens scaled by their dpi or by a stated factor.
constexpr Ratio kRatios[] = {{15, 15},        {12, 12}, {1, 1},        {13, 13},           {15, 12},
                             {14.5f, 13.09f}, {10, 10}, {15, 15, 2.0}, {7.5f, 7.5f, 1e300}};

struct TimeOfDay {
    int32_t hour;
    int32_t minute;
};
constexpr TimeOfDay kTimes[] = {{0, 0}, {10, 15}, {23, 59}};

// Rows of a dot are cheap per row but a dot thousands of pixels high is legitimate and would
// only slow the search down.
constexpr int32_t kLargestDotForRows = 4096;

// Beyond this many pixels a coordinate may have been clamped by the rounding rules, so the
// distance checks below no longer apply.
constexpr double kLargestCheckedPixel = 1.0e9;

void CheckDotRows(const PixelRect& bounds, int32_t dotRadius, double scale) {
    const std::vector<PixelRect> rows = EllipseRows(bounds);
    // A dot of radius r is 2r rows high at the clock's scale and, since even its first and last
    // rows reach more than half a pixel either side of the centre, every one of them holds
    // pixels.
    FUZZ_CHECK(rows.size() == static_cast<std::size_t>(ScaledPixel(2.0 * dotRadius, scale)));
    FUZZ_CHECK(bounds.right - bounds.left == bounds.bottom - bounds.top);
    int32_t expectedY = bounds.top;
    for (const PixelRect& row : rows) {
        FUZZ_CHECK(row.top == expectedY);
        FUZZ_CHECK(row.bottom == row.top + 1);
        FUZZ_CHECK(row.left >= bounds.left);
        FUZZ_CHECK(row.right <= bounds.right);
        FUZZ_CHECK(row.right > row.left);
        // The dot is centred in its rectangle whatever the row.
        FUZZ_CHECK(row.left - bounds.left == bounds.right - row.right);
        ++expectedY;
    }
}

void CheckCorners(const ClockLayout& s) {
    // The marker window keeps its initial place when the command line gives 0.
    const float left = s.startLeft != 0 ? static_cast<float>(s.startLeft) : kMarkerInitialLeft;
    const float top = s.startTop != 0 ? static_cast<float>(s.startTop) : kMarkerInitialTop;
    const auto size = static_cast<float>(s.windowSize);
    const auto corners = WindowCorners(left, top, size, size, Pixels(s));
    // The four corners are those of one rectangle.
    FUZZ_CHECK(corners[0].y == corners[1].y);
    FUZZ_CHECK(corners[2].y == corners[3].y);
    FUZZ_CHECK(corners[0].x == corners[2].x);
    FUZZ_CHECK(corners[1].x == corners[3].x);
}

double Distance(PixelPoint a, PixelPoint b) {
    return std::hypot(static_cast<double>(a.x) - b.x, static_cast<double>(a.y) - b.y);
}

void CheckHands(const ClockLayout& s) {
    const PixelPoint centre = HandsCentre(s);
    const bool styled = s.handStyle == kKiteStyle || s.handStyle == kBarStyle;
    const double farthest = std::abs(static_cast<double>(s.handReach) * s.scale) +
                            std::abs(static_cast<double>(centre.x)) +
                            std::abs(static_cast<double>(centre.y)) + s.handWidth * s.scale;
    for (const TimeOfDay& time : kTimes) {
        const auto hands = HandsFor(s, time.hour, time.minute);
        FUZZ_CHECK(hands.has_value() == styled);
        if (!hands || s.handStyle != kKiteStyle || farthest > kLargestCheckedPixel) {
            continue;
        }
        // A kite's tip lies at the hand's reach from the centre, give or take the rounding of
        // each coordinate to a pixel.
        FUZZ_CHECK(std::abs(Distance(hands->minute[0], centre) - std::abs(s.handReach * s.scale)) <=
                   1.0);
        FUZZ_CHECK(std::abs(Distance(hands->hour[0], centre) - std::abs(s.hourReach * s.scale)) <=
                   1.0);
    }
}

void CheckSettings(std::string_view commandLine, Ratio ratio) {
    const Settings settings = ReadSettings(commandLine, ratio.x, ratio.y, ratio.stated);
    for (const std::string& warning : settings.warnings) {
        FUZZ_CHECK(fuzz::IsOneLine(warning));
    }
    if (settings.error) {
        FUZZ_CHECK(settings.error->field >= kScreenField && settings.error->field <= kColourField);
        const std::string message = settings.error->Message();
        FUZZ_CHECK(fuzz::IsOneLine(message));
        // The field text is cut only at character boundaries, so a well-formed command line
        // gives a well-formed message.
        FUZZ_CHECK(!fuzz::IsValidUtf8(commandLine) || fuzz::IsValidUtf8(message));
        return;
    }

    const ClockLayout& s = settings.layout;
    const ScreenLayout layout = ChooseLayout(ratio.x, ratio.y, ratio.stated);
    FUZZ_CHECK(s.twipsPerPixelX == static_cast<int32_t>(std::nearbyint(layout.twipsPerPixelX)));
    FUZZ_CHECK(s.twipsPerPixelY == static_cast<int32_t>(std::nearbyint(layout.twipsPerPixelY)));
    FUZZ_CHECK(s.scale == layout.scale && s.scale >= 1.0 && s.scale <= kLargestScale);
    // An accepted clock is at least a pixel wide and has a ring to put its dots on.
    FUZZ_CHECK(s.windowSize / s.twipsPerPixelX >= 1);
    FUZZ_CHECK(s.radius > 0);
    FUZZ_CHECK(s.dotRadius >= 0);

    for (int k = 0; k < kHourDots; ++k) {
        const PixelPoint centre =
            DotCentre(k, s.radius, static_cast<float>(s.windowSize), Pixels(s));
        const PixelRect bounds = DotBounds(centre, s.dotRadius, s.scale);
        if (s.dotRadius <= kLargestDotForRows) {
            CheckDotRows(bounds, s.dotRadius, s.scale);
        }
    }
    CheckCorners(s);
    CheckHands(s);
}

// Field number `index` (1-based) of the text, cut at each separator from left to right.
std::string NthField(std::string_view text, std::string_view separator, int32_t index) {
    if (index < 1) {
        return {};
    }
    int32_t number = 1;
    std::size_t from = 0;
    while (true) {
        const std::size_t found = text.find(separator, from);
        const std::size_t end = found == std::string_view::npos ? text.size() : found;
        if (number == index) {
            return std::string(text.substr(from, end - from));
        }
        if (found == std::string_view::npos) {
            return {};
        }
        from = found + separator.size();
        ++number;
    }
}

void CheckFieldAt(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    const auto separatorLength = provider.ConsumeIntegralInRange<std::size_t>(0, 3);
    const std::string separator =
        separatorLength == 0 ? std::string("|") : provider.ConsumeBytesAsString(separatorLength);
    const auto index = provider.ConsumeIntegral<int32_t>();
    const std::string text = provider.ConsumeRemainingBytesAsString();

    const std::string field = FieldAt(text, separator, index);
    // Whatever is asked, the answer is a piece of the text.
    FUZZ_CHECK(field.empty() || text.find(field) != std::string::npos);
    if (!separator.empty()) {
        FUZZ_CHECK(field == NthField(text, separator, index));
    }
}

} // namespace
} // namespace reloj

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view commandLine(reinterpret_cast<const char*>(data), size);
    for (const reloj::Ratio& ratio : reloj::kRatios) {
        reloj::CheckSettings(commandLine, ratio);
    }
    reloj::CheckFieldAt(data, size);
    return 0;
}
