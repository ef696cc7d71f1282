// Twips are the clock's own unit of length: 1440 to the inch, so that a clock keeps its size in
// inches on screens of any density (15 twips a pixel at 96 dots per inch, 12 at 120). Every
// position and size the windows keep is in twips; this unit turns them into whole screen pixels
// the one way the clock has always done it, which the exact pixels of the dial depend on. On a
// denser screen the clock is laid out in the pixels of a 96 dpi one and every length is then
// multiplied by the desktop's scale factor: PixelScale is that one conversion, both ways. Which
// factor applies is decided by the settings, from what the platform reports.
#pragma once

#include <cstdint>

namespace reloj {

// A point in twips from a window's top-left corner.
struct TwipsPoint {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const TwipsPoint&, const TwipsPoint&) = default;
};

// The twips in one of a screen's pixels at that many dots per inch (1440 / dpi). A screen that
// reports no sensible density is taken as an ordinary 96 dpi one, and none as denser than one
// pixel per twip, so that every ratio can divide.
float ScreenTwipsPerPixel(double dotsPerInch);

// A window edge in twips as a screen pixel: the twips rounded half to even, then divided by
// the twips per pixel with the remainder dropped.
int32_t TwipsToPixel(double twips, int32_t twipsPerPixel);

// A length or position in the clock's layout pixels as the screen's own (device) pixels: the
// product with the scale factor, rounded half to even. A factor of 1 leaves every pixel as it
// is, so a screen of 120 dpi or less gets exactly the pixels it always had.
int32_t ScaledPixel(double layoutPixels, double scale);

// How the clock's twips stand on the screen: the whole twips per layout pixel on each axis and
// the device pixels per layout pixel. Windows, mouse positions, the dial and the corners the
// automatic colour reads all convert through it, so that they agree to the pixel.
struct PixelScale {
    int32_t twipsPerPixelX = 0;
    int32_t twipsPerPixelY = 0;
    double scale = 1.0;

    // A window edge or length in twips as device pixels.
    int32_t DeviceX(double twips) const;
    int32_t DeviceY(double twips) const;
    // A length in layout pixels as device pixels.
    int32_t Device(double layoutPixels) const { return ScaledPixel(layoutPixels, scale); }
    // A device pixel as twips, as the window system reports mouse positions and places: the
    // twips of the nearest whole layout pixel, so that the pixel a window was put on converts
    // back to that very pixel.
    float TwipsX(double devicePixels) const;
    float TwipsY(double devicePixels) const;
    friend bool operator==(const PixelScale&, const PixelScale&) = default;
};

} // namespace reloj
