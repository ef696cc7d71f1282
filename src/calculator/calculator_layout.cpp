#include "calculator/calculator_layout.h"

namespace reloj {

namespace {

struct TwipsPlace {
    float left, top, width, height;
};
constexpr float kClientWidth = 5895;
constexpr float kClientHeight = 705;
constexpr TwipsPlace kPromptPlace{120, 0, 2895, 255};
constexpr TwipsPlace kDatePlace{840, 240, 1455, 285};
constexpr TwipsPlace kResultPlace{3240, 240, 2655, 255};
constexpr TwipsPlace kHeadingPlace{3240, 0, 2595, 195};
constexpr TwipsPlace kMutePlace{3360, 480, 2775, 195};
// A vertical line divides the input half from the result half.
constexpr float kLineX = 3120;
constexpr float kLineTop = 0;
constexpr float kLineBottom = 720;
constexpr int kLineLayoutPixels = 2;
// Letters and the check box's own box in layout pixels.
constexpr int kLetterPixels = 12;
constexpr int kSmallestLetterPixels = 7;
constexpr int kCheckIndicatorPixels = 20;

PixelRect Place(const TwipsPlace& twips, const PixelScale& pixels) {
    const int32_t left = pixels.DeviceX(twips.left);
    const int32_t top = pixels.DeviceY(twips.top);
    return {left, top, left + pixels.DeviceX(twips.width), top + pixels.DeviceY(twips.height)};
}

} // namespace

CalculatorLayout LayOutCalculator(const PixelScale& pixels) {
    return {.width = pixels.DeviceX(kClientWidth),
            .height = pixels.DeviceY(kClientHeight),
            .prompt = Place(kPromptPlace, pixels),
            .date = Place(kDatePlace, pixels),
            .result = Place(kResultPlace, pixels),
            .heading = Place(kHeadingPlace, pixels),
            .mute = Place(kMutePlace, pixels),
            .lineFrom = {pixels.DeviceX(kLineX), pixels.DeviceY(kLineTop)},
            .lineTo = {pixels.DeviceX(kLineX), pixels.DeviceY(kLineBottom)},
            .lineWidth = pixels.Device(kLineLayoutPixels),
            .letterPixels = pixels.Device(kLetterPixels),
            .smallestLetterPixels = pixels.Device(kSmallestLetterPixels),
            .checkIndicatorPixels = pixels.Device(kCheckIndicatorPixels)};
}

} // namespace reloj
