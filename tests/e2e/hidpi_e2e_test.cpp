// The real program on a dense 3840x2160 screen, as the X server sees it: whichever way the
// desktop says how much it scales (Xft.dpi, QT_SCALE_FACTOR, QT_SCREEN_SCALE_FACTORS), the clock
// is the 96 dpi clock scaled by that factor, in size and in place, with round dots, the hands
// centred and on time, and every pixel of its shapes painted. Each scaled clock is measured
// against the same clock at 96 dpi on the same kind of screen.
#include "running_clock.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <numbers>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace reloj::e2e {
namespace {

constexpr const char* kDenseScreen = "3840x2160";
constexpr unsigned long kRed = 0xFF0000;
constexpr unsigned long kDesktop = 0x204060;
// 10:15: the minute hand points at 3 o'clock, the hour hand 142.5 degrees counter-clockwise
// from there, between 10 and 11.
constexpr const char* kStartsAt = "2026-12-08 10:15:30";
constexpr double kMinuteDegrees = 0.0;
constexpr double kHourDegrees = 142.5;
// How far a hand's tip may point away from its time, in degrees.
constexpr double kAngleSlack = 4.0;
// The hands' sector searched for each tip.
constexpr double kSectorDegrees = 20.0;

const std::vector<std::string> kDefaultClock{};
const std::vector<std::string> kLargeClock{"300|300|200|2|1|"};

struct Dot {
    Rect box;
    std::size_t filled = 0;
};

// What a clock shows, measured from outside.
struct Measured {
    Rect place;
    std::vector<Dot> dots;
    // Where the hands meet and where the ring's dots are centred, in window pixels.
    double handsX = 0, handsY = 0, ringX = 0, ringY = 0;
    // Each hand's tip: its distance from where the hands meet and its angle, in degrees
    // counter-clockwise from 3 o'clock.
    double minuteReach = 0, minuteAngle = 0, hourReach = 0, hourAngle = 0;
    std::string unpainted; // empty when every pixel is as the shapes say
};

double AngleDifference(double a, double b) {
    const double d = std::fmod(std::abs(a - b), 360.0);
    return std::min(d, 360.0 - d);
}

// A hand's tip within a sector around `degrees`: how far its farthest pixel lies from the
// centre, and the direction of the hand's outer half (a bar's end is as wide as the bar, so its
// farthest pixel is a corner, off the hand's line).
std::pair<double, double> Tip(const PixelSet& hands, double cx, double cy, double degrees) {
    struct Polar {
        double dx, dy, r;
    };
    std::vector<Polar> sector;
    double reach = 0;
    for (const auto& [x, y] : hands) {
        const double dx = x + 0.5 - cx;
        const double dy = cy - (y + 0.5);
        if (AngleDifference(std::atan2(dy, dx) * 180.0 / std::numbers::pi, degrees) <=
            kSectorDegrees) {
            sector.push_back({dx, dy, std::hypot(dx, dy)});
            reach = std::max(reach, sector.back().r);
        }
    }
    double sumX = 0, sumY = 0;
    for (const Polar& p : sector) {
        if (p.r >= reach / 2) {
            sumX += p.dx;
            sumY += p.dy;
        }
    }
    return {reach, std::atan2(sumY, sumX) * 180.0 / std::numbers::pi};
}

// Pixels of the window's square that show what they should not: inside the dots or the hands
// the clock's red (the small circle where the hands meet aside), elsewhere the desktop.
std::string Unpainted(const XServer& server, const Rect& place, const PixelSet& dots,
                      const PixelSet& hands, double cx, double cy, double hub) {
    const ScreenArea screen = server.Capture(place);
    if (screen.pixels.empty()) {
        return "the screen could not be read";
    }
    std::size_t wrong = 0;
    std::ostringstream first;
    for (int y = 0; y < place.bottom - place.top; ++y) {
        for (int x = 0; x < place.right - place.left; ++x) {
            const bool shown = dots.count({x, y}) != 0 || hands.count({x, y}) != 0;
            if (shown && std::hypot(x + 0.5 - cx, y + 0.5 - cy) <= hub) {
                continue;
            }
            const unsigned long want = shown ? kRed : kDesktop;
            const unsigned long got = screen.At(place.left + x, place.top + y);
            if (got != want && wrong++ < 4) {
                first << " (" << x << "," << y << ") " << std::hex << got << " not " << want
                      << std::dec;
            }
        }
    }
    return wrong == 0 ? std::string() : std::to_string(wrong) + " pixels:" + first.str();
}

// Starts the clock on a fresh dense screen and measures it once it is cut and painted.
Measured Measure(std::optional<int> dpi, const std::map<std::string, std::string>& environment,
                 const std::vector<std::string>& commandLine) {
    XServer server(dpi, kDenseScreen);
    server.SetDesktopColour(kDesktop);
    RunningClock clock({.arguments = commandLine,
                        .server = &server,
                        .startsAt = kStartsAt,
                        .environment = environment});
    Measured m;
    const testing::AssertionResult started = clock.Started();
    EXPECT_TRUE(started) << clock.ErrorOutput();
    if (!started) {
        return m;
    }
    m.place = clock.MarkersPlace();
    EXPECT_EQ(clock.HandsPlace(), m.place);
    const int width = m.place.right - m.place.left;
    const int height = m.place.bottom - m.place.top;
    const PixelSet whole = Pixels({{0, 0, width, height}});
    PixelSet dots, hands;
    PollUntil(
        [&] {
            dots = Pixels(server.Shape(clock.Markers()));
            hands = clock.HandsShape();
            return dots != whole && hands != whole;
        },
        5s);
    const auto components = ShapeComponents(server.Shape(clock.Markers()), width, height);
    for (const Rect& box : components) {
        Dot dot{box, 0};
        for (const auto& [x, y] : dots) {
            dot.filled += x >= box.left && x < box.right && y >= box.top && y < box.bottom;
        }
        m.dots.push_back(dot);
        m.ringX += (box.left + box.right) / 2.0 / static_cast<double>(components.size());
        m.ringY += (box.top + box.bottom) / 2.0 / static_cast<double>(components.size());
    }
    // The hands meet at the pixel of theirs nearest the window's middle.
    double nearest = 1e9;
    for (const auto& [x, y] : hands) {
        const double d = std::hypot(x + 0.5 - width / 2.0, y + 0.5 - height / 2.0);
        if (d < nearest) {
            nearest = d;
            m.handsX = x + 0.5;
            m.handsY = y + 0.5;
        }
    }
    std::tie(m.minuteReach, m.minuteAngle) = Tip(hands, m.handsX, m.handsY, kMinuteDegrees);
    std::tie(m.hourReach, m.hourAngle) = Tip(hands, m.handsX, m.handsY, kHourDegrees);
    // The circle where the hands meet is a fiftieth of the ring's radius; two pixels of the
    // scale around it are left to it.
    const double hub = 2.0 * width / 76.0 + 1.0;
    PollUntil(
        [&] {
            m.unpainted = Unpainted(server, m.place, dots, hands, m.handsX, m.handsY, hub);
            return m.unpainted.empty();
        },
        5s);
    EXPECT_TRUE(clock.Running());
    return m;
}

const Measured& At96Dpi(const std::vector<std::string>& commandLine) {
    static std::map<std::vector<std::string>, Measured> measured;
    auto found = measured.find(commandLine);
    if (found == measured.end()) {
        found = measured.emplace(commandLine, Measure(96, {}, commandLine)).first;
    }
    return found->second;
}

int Scaled(int pixels, double factor) {
    return static_cast<int>(std::nearbyint(pixels * factor));
}

// Every dot a round disc of the scaled size: as wide as high, and as many pixels as the disc's
// area, give or take the rim's rounding. The window's edge cuts a dot that reaches past it, as
// it always has; only the side it leaves whole is measured there.
void ExpectRoundDots(const Measured& m, const Measured& reference, double factor) {
    ASSERT_EQ(m.dots.size(), 12u);
    int referenceDiameter = 0;
    for (const Dot& dot : reference.dots) {
        referenceDiameter = std::max(referenceDiameter, dot.box.right - dot.box.left);
    }
    const int diameter = Scaled(referenceDiameter, factor);
    const double area = std::numbers::pi * diameter * diameter / 4.0;
    const int size = m.place.right - m.place.left;
    for (const Dot& dot : m.dots) {
        SCOPED_TRACE(testing::PrintToString(dot.box));
        const bool cutAcross = dot.box.left == 0 || dot.box.right == size;
        const bool cutDown = dot.box.top == 0 || dot.box.bottom == size;
        if (!cutAcross) {
            EXPECT_EQ(dot.box.right - dot.box.left, diameter);
        }
        if (!cutDown) {
            EXPECT_EQ(dot.box.bottom - dot.box.top, diameter);
        }
        if (!cutAcross && !cutDown) {
            EXPECT_NEAR(static_cast<double>(dot.filled), area, 0.1 * area + 2.0);
        }
    }
}

void ExpectScaledClock(const Measured& m, const Measured& reference, double factor) {
    const Rect& r = reference.place;
    EXPECT_EQ(m.place, (Rect{Scaled(r.left, factor), Scaled(r.top, factor),
                             Scaled(r.left, factor) + Scaled(r.right - r.left, factor),
                             Scaled(r.top, factor) + Scaled(r.bottom - r.top, factor)}));
    ExpectRoundDots(m, reference, factor);
    // The hands meet where they met at 96 dpi, and the ring stands around them as it did.
    EXPECT_NEAR(m.handsX, reference.handsX * factor, factor);
    EXPECT_NEAR(m.handsY, reference.handsY * factor, factor);
    EXPECT_NEAR(m.ringX - m.handsX, (reference.ringX - reference.handsX) * factor, factor);
    EXPECT_NEAR(m.ringY - m.handsY, (reference.ringY - reference.handsY) * factor, factor);
    // On time, and as long as the 96 dpi hands scaled; a sharp tip too thin to cover the last
    // pixel or two at 96 dpi covers more of them scaled.
    EXPECT_LE(AngleDifference(m.minuteAngle, kMinuteDegrees), kAngleSlack);
    EXPECT_LE(AngleDifference(m.hourAngle, kHourDegrees), kAngleSlack);
    const double reachSlack = 1.5 + 2.0 * factor;
    EXPECT_NEAR(m.minuteReach, reference.minuteReach * factor, reachSlack);
    EXPECT_NEAR(m.hourReach, reference.hourReach * factor, reachSlack);
    EXPECT_EQ(m.unpainted, "");
}

TEST(DenseScreen, The96DpiClockIsTheReference) {
    const Measured& plain = At96Dpi(kDefaultClock);
    EXPECT_EQ(plain.place, (Rect{718, 5, 794, 81}));
    ExpectScaledClock(plain, plain, 1.0);
    const Measured& large = At96Dpi(kLargeClock);
    EXPECT_EQ(large.place, (Rect{300, 300, 516, 516}));
    ExpectScaledClock(large, large, 1.0);
}

// The worked examples at 120 dpi stand as they are on any screen.
TEST(DenseScreen, At120DpiNothingChanges) {
    const Measured m = Measure(120, {}, kDefaultClock);
    EXPECT_EQ(m.place, (Rect{718, 5, 792, 79}));
    ASSERT_EQ(m.dots.size(), 12u);
    // The 3 o'clock dot centred at (73, 38) and the 9 o'clock dot at (3, 38), radius 2.
    const auto has = [&](const Rect& box) {
        return std::any_of(m.dots.begin(), m.dots.end(),
                           [&](const Dot& dot) { return dot.box == box; });
    };
    EXPECT_TRUE(has(Rect{71, 36, 74, 40}));
    EXPECT_TRUE(has(Rect{1, 36, 5, 40}));
    EXPECT_EQ(m.unpainted, "");
}

struct ScaleRow {
    const char* name;
    std::optional<int> dpi;
    std::map<std::string, std::string> environment;
    double factor;
    Rect defaultPlace;
};

TEST(DenseScreen, ScaledByTheDesktopsFactorWhicheverWayItIsSaid) {
    const ScaleRow rows[] = {
        {"Xft.dpi 144", 144, {}, 1.5, {1077, 8, 1191, 122}},
        {"Xft.dpi 192", 192, {}, 2.0, {1436, 10, 1588, 162}},
        {"QT_SCALE_FACTOR=2", 96, {{"QT_SCALE_FACTOR", "2"}}, 2.0, {1436, 10, 1588, 162}},
        {"QT_SCREEN_SCALE_FACTORS=2",
         96,
         {{"QT_SCREEN_SCALE_FACTORS", "2"}},
         2.0,
         {1436, 10, 1588, 162}},
        // Xvfb's one output is called "screen".
        {"QT_SCREEN_SCALE_FACTORS by name",
         96,
         {{"QT_SCREEN_SCALE_FACTORS", "HDMI-9=3;screen=2"}},
         2.0,
         {1436, 10, 1588, 162}},
    };
    for (const ScaleRow& row : rows) {
        SCOPED_TRACE(row.name);
        const Measured plain = Measure(row.dpi, row.environment, kDefaultClock);
        EXPECT_EQ(plain.place, row.defaultPlace);
        ExpectScaledClock(plain, At96Dpi(kDefaultClock), row.factor);
        const Measured large = Measure(row.dpi, row.environment, kLargeClock);
        ExpectScaledClock(large, At96Dpi(kLargeClock), row.factor);
    }
    // Twice the 96 dpi size at (600, 600), however 200 % was said.
    const Measured large = Measure(192, {}, kLargeClock);
    EXPECT_EQ(large.place, (Rect{600, 600, 1032, 1032}));
}

// What a user meets beyond the clock's own shape: how far a drag takes it, and how big the
// calculator and the closing box are.
struct Handled {
    Rect start, afterDrag, markersAfterDrag;
    Rect calculator, closingBox;
    std::optional<int> exitStatus;
};

constexpr int kDragX = 100, kDragY = 60;
constexpr int kDragSteps = 5;

Handled Handle(std::optional<int> dpi, const std::map<std::string, std::string>& environment) {
    XServer server(dpi, kDenseScreen);
    RunningClock clock({.server = &server, .startsAt = kStartsAt, .environment = environment});
    Handled h;
    if (!clock.Started()) {
        ADD_FAILURE() << clock.ErrorOutput();
        return h;
    }
    h.start = clock.HandsPlace();
    const int width = h.start.right - h.start.left;
    // Where the hands meet: the place to press on.
    PixelSet hands;
    PollUntil(
        [&] {
            hands = clock.HandsShape();
            return hands.size() < static_cast<std::size_t>(width * width);
        },
        3s);
    int gripX = 0, gripY = 0;
    double nearest = 1e9;
    for (const auto& [x, y] : hands) {
        const double d = std::hypot(x - width / 2.0, y - width / 2.0);
        if (d < nearest) {
            nearest = d;
            gripX = h.start.left + x;
            gripY = h.start.top + y;
        }
    }
    server.MovePointer(gripX, gripY);
    server.Button(kLeftButton, true);
    for (int step = 1; step <= kDragSteps; ++step) {
        server.MovePointer(gripX + kDragX * step / kDragSteps, gripY + kDragY * step / kDragSteps);
        std::this_thread::sleep_for(50ms);
    }
    server.Button(kLeftButton, false);
    PollUntil([&] { return clock.MarkersPlace() == clock.HandsPlace(); }, 2s);
    h.afterDrag = clock.HandsPlace();
    h.markersAfterDrag = clock.MarkersPlace();

    // A double-click on the hands, where they now are, opens the calculator.
    std::this_thread::sleep_for(600ms);
    const int x = gripX + h.afterDrag.left - h.start.left;
    const int y = gripY + h.afterDrag.top - h.start.top;
    server.MovePointer(x, y);
    for (int i = 0; i < 2; ++i) {
        server.Button(kLeftButton, true);
        server.Button(kLeftButton, false);
    }
    if (const auto calculator = server.WaitForWindow(kCalculatorTitle, 5s)) {
        h.calculator = server.Geometry(*calculator);
    }
    // Held down, the button closes the clock with its box.
    std::this_thread::sleep_for(600ms);
    server.Button(kLeftButton, true);
    const auto box = server.WaitForWindow(kClosingTitle, 8s);
    server.Button(kLeftButton, false);
    if (box) {
        h.closingBox = server.Geometry(*box);
        h.exitStatus = clock.DismissClosingBox(*box);
    }
    return h;
}

int Width(const Rect& r) {
    return r.right - r.left;
}
int Height(const Rect& r) {
    return r.bottom - r.top;
}

struct HandledRow {
    const char* name;
    std::optional<int> dpi;
    std::map<std::string, std::string> environment;
};

TEST(DenseScreen, TheDragTheCalculatorAndTheClosingBoxFollowTheScale) {
    const Handled plain = Handle(96, {});
    ASSERT_GT(Width(plain.calculator), 0);
    ASSERT_GT(Width(plain.closingBox), 0);
    const HandledRow rows[] = {
        {"96 dpi", 96, {}},
        {"Xft.dpi 192", 192, {}},
        {"QT_SCALE_FACTOR=2", 96, {{"QT_SCALE_FACTOR", "2"}}},
    };
    for (const HandledRow& row : rows) {
        SCOPED_TRACE(row.name);
        const Handled h =
            row.dpi == 96 && row.environment.empty() ? plain : Handle(row.dpi, row.environment);
        const int scale = Width(h.start) / Width(plain.start);
        // The clock follows the pointer to within a pixel of its layout, the dots with it.
        EXPECT_NEAR(h.afterDrag.left - h.start.left, kDragX, scale);
        EXPECT_NEAR(h.afterDrag.top - h.start.top, kDragY, scale);
        EXPECT_EQ(h.markersAfterDrag, h.afterDrag);
        EXPECT_EQ(Width(h.afterDrag), Width(h.start));
        // The calculator's size is laid out in twips, as the clock is.
        EXPECT_EQ(Width(h.calculator), scale * Width(plain.calculator));
        EXPECT_EQ(Height(h.calculator), scale * Height(plain.calculator));
        // The box's lines are in the desktop's letters, which grow with its scale: the box
        // grows with them, give or take the letters' hinting.
        EXPECT_NEAR(Width(h.closingBox), scale * Width(plain.closingBox),
                    0.12 * scale * Width(plain.closingBox));
        EXPECT_NEAR(Height(h.closingBox), scale * Height(plain.closingBox),
                    0.12 * scale * Height(plain.closingBox));
        EXPECT_EQ(h.exitStatus, 0);
    }
}

struct CornerRow {
    const char* name;
    std::optional<int> dpi;
    std::map<std::string, std::string> environment;
};

// The automatic colour reads the desktop just outside the scaled clock's corners: a light
// window where an unscaled clock's corners would be changes nothing, one under the scaled
// clock's corners turns it black.
TEST(DenseScreen, TheAutomaticColourReadsTheScaledCorners) {
    constexpr unsigned long kBlack = 0x000000, kWhite = 0xFFFFFF;
    const CornerRow rows[] = {
        {"Xft.dpi 192", 192, {}},
        {"QT_SCREEN_SCALE_FACTORS=2", 96, {{"QT_SCREEN_SCALE_FACTORS", "2"}}},
    };
    for (const CornerRow& row : rows) {
        SCOPED_TRACE(row.name);
        XServer server(row.dpi, kDenseScreen);
        server.SetDesktopColour(kBlack);
        RunningClock clock({.arguments = {"718|5|70|1|1|0"},
                            .server = &server,
                            .startsAt = kStartsAt,
                            .environment = row.environment});
        ASSERT_TRUE(clock.Started()) << clock.ErrorOutput();
        const Rect place = clock.MarkersPlace();
        ASSERT_EQ(place, (Rect{1436, 10, 1588, 162}));
        // The 12 o'clock dot's centre, twice (39, 4).
        const auto dot = [&] { return server.Pixel(place.left + 78, place.top + 8); };
        ASSERT_TRUE(PollUntil([&] { return dot() == kWhite; }, 3s)) << std::hex << dot();

        server.Cover(Rect{700, 0, 820, 100}, kWhite);
        std::this_thread::sleep_for(2500ms);
        EXPECT_EQ(dot(), kWhite) << "the clock read the corners of an unscaled clock";

        server.Cover(Rect{place.left - 20, 0, place.right + 20, place.bottom + 20}, kWhite);
        EXPECT_TRUE(PollUntil([&] { return dot() == kBlack; }, 3s)) << std::hex << dot();
    }
}

struct BadFactorRow {
    const char* name;
    std::map<std::string, std::string> environment;
    int width;
};

// A factor that is not one is no factor; one beyond eight is taken as eight.
TEST(DenseScreen, BadFactorsNeitherCrashNorScale) {
    const BadFactorRow rows[] = {
        {"garbage", {{"QT_SCALE_FACTOR", "dos"}}, 76},
        {"zero", {{"QT_SCALE_FACTOR", "0"}}, 76},
        {"negative", {{"QT_SCREEN_SCALE_FACTORS", "-2"}}, 76},
        {"not a number", {{"QT_SCALE_FACTOR", "nan"}}, 76},
        {"huge", {{"QT_SCALE_FACTOR", "1e300"}}, 608},
        {"garbage list", {{"QT_SCREEN_SCALE_FACTORS", ";=;x=;2x"}}, 76},
    };
    for (const BadFactorRow& row : rows) {
        SCOPED_TRACE(row.name);
        XServer server(96, kDenseScreen);
        RunningClock clock({.server = &server, .environment = row.environment});
        ASSERT_TRUE(clock.Started()) << clock.ErrorOutput();
        const Rect place = clock.MarkersPlace();
        EXPECT_EQ(place.right - place.left, row.width);
        EXPECT_EQ(place.bottom - place.top, row.width);
        EXPECT_TRUE(clock.Running());
    }
}

} // namespace
} // namespace reloj::e2e
