// Start-up: turns the screen's twips per pixel and the command line into the ClockState the
// rest of the clock runs on, deriving every size of the clock from the ring radius. It reads
// nothing itself; the platform hands it the screen ratios and the command-line text. A value
// that cannot be represented is reported with the field it came from, never wrapped.
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
    ClockState state;
    std::optional<SettingsError> error;
    std::vector<std::string> warnings; // one line each, for standard error
};

Settings ReadSettings(std::string_view commandLine, float screenTwipsPerPixelX,
                      float screenTwipsPerPixelY);

} // namespace reloj
