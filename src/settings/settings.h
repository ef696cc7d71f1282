// Start-up: turns the screen's twips per pixel and the command line into the ClockLayout the
// rest of the clock runs on, deriving every size of the clock from the ring radius. It reads
// nothing itself; the platform hands it the screen ratios, the scale factor the desktop states
// and the command-line text. It also decides how the clock is laid out on a dense screen. A
// value that cannot be represented is reported with the field it came from, never wrapped.
#pragma once

#include "settings/clock_state.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace reloj {

inline constexpr int32_t kFieldCount = 6;
inline constexpr std::string_view kFieldSeparator = "|";
// The twips in a pixel of a 96 dpi screen, for reading a command line before any screen is
// known.
inline constexpr float kNominalTwipsPerPixel = 15.0F;

// Field numbers as the command line counts them; 0 stands for the screen itself.
enum SettingsField : int32_t {
    kScreenField = 0,
    kLeftField = 1,
    kTopField = 2,
    kDiameterField = 3,
    kHandStyleField = 4,
    kMovableField = 5,
    kColourField = 6,
};

struct SettingsError {
    int32_t field = kScreenField;
    std::string fieldText; // the field as it was given (empty for the screen)
    std::string problem;   // a short Spanish phrase

    // One line for standard error, in Spanish, naming the field and the problem.
    std::string Message() const;
};

struct Settings {
    ClockLayout layout;
    std::optional<SettingsError> error;
    std::vector<std::string> warnings; // one line each, for standard error
};

// The densest screen laid out with its own ratio: 120 dpi, 12 twips per pixel.
inline constexpr float kDensestOwnTwipsPerPixel = 12.0F;
// The largest scale factor taken from the desktop; a larger one is taken as this.
inline constexpr double kLargestScale = 8.0;

// How the clock is laid out on a screen: the twips per pixel its geometry is derived with, and
// the device pixels per pixel of that layout.
struct ScreenLayout {
    float twipsPerPixelX = kNominalTwipsPerPixel;
    float twipsPerPixelY = kNominalTwipsPerPixel;
    double scale = 1.0;
    friend bool operator==(const ScreenLayout&, const ScreenLayout&) = default;
};

// Up to 120 dpi, and with no larger factor stated, the screen's own ratios and no scaling.
// Above 120 dpi, or where the desktop states a factor above 120/96, the clock is laid out as on
// a 96 dpi screen and scaled by the desktop's factor: the one stated where there is one (Qt's
// variables), otherwise the dots per inch over 96; at least 1 and at most kLargestScale.
ScreenLayout ChooseLayout(float screenTwipsPerPixelX, float screenTwipsPerPixelY,
                          std::optional<double> statedScale);

Settings ReadSettings(std::string_view commandLine, float screenTwipsPerPixelX,
                      float screenTwipsPerPixelY, std::optional<double> statedScale = std::nullopt);

} // namespace reloj
