// The real program's windows among others, as the X server stacks and shows them: kept on top
// with the hands above the dots, on top again within a second of a window mapped over them,
// whole again at once when a covering window goes, below the closing box while it is open,
// and seen alone, the desktop in their gaps, under a compositing manager.
#include "hands_reading.h"

#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace reloj::e2e {
namespace {

using Steady = std::chrono::steady_clock;

// How many pixels of two captures of one area differ.
std::size_t Differing(const ScreenArea& a, const ScreenArea& b) {
    std::size_t differing = 0;
    for (std::size_t i = 0; i < std::min(a.pixels.size(), b.pixels.size()); ++i) {
        differing += a.pixels[i] != b.pixels[i] ? 1 : 0;
    }
    return differing + std::max(a.pixels.size(), b.pixels.size()) -
           std::min(a.pixels.size(), b.pixels.size());
}

// A window that covered the clock and goes leaves the clock exactly as it was, the circle where
// the hands meet included, at once and not at the next tick: between minutes the clock is
// asleep, and the X server paints it from the clock's copy.
TEST(Hands, AWindowThatGoesAwayLeavesTheClockWhole) {
    const PaintRow rows[] = {
        {"default clock", {}, std::nullopt, kRed, 2},
        {"large bar hands, automatic colour", {"100|100|300|2|1|0"}, kBlack, kWhite, 5},
    };
    for (const PaintRow& row : rows) {
        SCOPED_TRACE(row.name);
        RunningClock clock(Alone(row.commandLine, "10:14:10", row.desktop));
        ASSERT_TRUE(clock.Started());
        XServer& server = clock.Server();
        const Rect place = clock.HandsPlace();
        ASSERT_TRUE(PollUntil([&] { return Unpainted(clock, row.colour, row.hub).empty(); }, 2s));
        const ScreenArea before = server.Capture(place);
        for (int round = 0; round < 3; ++round) {
            SCOPED_TRACE(round);
            const XWindow cover = server.Cover(place);
            server.Remove(cover);
            EXPECT_TRUE(PollUntil([&] { return Differing(server.Capture(place), before) == 0; },
                                  200ms, 5ms))
                << Differing(server.Capture(place), before) << " pixels of " << before.pixels.size()
                << " differ from before the window came";
            // Half a second on, the clock has raised itself over where the window was.
            std::this_thread::sleep_for(500ms);
            EXPECT_EQ(Differing(server.Capture(place), before), 0U);
        }
    }
}

// The pixels of the clock's square that neither window's shape covers, in screen
// coordinates, that do not show the desktop's colour.
std::vector<Point> Uncovered(const RunningClock& clock, unsigned long desktop) {
    const Rect place = clock.HandsPlace();
    const PixelSet hands = Visible(clock.Server().Shape(clock.Hands()), place);
    const PixelSet dots = Visible(clock.Server().Shape(clock.Markers()), place);
    const ScreenArea screen = clock.Server().Capture(place);
    std::vector<Point> wrong;
    for (int y = place.top; y < place.bottom; ++y) {
        for (int x = place.left; x < place.right; ++x) {
            const std::pair<int, int> inWindow{x - place.left, y - place.top};
            if (!hands.contains(inWindow) && !dots.contains(inWindow) &&
                (screen.pixels.empty() || screen.At(x, y) != desktop)) {
                wrong.push_back({x, y});
            }
        }
    }
    return wrong;
}

// Where a compositing manager runs on an X11 desktop, the clock windows carry an alpha channel,
// transparent outside their shapes: the screen must still show the clock's colour on every
// pixel of the hands' shape and the desktop on every pixel of the square outside both shapes,
// before and after the minute turns.
TEST(Hands, UnderACompositingManagerOnlyTheClockIsSeen) {
    if (const auto missing = MissingPrograms({"xcompmgr"}); !missing.empty()) {
        GTEST_SKIP() << "no compositing manager installed here: " << Joined(missing);
    }
    const PaintRow rows[] = {
        {"default clock", {}, std::nullopt, kRed, 2},
        {"large bar hands, automatic colour", {"100|100|300|2|1|0"}, std::nullopt, kWhite, 5},
    };
    for (const PaintRow& row : rows) {
        SCOPED_TRACE(row.name);
        XServer server(96);
        Process manager(
            {.command = {"xcompmgr"}, .environment = {{"DISPLAY", server.DisplayName()}}});
        ASSERT_TRUE(PollUntil([&] { return server.SelectionOwned("_NET_WM_CM_S0"); }, 5s))
            << "xcompmgr did not start: " << manager.ErrorOutput();
        ClockOptions options = Alone(row.commandLine, "10:14:58");
        options.server = &server;
        RunningClock clock(options);
        ASSERT_TRUE(clock.Started());
        // The manager paints the desktop in a colour of its own; a corner far from the clock
        // shows it.
        const unsigned long desktop = server.Pixel(0, 1023);
        const PixelSet before = CutHandsShape(clock);
        for (const char* when : {"at 10:14", "at 10:15"}) {
            SCOPED_TRACE(when);
            std::vector<Point> wrong;
            EXPECT_TRUE(PollUntil(
                [&] {
                    wrong = Unpainted(clock, row.colour, row.hub);
                    return wrong.empty();
                },
                2s))
                << Listed(wrong, row.colour, server.Capture(clock.HandsPlace()));
            EXPECT_TRUE(PollUntil(
                [&] {
                    wrong = Uncovered(clock, desktop);
                    return wrong.empty();
                },
                2s))
                << Listed(wrong, desktop, server.Capture(clock.HandsPlace()));
            if (std::string(when) == "at 10:14") {
                ASSERT_TRUE(PollUntil([&] { return clock.HandsShape() != before; }, 5s, 5ms))
                    << "the minute did not turn";
            }
        }
    }
}

// Whether the clock's two windows are the top two, the hands above the dots.
bool OnTopHandsAboveDots(const RunningClock& clock) {
    const auto order = clock.Server().StackingOrder();
    return order.size() >= 2 && order[order.size() - 1] == clock.Hands() &&
           order[order.size() - 2] == clock.Markers();
}

// Each tick puts both windows back on top, the hands above the dots, even over a window
// raised over the clock since.
TEST(Hands, KeptOnTopWithTheHandsAboveTheDots) {
    RunningClock clock(Alone({"718|5|70|3|1|"}, "10:15:30"));
    ASSERT_TRUE(clock.Started());
    XServer& server = clock.Server();
    const auto onTop = [&] { return OnTopHandsAboveDots(clock); };
    EXPECT_TRUE(PollUntil(onTop, 3s));
    const XWindow cover = server.Cover(Rect{700, 0, 820, 100});
    EXPECT_NE(server.StackingOrder().back(), clock.Hands());
    EXPECT_TRUE(PollUntil(onTop, 3s)) << "the next tick raises the clock again";
    EXPECT_NE(std::find(server.StackingOrder().begin(), server.StackingOrder().end(), cover),
              server.StackingOrder().end());
}

// A window mapped over the clock, while the clock sleeps between minutes, wakes it: within a
// second the clock is on top again, the hands above the dots.
TEST(Hands, IsOnTopAgainWithinASecondOfAWindowMappedOverIt) {
    RunningClock clock(Alone({"718|5|70|3|1|"}, "10:15:30"));
    ASSERT_TRUE(clock.Started());
    XServer& server = clock.Server();
    const auto onTop = [&] { return OnTopHandsAboveDots(clock); };
    ASSERT_TRUE(PollUntil(onTop, 3s));
    // At three points of the second, each after the clock has slept a while.
    for (const auto pause : {2300ms, 2600ms, 2900ms}) {
        std::this_thread::sleep_for(pause);
        server.Cover(Rect{700, 0, 820, 100});
        const auto mapped = std::chrono::steady_clock::now();
        ASSERT_NE(server.StackingOrder().back(), clock.Hands());
        EXPECT_TRUE(PollUntil(onTop, 1100ms))
            << "not on top "
            << std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - mapped)
                   .count()
            << " ms after the window was mapped";
    }
}

