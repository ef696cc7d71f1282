// The shape of the real program's hands window, as the X server sees it: cut to the two hands
// of the time of day in either style, cut anew when the minute turns or the time zone changes,
// every pixel of a new shape painted at once, and nothing shown of a region that comes out
// empty.
#include "hands_reading.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace reloj::e2e {
namespace {

using Steady = std::chrono::steady_clock;

// How many pieces the pixels make when pixels that share only a corner count as joined.
std::size_t PiecesTouchingAtCorners(const PixelSet& pixels) {
    PixelSet left = pixels;
    std::size_t pieces = 0;
    while (!left.empty()) {
        ++pieces;
        std::vector<Point> stack{*left.begin()};
        left.erase(left.begin());
        while (!stack.empty()) {
            const auto [x, y] = stack.back();
            stack.pop_back();
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    if (left.erase({x + dx, y + dy}) == 1) {
                        stack.push_back({x + dx, y + dy});
                    }
                }
            }
        }
    }
    return pieces;
}

struct HandsRow {
    const char* name;
    std::vector<std::string> commandLine;
    std::string time;
    Quad minute;
    Quad hour;
    // How many of each hand's first vertices lie at its tip: one for a kite, two for a bar.
    std::size_t tipVertices;
};

TEST(Hands, ShapeIsTheTwoHandsOfTheTime) {
    const HandsRow rows[] = {
        {"default kite hands at 10:15",
         {},
         "10:15:30",
         {{{68, 38}, {38, 41}, {33, 38}, {38, 35}}},
         {{{19, 23}, {40, 36}, {42, 41}, {36, 40}}},
         1},
        {"bar hands at 10:15",
         {"718|5|70|2|1|"},
         "10:15:30",
         {{{68, 37}, {68, 39}, {32, 39}, {32, 37}}},
         {{{17, 25}, {21, 21}, {44, 39}, {40, 43}}},
         2},
        {"large bar hands at 04:40",
         {"100|50|200|2|0|"},
         "04:40:30",
         {{{34, 155}, {30, 149}, {121, 96}, {125, 102}}},
         {{{159, 157}, {147, 167}, {93, 102}, {105, 92}}},
         2},
        {"large kite hands at 16:40, as at 04:40",
         {"100|50|200|1|0|"},
         "16:40:30",
         {{{32, 152}, {104, 100}, {119, 101}, {112, 116}}},
         {{{153, 162}, {101, 114}, {100, 98}, {115, 102}}},
         1},
    };
    for (const HandsRow& row : rows) {
        SCOPED_TRACE(row.name);
        RunningClock clock(Alone(row.commandLine, row.time));
        ASSERT_TRUE(clock.Started());
        const Rect place = clock.HandsPlace();
        EXPECT_EQ(place, clock.MarkersPlace());

        const PixelSet expected = HandsPixels(row.minute, row.hour);
        PixelSet shape;
        PollUntil(
            [&] {
                shape = clock.HandsShape();
                return shape == expected;
            },
            3s);
        EXPECT_TRUE(shape == expected) << Difference(shape, expected);

        // Without Qt: the hands are one piece (thin slopes hold together only corner to corner)
        // that takes in the centre, and each tip lies within two pixels of the shape's box (a
        // sharp tip is too thin to cover the last pixel or two).
        const int width = place.right - place.left;
        const int height = place.bottom - place.top;
        EXPECT_EQ(PiecesTouchingAtCorners(shape), 1u);
        EXPECT_EQ(shape.count({width / 2, height / 2}), 1u);
        const Rect box = Bounds(shape);
        for (const Quad* hand : {&row.minute, &row.hour}) {
            for (std::size_t i = 0; i < row.tipVertices; ++i) {
                const auto [x, y] = (*hand)[i];
                EXPECT_TRUE(x >= box.left - 2 && x <= box.right + 2 && y >= box.top - 2 &&
                            y <= box.bottom + 2)
                    << "tip (" << x << "," << y << ") is away from the shape's box "
                    << testing::PrintToString(box);
            }
        }
    }
}

