#include "app/clock_application.h"
#include "calculator/calculator_window.h"
#include "clock/clock_tick.h"
#include "clock/closing_message.h"
#include "fake_platform.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <gtest/gtest.h>
#include <optional>
#include <variant>

namespace reloj {
namespace {

using test::FakePlatform;

class Clock : public ::testing::Test {
  protected:
    void Start(std::string_view commandLine, double dotsPerInch = 96) {
        platform.dotsPerInchX = dotsPerInch;
        platform.dotsPerInchY = dotsPerInch;
        ASSERT_FALSE(app.Start(commandLine).error);
        hands = platform.Find(kHandsTitle);
        markers = platform.Find(kMarkerTitle);
        ASSERT_NE(hands, nullptr);
        ASSERT_NE(markers, nullptr);
    }
    void At(int hour, int minute, int second) {
        platform.now.hour = hour;
        platform.now.minute = minute;
        platform.now.second = second;
        // The fake day runs in UTC from the epoch: only differences between instants count.
        platform.now.epochSecond = (hour * 60 + minute) * 60 + second;
    }
    void Tick() { app.Tick().OnTick(); }
    // A button held down on the hands, and let go; the left one, which only drags.
    void Hold() { app.Tick().OnMousePress(kLeftButton, {}); }
    void Release() { app.Tick().OnMouseRelease(kLeftButton, {}); }
    bool Journaled(const std::string& entry) const {
        return Position(entry) < static_cast<std::ptrdiff_t>(platform.journal.size());
    }
    long Count(const std::string& entry) const {
        return std::count(platform.journal.begin(), platform.journal.end(), entry);
    }
    // Where a journal entry first stands; the journal's end when it is not there.
    std::ptrdiff_t Position(const std::string& entry) const {
        const auto& j = platform.journal;
        return std::find(j.begin(), j.end(), entry) - j.begin();
    }

