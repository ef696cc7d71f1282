#include "calculator/calculator_layout.h"

#include <gtest/gtest.h>

namespace reloj {
namespace {

// The window measured on screen at each scale before its parts were laid out here; the rest
// follows the same conversion.
TEST(LayOutCalculator, AtEachScale) {
    struct Row {
        const char* name;
        PixelScale pixels;
        int32_t width, height;
        PixelRect date;
        PixelPoint lineTo;
        int32_t lineWidth, letters, smallestLetters;
    };
    const Row rows[] = {
        {"96 dpi", {15, 15, 1.0}, 393, 47, {56, 16, 153, 35}, {208, 48}, 2, 12, 7},
        {"120 dpi", {12, 12, 1.0}, 491, 58, {70, 20, 191, 43}, {260, 60}, 2, 12, 7},
        {"150 %", {15, 15, 1.5}, 590, 70, {84, 24, 230, 52}, {312, 72}, 3, 18, 10},
        {"200 %", {15, 15, 2.0}, 786, 94, {112, 32, 306, 70}, {416, 96}, 4, 24, 14},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const CalculatorLayout layout = LayOutCalculator(row.pixels);
        EXPECT_EQ(layout.width, row.width);
        EXPECT_EQ(layout.height, row.height);
        EXPECT_EQ(layout.date, row.date);
        EXPECT_EQ(layout.lineFrom, (PixelPoint{row.lineTo.x, 0}));
        EXPECT_EQ(layout.lineTo, row.lineTo);
        EXPECT_EQ(layout.lineWidth, row.lineWidth);
        EXPECT_EQ(layout.letterPixels, row.letters);
        EXPECT_EQ(layout.smallestLetterPixels, row.smallestLetters);
        // The result's half starts right of the line, and every part starts inside the window.
        EXPECT_GT(layout.result.left, layout.lineTo.x);
        for (const PixelRect& part :
             {layout.prompt, layout.date, layout.result, layout.heading, layout.mute}) {
            EXPECT_LT(part.left, layout.width);
            EXPECT_LT(part.top, layout.height);
        }
    }
}

} // namespace
} // namespace reloj