// The lines of text in a window: runs of pixel rows with letters in them (pixels far from the
// window's ground) that begin in its left quarter, where a button's row does not.
int TextLines(const ScreenArea& screen) {
    const Rect& r = screen.area;
    const unsigned long ground = screen.At(r.left + 1, r.top + 1);
    const auto far = [ground](unsigned long rgb) {
        for (int shift : {0, 8, 16}) {
            const int a = static_cast<int>((rgb >> shift) & 0xFF);
            const int b = static_cast<int>((ground >> shift) & 0xFF);
            if (std::abs(a - b) > 0x60) {
                return true;
            }
        }
        return false;
    };
    int lines = 0;
    bool inLine = false;
    for (int y = r.top; y < r.bottom; ++y) {
        bool letters = false;
        for (int x = r.left; x < r.left + (r.right - r.left) / 4 && !letters; ++x) {
            letters = far(screen.At(x, y));
        }
        lines += letters && !inLine ? 1 : 0;
        inLine = letters;
    }
    return lines;
}

// The closing box of a clock in the middle of the screen stays above the clock's windows for
// as long as it is open, and shows each of its ten lines on one line. Regression guards: the
// dots covered the box, and the box wrapped its long rule in two.
TEST(Hands, TheClosingBoxStaysAboveTheClockWithTenWholeLines) {
    RunningClock clock(Alone({"590|460|100|1|1|red"}, "10:15:30"));
    ASSERT_TRUE(clock.Started());
    XServer& server = clock.Server();
    const auto [x, y] = Grip(clock);
    server.MovePointer(x, y);
    server.Button(kLeftButton, true);
    const auto box = server.WaitForWindow(kClosingTitle, 8s);
    server.Button(kLeftButton, false);
    ASSERT_TRUE(box);
    const Rect place = server.Geometry(*box);
    const Rect clockPlace = clock.MarkersPlace();
    ASSERT_TRUE(place.left < clockPlace.right && clockPlace.left < place.right &&
                place.top < clockPlace.bottom && clockPlace.top < place.bottom)
        << "the box does not lie over the clock";

    const auto onTop = [&] { return server.StackingOrder().back() == *box; };
    const auto redUnder = [&] {
        const ScreenArea screen = server.Capture(place);
        return std::count(screen.pixels.begin(), screen.pixels.end(), kRed);
    };
    // A window just mapped shows what lay under it until it has painted itself.
    EXPECT_TRUE(PollUntil([&] { return onTop() && redUnder() == 0; }, 2s))
        << "the box never showed above the clock";
    // Then through a few ticks, each of which keeps the clock on top of everything else.
    const auto until = Steady::now() + 2500ms;
    while (Steady::now() < until) {
        ASSERT_TRUE(onTop()) << "the box went under the clock";
        ASSERT_EQ(redUnder(), 0) << "the clock shows through the box";
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_EQ(TextLines(server.Capture(place)), 10);

    EXPECT_EQ(clock.DismissClosingBox(*box), 0) << clock.ErrorOutput();
}

} // namespace
} // namespace reloj::e2e