TEST(Hands, AStyleWithoutHandsLeavesTheWindowWhole) {
    RunningClock clock(Alone({"718|5|70|3|1|"}, "10:15:30"));
    ASSERT_TRUE(clock.Started());
    EXPECT_EQ(clock.HandsPlace(), (Rect{718, 5, 794, 81}));
    EXPECT_EQ(clock.HandsPlace(), clock.MarkersPlace());
    // Past the first tick, when a clock with hands would have drawn them again.
    const PixelSet whole = WholeWindow(clock.HandsPlace());
    EXPECT_FALSE(PollUntil([&] { return clock.HandsShape() != whole; }, 1500ms))
        << "the window was cut to " << clock.HandsShape().size() << " pixels";
}

TEST(Hands, ReshapedWhenTheMinuteTurns) {
    // What the clock shows when started at 10:16.
    PixelSet at1016;
    {
        RunningClock reference(Alone({}, "10:16:30"));
        ASSERT_TRUE(reference.Started());
        at1016 = CutHandsShape(reference);
    }
    const PixelSet at1015 = HandsPixels({{{68, 38}, {38, 41}, {33, 38}, {38, 35}}},
                                        {{{19, 23}, {40, 36}, {42, 41}, {36, 40}}});
    ASSERT_NE(at1016, at1015);

    RunningClock clock(Alone({}, "10:15:57"));
    const auto launched = clock.Launched();
    ASSERT_TRUE(clock.Started());
    const auto shown = Steady::now();
    PixelSet shape;
    ASSERT_TRUE(PollUntil(
        [&] {
            shape = clock.HandsShape();
            return shape == at1015;
        },
        1s))
        << "not 10:15 after " << SecondsSince(launched) << " s\n"
        << Difference(shape, at1015);

    // The program's clock began between `launched` and `shown`, so it reached 10:16:00 three
    // seconds after some moment between the two; the tick that follows, within a second,
    // must reshape the hands, and nothing may change before then.
    const auto deadline = shown + 3s + 1600ms;
    const bool turned = PollUntil(
        [&] {
            shape = clock.HandsShape();
            return shape != at1015;
        },
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()), 10ms);
    const double turnedAt = SecondsSince(launched);
    ASSERT_TRUE(turned) << "still 10:15 " << turnedAt << " s after the launch";
    EXPECT_GE(turnedAt, 3.0) << "reshaped before the program's clock reached 10:16";
    EXPECT_TRUE(shape == at1016) << Difference(shape, at1016);
}

// The clock reads the machine's zone again only when its file changes; a zone picked while it
// runs (/etc/localtime replaced by a new link, as the tools that set the zone do) must show
// within a second or two, not at the next start. The clock sees a copy of /etc of its own, in
// a mount namespace, so that the machine's zone is never touched.
TEST(Hands, FollowsANewTimeZoneWithinASecond) {
    if (geteuid() != 0 || std::system("unshare -m true 2>/dev/null") != 0) {
        GTEST_SKIP() << "needs root and mount namespaces, to give the clock an /etc of its own";
    }
    PixelSet at1545;
    {
        RunningClock reference(Alone({}, "15:45:20"));
        ASSERT_TRUE(reference.Started());
        at1545 = CutHandsShape(reference);
    }

    TempDir root;
    const std::filesystem::path etc = root.Path() + "/etc";
    std::filesystem::copy("/etc", etc,
                          std::filesystem::copy_options::recursive |
                              std::filesystem::copy_options::copy_symlinks);
    std::filesystem::remove(etc / "localtime");
    std::filesystem::create_symlink("/usr/share/zoneinfo/Etc/UTC", etc / "localtime");
    ClockOptions options = Alone({}, "10:15:20");
    // Without TZ the C library reads /etc/localtime, and reads it again when it changes.
    options.wrapper = {"/usr/bin/unshare",
                       "-m",
                       "/bin/sh",
                       "-c",
                       "mount --bind \"$0\" /etc && unset TZ && exec \"$@\"",
                       etc.string()};
    RunningClock clock(options);
    ASSERT_TRUE(clock.Started());
    const PixelSet at1015 = CutHandsShape(clock);
    ASSERT_NE(at1015, at1545);

    // India is five and a half hours ahead: 10:15 in UTC is 15:45 there.
    std::filesystem::create_symlink("/usr/share/zoneinfo/Asia/Kolkata", etc / "localtime.new");
    std::filesystem::rename(etc / "localtime.new", etc / "localtime");
    const auto changed = Steady::now();
    PixelSet shape;
    EXPECT_TRUE(PollUntil(
        [&] {
            shape = clock.HandsShape();
            return shape == at1545;
        },
        2500ms))
        << "not 15:45 " << SecondsSince(changed) << " s after the zone changed\n"
        << Difference(shape, at1545);
}