    FakePlatform platform;
    ClockApplication app{platform};
    test::FakeWindow* hands = nullptr;
    test::FakeWindow* markers = nullptr;
};

TEST_F(Clock, OpensTheHandsOverTheRingInTheChosenColour) {
    At(10, 15, 30);
    Start("");
    // The default clock: 76 pixels square at (718, 5), red, with the black centre circle.
    EXPECT_EQ(markers->frame, (PixelRect{718, 5, 794, 81}));
    EXPECT_EQ(hands->frame, markers->frame);
    EXPECT_EQ(hands->owner, kMarkerTitle);
    EXPECT_EQ(markers->background, 255);
    EXPECT_EQ(hands->background, 255);
    ASSERT_TRUE(hands->disc);
    EXPECT_EQ(hands->disc->colour, kBlack);
    EXPECT_TRUE(hands->visible);
    EXPECT_TRUE(markers->visible);
    ASSERT_TRUE(hands->region);
    EXPECT_EQ(hands->region->Shapes().size(), 2u);
    EXPECT_EQ(app.State().corners,
              (std::array<PixelPoint, 4>{{{718, 5}, {794, 5}, {718, 81}, {794, 81}}}));
    EXPECT_EQ(hands->tickAt, platform.now.epochSecond + 30) << "asleep until 10:16:00";
    // Both windows are shaped and shown before the clock is put on top the last time, so
    // that the hands come up above the dots.
    const auto lastRaise =
        platform.journal.rend() - std::find(platform.journal.rbegin(), platform.journal.rend(),
                                            std::string("KeepOnTop $uhr$"));
    EXPECT_LT(Position("reloj.Show"), lastRaise);
    EXPECT_LT(Position("$uhr$.SetShape"), lastRaise);
    EXPECT_EQ(platform.journal.back(), "$uhr$.Show");
}

TEST_F(Clock, ZeroPositionKeepsTheInitialPlace) {
    Start("0|75|70|1|1|");
    EXPECT_EQ(markers->frame.left, 495) << "7425 twips";
    EXPECT_EQ(markers->frame.top, 75);
    EXPECT_EQ(app.State().corners[0].x, 495);
}

TEST_F(Clock, AutomaticColourWhenOpened) {
    platform.desktop = 0xFFFFFF;
    Start("1|1|70|1|1|0");
    EXPECT_EQ(hands->background, kBlack);
    EXPECT_EQ(markers->background, kBlack);
    ASSERT_TRUE(hands->disc);
    EXPECT_EQ(hands->disc->colour, kWhite);
    // The desktop is read only once the hands are up, and the clock has no colour of its own
    // before that.
    EXPECT_LT(Position("reloj.Show"), Position("ScreenPixel 1,1"));
    EXPECT_LT(Position("reloj.Show"), Position("$uhr$.SetColours"));
}

TEST_F(Clock, TickRunsItsStepsInOrder) {
    At(10, 29, 59);
    platform.desktop = 0xFFFFFF;
    Start("1|1|70|1|1|0");
    At(10, 30, 0);
    platform.desktop = 0;
    platform.desktopChanged(DesktopChange::Look);
    platform.journal.clear();
    Tick();
    // The chime, then the colour, then the raise, then the new hands.
    EXPECT_LT(Position("PlaySound /sonidos/media.wav (Campanada de la media)"), Position("ScreenPixel 1,1"));
    EXPECT_LT(Position("ScreenPixel 77,77"), Position("reloj.SetColours"));
    EXPECT_LT(Position("reloj.SetColours"), Position("KeepOnTop $uhr$"));
    EXPECT_LT(Position("KeepOnTop $uhr$"), Position("reloj.SetShape"));
    EXPECT_TRUE(Journaled("reloj.SetShape"));
    // Desktop 0 is dark: the clock turns white, its centre black.
    EXPECT_EQ(hands->background, kWhite);
    EXPECT_EQ(markers->background, kWhite);
    EXPECT_EQ(hands->disc->colour, kBlack);

    // The same minute again, and no news from the desktop: chime, colour and shape all stay
    // as they are, and no pixel is read.
    platform.journal.clear();
    At(10, 30, 1);
    Tick();
    const std::vector<std::string> quiet = {"KeepOnTop $uhr$"};
    EXPECT_EQ(platform.journal, quiet);
}

TEST_F(Clock, ChosenColourIsNeverSampled) {
    Start("");
    Tick();
    EXPECT_FALSE(std::any_of(platform.journal.begin(), platform.journal.end(),
                             [](const std::string& e) { return e.starts_with("ScreenPixel"); }));
}

TEST_F(Clock, MinuteChangeRedrawsOnce) {
    At(10, 0, 30);
    Start("");
    platform.journal.clear();
    Tick(); // minute 0 equals the first minute kept: no redraw
    EXPECT_EQ(Count("reloj.SetShape"), 0);
    At(10, 1, 0);
    Tick();
    Tick();
    EXPECT_EQ(Count("reloj.SetShape"), 1);
    At(11, 0, 0);
    Tick();
    EXPECT_EQ(Count("reloj.SetShape"), 2);
}

TEST_F(Clock, MuteFlagSilencesChimesButNotTheClosingSound) {
    At(11, 59, 59);
    Start("");
    app.ChimesMuted() = true;
    At(12, 0, 0);
    Tick();
    At(12, 30, 0);
    Tick();
    EXPECT_TRUE(platform.plays.empty());
    Hold();
    for (int i = 0; i < kHoldTicksToQuit; ++i) {
        Tick();
    }
    ASSERT_EQ(platform.plays.size(), 1U);
    EXPECT_EQ(platform.plays[0].path, "/sonidos/finreloj.wav");
}

TEST_F(Clock, HoldToQuit) {
    Start("");
    // Short presses never add up: a release resets the count at the next tick.
    Hold();
    for (int i = 0; i < 4; ++i) {
        Tick();
    }
    Release();
    Tick();
    Hold();
    for (int i = 0; i < 4; ++i) {
        Tick();
    }
    EXPECT_FALSE(platform.quitStatus);
    EXPECT_FALSE(Journaled("MessageBox"));

    // Ticks that come while the message box is up run as usual but do not close again.
    platform.duringMessageBox = [this] {
        Tick();
        Tick();
    };
    platform.journal.clear();
    Tick();
    // The farewell sounds as the box comes up; the windows go only once it is dismissed.
    EXPECT_LT(Position("PlaySound /sonidos/finreloj.wav (Despedida)"), Position("MessageBox"));
    EXPECT_LT(Position("MessageBox"), Position("reloj.Hide"));
    EXPECT_LT(Position("reloj.Hide"), Position("reloj.Destroy"));
    EXPECT_EQ(Count("MessageBox"), 1);
    EXPECT_EQ(Count("Quit 0"), 1);
    EXPECT_EQ(platform.Find(kHandsTitle), nullptr);
    EXPECT_EQ(platform.Find(kMarkerTitle), nullptr);
    EXPECT_EQ(platform.quitStatus, 0);
    EXPECT_EQ(platform.messageTitle, "^Quorvix^ Velmaro....");
    EXPECT_EQ(platform.messageText, ClosingMessage());
    // The box belongs to the hands, so that it stays above the clock while it is open.
    EXPECT_EQ(platform.messageOwner, kHandsTitle);
}

// A stretch of ticks with the button held or not.
struct HoldRun {
    bool held;
    int ticks;
};

struct UnderTheBoxRow {
    const char* name;
    std::vector<HoldRun> underTheBox; // what happens while the closing box is up
};

// The box is modal but the clock keeps ticking beneath it, and a release can go astray while
// it is up. However long that lasts, the clock closes once.
TEST(HoldToQuit, ClosesOnceWhateverTicksUnderTheBox) {
    // One full turn of a 16-bit count brings it back to the closing count, so a counter that
    // kept counting under the box would open it again.
    constexpr int kSixteenBitTurn = 65536;
    const UnderTheBoxRow rows[] = {
        {"a few ticks with the button still down", {{true, 2}}},
        {"regression: a lost release keeps the button down past a turn of a 16-bit count",
         {{true, kSixteenBitTurn + kHoldTicksToQuit}}},
        {"a release, then a fresh hold as long as the closing one",
         {{false, 1}, {true, 2 * kHoldTicksToQuit}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakePlatform rowPlatform;
        ClockApplication rowApp{rowPlatform};
        ASSERT_FALSE(rowApp.Start("").error);
        ClockTick& tick = rowApp.Tick();
        const auto hold = [&](bool held) {
            if (held) {
                tick.OnMousePress(kLeftButton, {});
            } else {
                tick.OnMouseRelease(kLeftButton, {});
            }
        };
        int boxes = 0;
        rowPlatform.duringMessageBox = [&] {
            if (++boxes > 1) {
                return; // a second box: the fault itself, and not to be ticked under again
            }
            for (const HoldRun& run : row.underTheBox) {
                hold(run.held);
                for (int i = 0; i < run.ticks && tick.IsOpen() && boxes == 1; ++i) {
                    tick.OnTick();
                }
            }
        };
        hold(true);
        for (int i = 0; i < kHoldTicksToQuit; ++i) {
            tick.OnTick();
        }
        EXPECT_EQ(boxes, 1);
        EXPECT_EQ(rowPlatform.quitStatus, 0);
        EXPECT_EQ(std::count(rowPlatform.journal.begin(), rowPlatform.journal.end(),
                             std::string("Quit 0")),
                  1);
    }
}

TEST_F(Clock, RegionsStayConstantOverAWeek) {
    At(0, 0, 0);
    Start("");
    const int64_t live = Region::LiveCount();
    // Both windows' shapes, the last dot and the last minute hand.
    EXPECT_EQ(live, 4);
    for (int day = 0; day < 7; ++day) {
        for (int minute = 0; minute < 24 * 60; ++minute) {
            At(minute / 60, minute % 60, 0);
            Tick();
        }
        ASSERT_EQ(Region::LiveCount(), live) << "after day " << day;
    }
    app.Tick().Close();
    EXPECT_EQ(Region::LiveCount(), 0);
    EXPECT_EQ(platform.journal.back(), "$uhr$.Destroy");
}

TEST_F(Clock, RingRegionIsTwelveDots) {
    Start("", 120);
    ASSERT_TRUE(markers->region);
    const auto& shapes = markers->region->Shapes();
    ASSERT_EQ(shapes.size(), 12u);
    EXPECT_EQ(std::get<Region::Ellipse>(shapes[0]).bounds, (PixelRect{71, 36, 75, 40}));
    EXPECT_EQ(std::get<Region::Ellipse>(shapes[6]).bounds, (PixelRect{1, 36, 5, 40}));
}

TEST_F(Clock, StyleWithoutHandsLeavesTheWindowUnshaped) {
    Start("1|1|70|3|1|");
    EXPECT_FALSE(hands->region);
    At(10, 16, 0);
    Tick();
    EXPECT_FALSE(hands->region);
}

TEST_F(Clock, RightButtonCyclesEightColours) {
    Start("");
    const std::array<Colour, 9> expected{0x000000, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF,
                                         0xFF00FF, 0x00FFFF, 0xFFFFFF, 0x000000};
    for (Colour colour : expected) {
        app.Tick().OnMousePress(kRightButton, {38, 38});
        EXPECT_EQ(app.State().clockColour, colour);
        EXPECT_EQ(hands->background, colour);
        EXPECT_EQ(markers->background, colour);
        ASSERT_TRUE(hands->disc);
        EXPECT_EQ(hands->disc->colour, colour == kBlack ? kWhite : kBlack);
        app.Tick().OnMouseRelease(kRightButton, {38, 38});
    }
}

TEST_F(Clock, BlackFromTheCycleHandsBackToTheAutomaticColour) {
    platform.desktop = 0xFFFFFF; // the automatic choice would be black too
    Start("");
    app.Tick().OnMousePress(kRightButton, {38, 38});
    app.Tick().OnMouseRelease(kRightButton, {38, 38});
    platform.journal.clear();
    Tick();
    EXPECT_TRUE(Journaled("ScreenPixel 718,5"));
    EXPECT_TRUE(Journaled("reloj.SetColours")) << "the first automatic choice always paints";
    platform.journal.clear();
    Tick();
    EXPECT_FALSE(Journaled("reloj.SetColours"));
}

TEST_F(Clock, LeftDragMovesBothWindowsAsOne) {
    Start("");
    // Parts of a pixel count as the nearest pixel: the press is at (20, 30).
    app.Tick().OnMousePress(kLeftButton, {20.4, 30.4});
    app.Tick().OnMouseMove(kLeftButton, {30, 25});
    EXPECT_EQ(hands->frame.left, 718 + 10);
    EXPECT_EQ(hands->frame.top, 5 - 5);
    EXPECT_EQ(markers->frame, hands->frame);
    // Both buttons held, or only the right one: no drag.
    app.Tick().OnMouseMove(kLeftButton + kRightButton, {60, 60});
    app.Tick().OnMouseMove(kRightButton, {60, 60});
    EXPECT_EQ(hands->frame.left, 728);
    app.Tick().OnMouseRelease(kLeftButton, {30, 25});
    EXPECT_EQ(app.State().corners[0], (PixelPoint{728, 0}));
}

// A clock placed between pixels keeps its remainder of a pixel through a drag, as it always
// has: 100 twips at 15 a pixel stand on pixel 6, and 100 + 15 twips on pixel 7.
TEST_F(Clock, DragKeepsTheTwipsOfAPlaceBetweenPixels) {
    Start("0|0|70|1|1|");
    // At 0 the marker keeps its own place: 7425 twips, pixel 495, 3300 twips, pixel 220.
    app.Tick().OnMousePress(kLeftButton, {0, 0});
    app.Tick().OnMouseMove(kLeftButton, {1, 1});
    EXPECT_EQ(hands->frame.left, 496);
    EXPECT_EQ(hands->frame.top, 221);
    FakePlatform between;
    ClockApplication betweenApp{between};
    ASSERT_FALSE(betweenApp.Start("6.6|6.6|70|1|1|").error);
    test::FakeWindow* betweenHands = between.Find(kHandsTitle);
    EXPECT_EQ(betweenHands->frame.left, 6) << "99 twips";
    betweenApp.Tick().OnMousePress(kLeftButton, {0, 0});
    betweenApp.Tick().OnMouseMove(kLeftButton, {1, 0});
    EXPECT_EQ(betweenHands->frame.left, 7) << "114 twips";
    // A window manager that puts the clock elsewhere: the pixel it stands on counts.
    betweenHands->frame = {50, 50, 126, 126};
    betweenApp.Tick().OnMouseMove(kLeftButton, {2, 0});
    EXPECT_EQ(betweenHands->frame.left, 52);
}

TEST_F(Clock, FixedClockDoesNotMove) {
    Start("100|50|70|1|0|");
    app.Tick().OnMousePress(kLeftButton, {0, 0});
    app.Tick().OnMouseMove(kLeftButton, {30, 25});
    EXPECT_EQ(hands->frame.left, 100);
    platform.journal.clear();
    app.Tick().OnMouseRelease(kLeftButton, {30, 25});
    EXPECT_TRUE(platform.journal.empty()) << "no corners are taken for a fixed clock";
}

TEST_F(Clock, ClickClosesTheCalculatorAndDoubleClickOpensAFreshOne) {
    Start("");
    app.Tick().OnDoubleClick();
    ASSERT_NE(platform.calculator, nullptr);
    // Owned by the hands, it opens above the clock and stays there.
    EXPECT_EQ(platform.calculator->owner, kHandsTitle);
    // A double-click starts with a click: the open calculator goes, a new one comes.
    app.Tick().OnClick();
    EXPECT_EQ(platform.calculator, nullptr);
    app.Tick().OnDoubleClick();
    ASSERT_NE(platform.calculator, nullptr);
    EXPECT_TRUE(platform.calculator->visible);
    app.Tick().OnClick();
    EXPECT_EQ(platform.calculator, nullptr);
    app.Tick().OnClick(); // nothing left to close
}

TEST_F(Clock, ClosingTheClockClosesTheCalculator) {
    Start("");
    app.Tick().OnDoubleClick();
    app.Tick().Close();
    EXPECT_EQ(platform.calculator, nullptr);
    EXPECT_EQ(platform.quitStatus, 0);
}

// A screen that shrinks under the clock (a monitor unplugged) must not leave it out of reach.
TEST_F(Clock, ComesBackWhenNoScreenShowsItAnyMore) {
    Start("1000|800|70|1|1|red");
    ASSERT_TRUE(platform.screensChanged);

    platform.screens = {{0, 0, 1024, 1024}};
    platform.screensChanged();
    EXPECT_EQ(markers->frame.left, 1000) << "a clock partly on the screen stays";

    platform.screens = {{0, 0, 800, 600}};
    platform.screensChanged();
    // The corners the automatic colour reads, one pixel beyond the window, come in too.
    EXPECT_EQ(markers->frame, (PixelRect{723, 523, 799, 599}));
    EXPECT_EQ(hands->frame, markers->frame);
    EXPECT_EQ(app.State().corners[0], (PixelPoint{723, 523}));
    EXPECT_EQ(app.State().corners[3], (PixelPoint{799, 599}));

    app.Tick().Close();
    EXPECT_FALSE(platform.screensChanged) << "the screens are still watched for a closed clock";
}

TEST_F(Clock, At192DpiTheCornersAndScreensAreInTheScreensPixels) {
    Start("1000|800|70|1|1|red", 192);
    EXPECT_EQ(platform.scale, 2.0);
    EXPECT_EQ(markers->frame, (PixelRect{2000, 1600, 2152, 1752}));
    EXPECT_EQ(app.State().corners, (std::array<PixelPoint, 4>{
                                       {{2000, 1600}, {2152, 1600}, {2000, 1752}, {2152, 1752}}}));
    // The centre circle at the centre, twice its 96 dpi radius: 570 twips, 10 twips.
    ASSERT_TRUE(hands->disc);
    EXPECT_EQ(*hands->disc, (Disc{76.0, 76.0, 2.0 * 10 / 15, 2.0 * 10 / 15, kBlack}));

    // Off a 1600x1200 screen, it comes back within it, corners and all, on pixels a layout
    // pixel lands on.
    platform.screens = {{0, 0, 1600, 1200}};
    platform.screensChanged();
    EXPECT_EQ(app.State().corners[0], (PixelPoint{1446, 1046}));
    EXPECT_EQ(app.State().corners[3], (PixelPoint{1598, 1198}));
    EXPECT_EQ(markers->frame.left, hands->frame.left);
}

// The clock over hours of wall-clock time, ticking only at the seconds it asks for, as the
// platform runs it; the wall clock may jump and the zone change on the way.
namespace asleep {

// A zone: its offset from UTC in seconds, from each instant on.
struct Offset {
    int64_t from;
    int32_t seconds;
};
using Zone = std::vector<Offset>;

constexpr int32_t kHour = 3600;
const Zone kMadridWinter{{0, kHour}};
const Zone kKolkata{{0, 5 * kHour + 30 * 60}};
// Summer time in Madrid begins at 01:00 UTC on 2026-03-29 and ends at 01:00 UTC on 2026-10-25.
constexpr int64_t kSpringForward = 1774746000;
constexpr int64_t kFallBack = 1792890000;
const Zone kMadridSpring{{0, kHour}, {kSpringForward, 2 * kHour}};
const Zone kMadridAutumn{{0, 2 * kHour}, {kFallBack, kHour}};

LocalTime LocalAt(int64_t utc, const Zone& zone) {
    int32_t offset = zone.front().seconds;
    for (const Offset& o : zone) {
        if (utc >= o.from) {
            offset = o.seconds;
        }
    }
    const std::time_t shifted = utc + offset;
    std::tm t{};
    gmtime_r(&shifted, &t);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, utc};
}

std::string Clock24(const LocalTime& t) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    return text;
}

// The hands' polygons, in order.
std::vector<Quad> Polygons(const Region& region) {
    std::vector<Quad> quads;
    for (const Region::Shape& shape : region.Shapes()) {
        if (const auto* polygon = std::get_if<Region::Polygon>(&shape)) {
            quads.push_back(polygon->vertices);
        }
    }
    return quads;
}

// What happens at a moment of the run: the wall clock jumps by `jump` seconds, the zone
// becomes `zone`, or the desktop sends news.
struct Happening {
    int64_t after; // seconds from the start of the run
    int64_t jump = 0;
    const Zone* zone = nullptr;
    std::optional<DesktopChange> news = std::nullopt;
    std::optional<bool> held = std::nullopt;
};

struct AsleepRow {
    const char* name;
    const Zone* zone;
    int64_t startUtc;
    int64_t seconds; // how long the run lasts
    std::vector<Happening> happenings;
    std::vector<std::string> chimes; // "local time file", in order
    int ticks;
    const char* commandLine = "";
};

class Sleeper {
  public:
    Sleeper(const Zone& zone, int64_t utc, const char* commandLine = "")
        : m_zone(&zone), m_utc(utc) {
        platform.now = LocalAt(utc, zone);
        EXPECT_FALSE(app.Start(commandLine).error);
        hands = platform.Find(kHandsTitle);
    }

    // Runs every tick asked for up to `utc`, then sets the wall clock there.
    void RunTo(int64_t utc) {
        while (hands != nullptr && hands->tickAt && *hands->tickAt <= utc) {
            Tick(*hands->tickAt);
        }
        m_utc = utc;
        platform.now = LocalAt(m_utc, *m_zone);
    }
    void Jump(int64_t seconds, const Zone* zone) {
        m_utc += seconds;
        if (zone != nullptr) {
            m_zone = zone;
        }
        platform.now = LocalAt(m_utc, *m_zone);
        platform.TimeJumped();
    }
    int64_t Utc() const { return m_utc; }
    const Zone& CurrentZone() const { return *m_zone; }

    FakePlatform platform;
    ClockApplication app{platform};
    test::FakeWindow* hands = nullptr;
    std::vector<std::string> chimes;
    int ticks = 0;

  private:
    void Tick(int64_t utc) {
        platform.now = LocalAt(utc, *m_zone);
        const std::size_t before = platform.plays.size();
        app.Tick().OnTick();
        ++ticks;
        for (std::size_t i = before; i < platform.plays.size(); ++i) {
            const std::string& path = platform.plays[i].path;
            chimes.push_back(Clock24(platform.now) + " " + path.substr(path.rfind('/') + 1));
        }
    }

    const Zone* m_zone;
    int64_t m_utc;
};

// 2026-12-09 09:15:30 UTC, 10:15:30 in Madrid.
constexpr int64_t kMorning = 1796807730;

TEST(AsleepBetweenTicks, WakesForEveryChimeMinuteHoldAndNewsAndAfterEveryJump) {
    const AsleepRow rows[] = {
        {"a quiet hour wakes once a minute",
         &kMadridWinter,
         kMorning,
         3600,
         {},
         {"10:30:00 media.wav", "11:00:00 11am.wav"},
         60},
        {"Kolkata's half-hour offset chimes on its own hours",
         &kKolkata,
         kMorning,
         3600,
         {},
         // 09:15:30 UTC is 14:45:30 in Kolkata.
         {"15:00:00 15pm.wav", "15:30:00 media.wav"},
         60},
        {"spring forward: 02:00 never comes, 03:00 does",
         &kMadridSpring,
         kSpringForward - 1800 - 30,
         3600,
         {},
         {"01:30:00 media.wav", "03:00:00 3am.wav"},
         60},
        {"fall back: the hour shown twice chimes twice",
         &kMadridAutumn,
         kFallBack - 1800 - 30,
         5400,
         {},
         {"02:30:00 media.wav", "02:00:00 2am.wav", "02:30:00 media.wav"},
         90},
        {"a held button counts each second, then one tick brings the count back",
         &kMadridWinter,
         kMorning,
         60,
         {{.after = 10, .held = true}, {.after = 13, .held = false}},
         {},
         3 + 1 + 1},
        {"news from the desktop wakes the next second only",
         &kMadridWinter,
         kMorning,
         60,
         {{.after = 5, .news = DesktopChange::Stacking}, {.after = 7, .news = DesktopChange::Look}},
         {},
         1 + 1 + 1,
         "1|1|70|1|1|0"},
        {"a step back over a chime just played does not play it again",
         &kMadridWinter,
         kMorning + 14 * 60 + 25,
         120,
         {{.after = 10, .jump = -8}},
         {"10:30:00 media.wav"},
         4},
        {"a step forward of ten minutes over a chime skips it",
         &kMadridWinter,
         kMorning + 14 * 60 + 25,
         120,
         {{.after = 1, .jump = 600}},
         {},
         1 + 2},
        {"a resume after an hour's sleep shows the time at once and skips what it slept through",
         &kMadridWinter,
         kMorning,
         70,
         {{.after = 40, .jump = 3600}},
         {},
         2},
        {"a new zone shows its time within a second",
         &kMadridWinter,
         kMorning,
         90,
         {{.after = 40, .zone = &kKolkata}},
         {},
         1 + 1 + 1},
    };
    for (const AsleepRow& row : rows) {
        SCOPED_TRACE(row.name);
        Sleeper clock(*row.zone, row.startUtc, row.commandLine);
        ASSERT_NE(clock.hands, nullptr);
        const int64_t start = row.startUtc;
        int64_t offsetJumped = 0;
        for (const Happening& h : row.happenings) {
            clock.RunTo(start + offsetJumped + h.after);
            if (h.jump != 0 || h.zone != nullptr) {
                clock.Jump(h.jump, h.zone);
                offsetJumped += h.jump;
                // The hands show the new time within a second.
                clock.RunTo(clock.Utc() + 1);
                Sleeper fresh(clock.CurrentZone(), clock.Utc(), row.commandLine);
                ASSERT_TRUE(clock.hands->region && fresh.hands->region);
                EXPECT_EQ(Polygons(*clock.hands->region), Polygons(*fresh.hands->region))
                    << "at " << Clock24(clock.platform.now);
            }
            if (h.news) {
                clock.platform.desktopChanged(*h.news);
            }
            if (h.held) {
                if (*h.held) {
                    clock.app.Tick().OnMousePress(kLeftButton, {});
                } else {
                    clock.app.Tick().OnMouseRelease(kLeftButton, {});
                }
            }
        }
        clock.RunTo(start + offsetJumped + row.seconds);
        EXPECT_EQ(clock.chimes, row.chimes);
        EXPECT_EQ(clock.ticks, row.ticks);
    }
}

} // namespace asleep

} // namespace
} // namespace reloj
