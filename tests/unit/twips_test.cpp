#include "core/twips.h"

#include <gtest/gtest.h>

namespace reloj {
namespace {

struct DeviceRow {
    const char* name;
    PixelScale pixels;
    double twips;
    int32_t device;
};

TEST(PixelScale, TwipsToDevicePixels) {
    const DeviceRow rows[] = {
        {"96 dpi: the twips' own pixel", {15, 15, 1.0}, 10770, 718},
        {"96 dpi: truncated toward zero", {15, 15, 1.0}, 10784, 718},
        {"120 dpi", {12, 12, 1.0}, 8616, 718},
        {"200 %", {15, 15, 2.0}, 10770, 1436},
        {"150 %", {15, 15, 1.5}, 10770, 1077},
        {"150 %: a half pixel rounds to even", {15, 15, 1.5}, 75, 8},
        {"150 %: another half pixel", {15, 15, 1.5}, 15 * 3, 4},
        {"laid out first, then scaled", {15, 15, 2.0}, 29, 2},
        {"negative", {15, 15, 2.0}, -150, -20},
    };
    for (const DeviceRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.pixels.DeviceX(row.twips), row.device);
        EXPECT_EQ(row.pixels.DeviceY(row.twips), row.device);
    }
}

TEST(PixelScale, DevicePixelsBackToTwips) {
    EXPECT_EQ((PixelScale{15, 15, 1.0}).TwipsX(718), 10770.0F);
    EXPECT_EQ((PixelScale{12, 12, 1.0}).TwipsY(5), 60.0F);
    // On a scaled screen, the nearest whole layout pixel, half to even.
    EXPECT_EQ((PixelScale{15, 15, 2.0}).TwipsX(3), 30.0F);
    EXPECT_EQ((PixelScale{15, 15, 2.0}).TwipsX(5), 30.0F);
    EXPECT_EQ((PixelScale{15, 15, 1.5}).TwipsY(4), 45.0F);
    // Every device pixel a layout pixel lands on comes back to itself.
    for (const double scale : {1.0, 1.25, 1.5, 2.0, 3.0}) {
        const PixelScale pixels{15, 15, scale};
        for (int32_t layout = -3; layout <= 800; ++layout) {
            const int32_t device = pixels.Device(layout);
            ASSERT_EQ(pixels.DeviceX(pixels.TwipsX(device)), device) << scale << " " << layout;
        }
    }
}

TEST(ScaledPixel, NeverUndefined) {
    EXPECT_EQ(ScaledPixel(1e300, 8.0), INT32_MAX);
    EXPECT_EQ(ScaledPixel(-1e300, 8.0), INT32_MIN);
    EXPECT_EQ(ScaledPixel(std::numeric_limits<double>::quiet_NaN(), 2.0), 0);
}

TEST(ScreenTwipsPerPixel, FromTheScreensDensity) {
    struct Row {
        const char* name;
        double dotsPerInch;
        float twips;
    };
    const Row rows[] = {
        {"96 dpi", 96, 15},
        {"120 dpi", 120, 12},
        {"144 dpi", 144, 10},
        {"an odd density keeps its fraction", 97, static_cast<float>(1440.0 / 97)},
        {"no density reported counts as 96 dpi", 0, 15},
        {"a negative density counts as 96 dpi", -72, 15},
        {"not a number counts as 96 dpi", std::numeric_limits<double>::quiet_NaN(), 15},
        {"denser than a pixel a twip counts as one", 5000, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ScreenTwipsPerPixel(row.dotsPerInch), row.twips);
    }
}

} // namespace
} // namespace reloj
