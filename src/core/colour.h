// Colours as every part of the clock holds them: one 32-bit number 0x00BBGGRR, red in the low
// byte, with two values that are no colour of their own (the automatic colour and the result
// of a text that names no colour). Reading colour texts is the settings' job; painting them
// is the windows'.
#pragma once

#include <cstdint>

namespace reloj {

using Colour = int32_t;

inline constexpr Colour kAutomaticColour = 0;  // the clock turns black or white by itself
inline constexpr Colour kNoColour = -1;        // what an unrecognised colour text gives
inline constexpr Colour kDefaultColour = 0xFF; // pure red
inline constexpr Colour kBlack = 0x000000;
inline constexpr Colour kWhite = 0xFFFFFF;

// The weights of green and blue in a packed colour, and the largest value of one channel.
inline constexpr int32_t kGreenUnit = 0x100;
inline constexpr int32_t kBlueUnit = 0x10000;
inline constexpr int32_t kChannelMax = 0xFF;

// The colour of red, green and blue, each 0-255.
constexpr Colour PackColour(int32_t red, int32_t green, int32_t blue) {
    return red + kGreenUnit * green + kBlueUnit * blue;
}

// One channel of a colour, 0-255. A value that is no colour gives whatever its bits say.
constexpr int32_t RedOf(Colour colour) {
    return colour & kChannelMax;
}
constexpr int32_t GreenOf(Colour colour) {
    return (colour / kGreenUnit) & kChannelMax;
}
constexpr int32_t BlueOf(Colour colour) {
    return (colour / kBlueUnit) & kChannelMax;
}

// The colour a window shows for a clock colour: itself when it is a colour 0x00BBGGRR, and
// the default red for a value that is no colour (such as -1 from an unrecognised text).
constexpr Colour ShownColour(Colour clockColour) {
    return clockColour >= kBlack && clockColour <= kWhite ? clockColour : kDefaultColour;
}

} // namespace reloj
