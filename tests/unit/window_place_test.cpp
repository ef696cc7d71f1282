#include "clock/window_place.h"
#include "fake_platform.h"

#include <gtest/gtest.h>
#include <optional>

namespace reloj {
namespace {

struct PlaceRow {
    const char* name;
    PixelScale pixels;
    float left, top, size;             // twips asked for
    PixelRect frame;                   // where the window is put
    std::optional<PixelPoint> movedTo; // where a window manager then puts it
    float keptLeft, keptTop, keptSize; // twips read back
};

TEST(WindowPlace, KeepsTheTwipsWhileTheWindowStandsOnTheirPixel) {
    const PixelScale at96{15, 15, 1.0};
    const PixelScale at192{15, 15, 2.0};
    const PlaceRow rows[] = {
        {"whole pixels", at96, 1500, 750, 1140, {100, 50, 176, 126}, {}, 1500, 750, 1140},
        {"between pixels: the remainder stays",
         at96,
         100,
         50,
         1140,
         {6, 3, 82, 79},
         {},
         100,
         50,
         1140},
        {"left of the screen: the pixel is truncated toward zero",
         at96,
         -100,
         0,
         1140,
         {-6, 0, 70, 76},
         {},
         -100,
         0,
         1140},
        {"moved by a window manager: its pixel counts",
         at96,
         100,
         50,
         1140,
         {6, 3, 82, 79},
         PixelPoint{20, 30},
         300,
         450,
         1140},
        {"scaled twice", at192, 1500, 750, 1140, {200, 100, 352, 252}, {}, 1500, 750, 1140},
        {"scaled twice, moved onto a pixel between two layout pixels: the even one counts",
         at192,
         1500,
         750,
         1140,
         {200, 100, 352, 252},
         PixelPoint{203, 101},
         1530,
         750,
         1140},
    };
    for (const PlaceRow& row : rows) {
        SCOPED_TRACE(row.name);
        test::FakePlatform platform;
        WindowEvents events;
        const auto window = platform.CreateWindow({"w"}, nullptr, events);
        auto& fake = *platform.Find("w");
        WindowPlace place(*window, row.pixels);
        place.Move(row.left, row.top, row.size, row.size);
        EXPECT_EQ(fake.frame, row.frame);
        if (row.movedTo) {
            fake.MoveTo(*row.movedTo);
        }
        EXPECT_EQ(place.Left(), row.keptLeft);
        EXPECT_EQ(place.Top(), row.keptTop);
        EXPECT_EQ(place.Width(), row.keptSize);
        EXPECT_EQ(place.Height(), row.keptSize);
    }
}

} // namespace
} // namespace reloj
