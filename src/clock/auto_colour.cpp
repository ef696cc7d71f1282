#include "clock/auto_colour.h"

#include "core/colour.h"
#include "core/numeric.h"

namespace reloj {

namespace {
constexpr int32_t kChannels = 3;
constexpr int16_t kSamples = 4;
} // namespace

int16_t PixelBrightness(Colour colour) {
    return static_cast<int16_t>((BlueOf(colour) + RedOf(colour) + GreenOf(colour)) / kChannels);
}

Colour ChooseAutoColour(int16_t b1, int16_t b2, int16_t b3, int16_t b4) {
    const auto mean = static_cast<int16_t>((b1 + b2 + b3 + b4) / kSamples);
    return mean > kBrightThreshold ? kBlack : kWhite;
}

Colour ContrastColour(Colour clockColour) {
    return clockColour == kBlack ? kWhite : kBlack;
}

Colour SchemeColour(ColourScheme scheme) {
    return scheme == ColourScheme::PreferLight ? kBlack : kWhite;
}

namespace {

Colour CornersColour(const ClockState& state, Platform& platform) {
    const std::vector<Colour> corners =
        platform.ScreenPixels({state.corners.begin(), state.corners.end()});
    const int16_t b1 = PixelBrightness(corners.at(0));
    const int16_t b2 = PixelBrightness(corners.at(1));
    const int16_t b3 = PixelBrightness(corners.at(2));
    const int16_t b4 = PixelBrightness(corners.at(3));
    return ChooseAutoColour(b1, b2, b3, b4);
}

} // namespace

std::optional<Colour> ChangedDesktopColour(ClockState& state, Platform& platform) {
    const std::optional<ColourScheme> scheme = platform.ColourSchemeInsteadOfPixels();
    const Colour colour = scheme ? SchemeColour(*scheme) : CornersColour(state, platform);
    if (colour == state.lastAutoColour) {
        return std::nullopt;
    }
    state.lastAutoColour = colour;
    return colour;
}

} // namespace reloj
