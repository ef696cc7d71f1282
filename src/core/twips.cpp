#include "core/twips.h"

#include "core/numeric.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace reloj {

int32_t TwipsToPixel(double twips, int32_t twipsPerPixel) {
    const auto rounded = RoundToInt32(twips);
    if (rounded.ok() || twipsPerPixel == 0) {
        return IntDiv(rounded.value, twipsPerPixel);
    }
    // A position stored in single precision can round just past the 32-bit range (2147483640
    // twips is stored as 2^31); the pixel it stands for still fits.
    const double pixels = std::trunc(std::nearbyint(twips) / twipsPerPixel);
    return static_cast<int32_t>(std::clamp(pixels, double{INT32_MIN}, double{INT32_MAX}));
}

float ScreenTwipsPerPixel(double dotsPerInch) {
    constexpr double kTwipsPerInch = 1440.0;
    constexpr double kOrdinaryDpi = 96.0;
    if (!(dotsPerInch > 0.0)) {
        dotsPerInch = kOrdinaryDpi;
    }
    return static_cast<float>(std::max(1.0, kTwipsPerInch / dotsPerInch));
}

int32_t ScaledPixel(double layoutPixels, double scale) {
    const double device = std::nearbyint(layoutPixels * scale);
    if (std::isnan(device)) {
        return 0;
    }
    return static_cast<int32_t>(std::clamp(device, double{INT32_MIN}, double{INT32_MAX}));
}

int32_t PixelScale::DeviceX(double twips) const {
    return Device(TwipsToPixel(twips, twipsPerPixelX));
}

int32_t PixelScale::DeviceY(double twips) const {
    return Device(TwipsToPixel(twips, twipsPerPixelY));
}

float PixelScale::TwipsX(double devicePixels) const {
    return Single(std::nearbyint(devicePixels / scale) * twipsPerPixelX);
}

float PixelScale::TwipsY(double devicePixels) const {
    return Single(std::nearbyint(devicePixels / scale) * twipsPerPixelY);
}

} // namespace reloj
