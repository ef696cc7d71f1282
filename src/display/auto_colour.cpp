#include "display/auto_colour.h"

#include "common/numeric.h"

namespace reloj {

namespace {
constexpr int32_t kByte = 255;
constexpr int32_t kGreenUnit = 256;
constexpr int32_t kBlueUnit = 65536;
constexpr int32_t kChannels = 3;
constexpr int16_t kSamples = 4;
constexpr int32_t kHubDivisor = 50;
} // namespace

int16_t PixelBrightness(Colour colour) {
    const int32_t red = colour & kByte;
    const int32_t green = (colour / kGreenUnit) & kByte;
    const int32_t blue = (colour / kBlueUnit) & kByte;
    return static_cast<int16_t>((blue + red + green) / kChannels);
}

Colour ChooseAutoColour(int16_t b1, int16_t b2, int16_t b3, int16_t b4) {
    const auto mean = static_cast<int16_t>((b1 + b2 + b3 + b4) / kSamples);
    return mean > kBrightThreshold ? kBlack : kWhite;
}

Colour ContrastColour(Colour clockColour) {
    return clockColour == kBlack ? kWhite : kBlack;
}

int32_t HubRadius(const ClockState& state) {
    return IntDiv(RoundToInt32(state.Radius).value, kHubDivisor);
}

void SampleDesktopColour(ClockState& state, Platform& platform, FormWindow& hands,
                         FormWindow& markers) {
    const std::vector<Colour> corners = platform.GetPixels({{state.CornerX1, state.CornerY1},
                                                            {state.CornerX2, state.CornerY2},
                                                            {state.CornerX3, state.CornerY3},
                                                            {state.CornerX4, state.CornerY4}});
    const int16_t b1 = PixelBrightness(corners.at(0));
    const int16_t b2 = PixelBrightness(corners.at(1));
    const int16_t b3 = PixelBrightness(corners.at(2));
    const int16_t b4 = PixelBrightness(corners.at(3));
    const Colour colour = ChooseAutoColour(b1, b2, b3, b4);
    if (colour == state.LastAutoColour) {
        return;
    }
    const Colour contrast = ContrastColour(colour);
    state.LastAutoColour = colour;
    hands.SetBackColor(colour);
    hands.SetFillColor(contrast);
    hands.Refresh();
    markers.SetBackColor(colour);
    markers.Refresh();
    hands.Circle(state.CentreX, state.CentreY, HubRadius(state), contrast);
}

} // namespace reloj