// A new shape uncovers parts of the window that lay outside the old one: they must show the
// clock's colour at once, not whatever the window held before. Regression guard: the minute
// hand stayed a thin sliver for a whole minute after each turn.
TEST(Hands, EveryPixelOfTheNewShapeIsPainted) {
    const PaintRow rows[] = {
        {"default clock", {}, std::nullopt, kRed, 2},
        {"large bar hands", {"100|100|300|2|1|red"}, std::nullopt, kRed, 5},
        {"automatic colour", {"718|5|70|1|1|0"}, kBlack, kWhite, 2},
        {"large bar hands, automatic colour", {"100|100|300|2|1|0"}, kBlack, kWhite, 5},
    };
    for (const PaintRow& row : rows) {
        SCOPED_TRACE(row.name);
        RunningClock clock(Alone(row.commandLine, "10:14:58", row.desktop));
        ASSERT_TRUE(clock.Started());
        const PixelSet before = CutHandsShape(clock);
        std::vector<Point> wrong;
        EXPECT_TRUE(PollUntil(
            [&] {
                wrong = Unpainted(clock, row.colour, row.hub);
                return wrong.empty();
            },
            2s))
            << "at 10:14, "
            << Listed(wrong, row.colour, clock.Server().Capture(clock.HandsPlace()));

        ASSERT_TRUE(PollUntil([&] { return clock.HandsShape() != before; }, 5s, 5ms))
            << "the minute did not turn";
        // Within the tick that changed the shape: a tick lasts a second.
        EXPECT_TRUE(PollUntil(
            [&] {
                wrong = Unpainted(clock, row.colour, row.hub);
                return wrong.empty();
            },
            500ms, 5ms))
            << "at 10:15, "
            << Listed(wrong, row.colour, clock.Server().Capture(clock.HandsPlace()));
    }
}

// A clock so small that a window's region comes out empty shows nothing of that window and
// takes no clicks there: an empty region is no reason to show the whole square. Regression
// guard: the toolkit took an empty shape for no shape at all.
TEST(Hands, AnEmptyRegionShowsNothing) {
    {
        SCOPED_TRACE("13-pixel ring: dots too small to show");
        RunningClock clock(Alone({"718|5|13|1|1|red"}, "10:10:30", kBlack));
        ASSERT_TRUE(clock.Started());
        const Rect place = clock.MarkersPlace();
        ASSERT_GT(place.right - place.left, 0);
        EXPECT_TRUE(Visible(clock.Server().Shape(clock.Markers()), place).empty());
        const PixelSet hands = CutHandsShape(clock);
        const ScreenArea screen = clock.Server().Capture(place);
        ASSERT_FALSE(screen.pixels.empty());
        int red = 0;
        for (int y = place.top; y < place.bottom; ++y) {
            for (int x = place.left; x < place.right; ++x) {
                red += screen.At(x, y) == kRed ? 1 : 0;
            }
        }
        EXPECT_LE(red, static_cast<int>(hands.size())) << "more red than the hands cover";
    }
    {
        // At 10:10 the hands of a 14-pixel ring cover no whole pixel; at 10:11 they do.
        SCOPED_TRACE("14-pixel ring: hands that come and go");
        RunningClock clock(Alone({"718|5|14|1|1|red"}, "10:10:57", kBlack));
        ASSERT_TRUE(clock.Started());
        const Rect place = clock.HandsPlace();
        EXPECT_TRUE(PollUntil(
            [&] { return Visible(clock.Server().Shape(clock.Hands()), place).empty(); }, 1s));
        // A right press on an empty window would step the colour; here it reaches the desktop.
        clock.Server().MovePointer((place.left + place.right) / 2, (place.top + place.bottom) / 2);
        Click(clock.Server(), kRightButton);
        PixelSet shown;
        ASSERT_TRUE(PollUntil(
            [&] {
                shown = Visible(clock.Server().Shape(clock.Hands()), place);
                return !shown.empty();
            },
            5s))
            << "the hands did not come back at 10:11";
        std::vector<Point> wrong;
        EXPECT_TRUE(PollUntil(
            [&] {
                wrong = Unpainted(clock, kRed, 1);
                return wrong.empty();
            },
            1s))
            << Listed(wrong, kRed, clock.Server().Capture(place));
    }
}

} // namespace
} // namespace reloj::e2e
