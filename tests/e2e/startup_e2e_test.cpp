// The real program at start-up, as the X server sees it: where the marker window stands, how
// big it is, the twelve dots its shape is cut to, and the way bad command lines are refused.
#include "running_clock.h"

#include <gtest/gtest.h>
#include <optional>

namespace reloj::e2e {
namespace {

constexpr unsigned long kRed = 0xFF0000;

// Each dot's rectangle, clipped by the window as the window system clips it.
std::vector<Rect> Clipped(std::vector<Rect> dots, int size) {
    for (Rect& r : dots) {
        r = {std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, size),
             std::min(r.bottom, size)};
    }
    std::sort(dots.begin(), dots.end(), [](const Rect& a, const Rect& b) {
        return std::tie(a.top, a.left) < std::tie(b.top, b.left);
    });
    return dots;
}

std::vector<Rect> Dots(const std::vector<std::pair<int, int>>& centres, int radius) {
    std::vector<Rect> dots;
    for (const auto& [x, y] : centres) {
        dots.push_back({x - radius, y - radius, x + radius, y + radius});
    }
    return dots;
}

TEST(Startup, DefaultsAt96Dpi) {
    XServer server(96);
    RunningClock reloj({.server = &server});
    const auto window = server.WaitForWindow(kMarkerTitle);
    ASSERT_TRUE(window) << reloj.ErrorOutput();
    const Rect place = server.Geometry(*window);
    EXPECT_EQ(place, (Rect{718, 5, 794, 81}));

    const auto expected = Clipped(Dots({{74, 39}, {69, 56}, {56, 69}, {39, 74}, {21, 69},
                                        {8, 56}, {4, 39}, {8, 21}, {21, 8}, {39, 4}, {56, 8},
                                        {69, 21}},
                                       3),
                                  76);
    EXPECT_EQ(ShapeComponents(server.Shape(*window), 76, 76), expected);

    // The dots show the default red once painted; between them the desktop shows through.
    EXPECT_TRUE(PollUntil([&] { return server.Pixel(718 + 39, 5 + 4) == kRed; }, 5s));
    EXPECT_EQ(server.Pixel(718 + 38, 5 + 38), server.Pixel(5, 5));
    server.SavePng(RELOJ_SCREENSHOT, Rect{place.left - 12, place.top, place.right + 12,
                                          place.bottom + 12});
    EXPECT_TRUE(reloj.Running());
}

TEST(Startup, DefaultsAt120Dpi) {
    XServer server(120);
    RunningClock reloj({.server = &server});
    const auto window = server.WaitForWindow(kMarkerTitle);
    ASSERT_TRUE(window) << reloj.ErrorOutput();
    const Rect place = server.Geometry(*window);
    EXPECT_EQ(place.right - place.left, 74);
    EXPECT_EQ(place.bottom - place.top, 74);
    EXPECT_EQ(place.left, 718);
    EXPECT_EQ(place.top, 5);
    const auto dots = ShapeComponents(server.Shape(*window), 74, 74);
    ASSERT_EQ(dots.size(), 12u);
    // The 3 o'clock dot centred at (73, 38) and the 9 o'clock dot at (3, 38).
    EXPECT_NE(std::find(dots.begin(), dots.end(), Rect{71, 36, 74, 40}), dots.end());
    EXPECT_NE(std::find(dots.begin(), dots.end(), Rect{1, 36, 5, 40}), dots.end());
}

TEST(Startup, PlaceAndSizeFromTheCommandLine) {
    XServer server(96);
    RunningClock reloj({.arguments = {"100|50|200|2|0|"}, .server = &server});
    const auto window = server.WaitForWindow(kMarkerTitle);
    ASSERT_TRUE(window) << reloj.ErrorOutput();
    EXPECT_EQ(server.Geometry(*window), (Rect{100, 50, 316, 266}));
    EXPECT_EQ(ShapeComponents(server.Shape(*window), 216, 216).size(), 12u);
}

TEST(Startup, ZeroPositionKeepsTheInitialPlace) {
    XServer server(96);
    RunningClock reloj({.arguments = {"0|0|70|1|1|blue"}, .server = &server});
    const auto window = server.WaitForWindow(kMarkerTitle);
    ASSERT_TRUE(window) << reloj.ErrorOutput();
    EXPECT_EQ(server.Geometry(*window), (Rect{495, 220, 571, 296}));
    EXPECT_TRUE(PollUntil([&] { return server.Pixel(495 + 39, 220 + 4) == 0x0000FFu; }, 5s));
}

TEST(Startup, UnrecognisedColourWarnsAndShowsRed) {
    XServer server(96);
    RunningClock reloj({.arguments = {"10|10|70|1|1|purple"}, .server = &server});
    const auto window = server.WaitForWindow(kMarkerTitle);
    ASSERT_TRUE(window) << reloj.ErrorOutput();
    EXPECT_TRUE(PollUntil([&] { return server.Pixel(10 + 39, 10 + 4) == kRed; }, 5s));
    EXPECT_EQ(reloj.ErrorOutput(),
              "reloj: aviso: color «purple» no reconocido; se muestra el rojo\n");
}

struct OutOfRangeRow {
    const char* name;
    std::string colourText;
};

// A number that was read but is no colour gets a warning of its own; the clock still shows
// red, runs, and stops normally.
TEST(Startup, NumberOutsideTheColoursWarnsAndShowsRed) {
    const OutOfRangeRow rows[] = {
        {"regression: typed -1", "-1"},
        {"regression: eight hexadecimal digits", "&hFFFFFFFF"},
    };
    XServer server(96);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        RunningClock reloj({.arguments = {"10|10|70|1|1|" + row.colourText}, .server = &server});
        const auto window = server.WaitForWindow(kMarkerTitle);
        ASSERT_TRUE(window) << reloj.ErrorOutput();
        EXPECT_TRUE(PollUntil([&] { return server.Pixel(10 + 39, 10 + 4) == kRed; }, 5s));
        EXPECT_TRUE(reloj.Running());
        EXPECT_EQ(reloj.ErrorOutput(), "reloj: aviso: el valor «" + row.colourText +
                                           "» no es un color (los colores van de 0 a "
                                           "&HFFFFFF); se muestra el rojo\n");
        ASSERT_TRUE(reloj.Stop());
        EXPECT_EQ(reloj.WaitForExit(0ms), 0);
        EXPECT_TRUE(PollUntil([&] { return !server.WaitForWindow(kMarkerTitle, 0ms); }, 5s));
    }
}

struct RefusedRow {
    const char* name;
    std::vector<std::string> arguments;
    std::string says;
};

TEST(Startup, BadCommandLinesAreRefusedBeforeAnyWindow) {
    const RefusedRow rows[] = {
        {"overflowing left", {"1e99|0"}, "campo 1 (izquierda)"},
        {"infinite diameter", {"0|0|1e400"}, "campo 3 (diámetro)"},
        {"clock under a pixel", {"300|20"}, "campo 3 (diámetro)"},
        {"malformed hexadecimal colour", {"1|1|70|1|1|&hzz"}, "campo 6 (color)"},
        // A mistyped option is never read as a command line.
        {"an unknown option", {"--mudo", "600|400|140|1|1|red"}, "opción desconocida «--mudo»"},
        {"an unknown option after --mute",
         {"--mute", "--quiet", "1|1|70"},
         "opción desconocida «--quiet»"},
    };
    XServer server(96);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        RunningClock reloj({.arguments = row.arguments, .server = &server});
        EXPECT_EQ(reloj.WaitForExit(10s), 2);
        const std::string errors = reloj.ErrorOutput();
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
        EXPECT_NE(errors.find(row.says), std::string::npos) << errors;
        EXPECT_FALSE(server.WaitForWindow(kMarkerTitle, 0ms));
    }
}

TEST(Startup, HelpAndVersionNeedNoDisplay) {
    XServer server;
    for (const char* word : {"--help", "-h", "--version"}) {
        RunningClock reloj(
            {.arguments = {word}, .server = &server, .environment = {{"DISPLAY", ""}}});
        EXPECT_EQ(reloj.WaitForExit(10s), 0) << word;
    }
}

TEST(Startup, NoDisplayIsSaidPlainly) {
    XServer server;
    RunningClock unset({.server = &server, .environment = {{"DISPLAY", ""}}});
    EXPECT_EQ(unset.WaitForExit(10s), 1);
    EXPECT_NE(unset.ErrorOutput().find("DISPLAY"), std::string::npos);
    RunningClock unreachable({.server = &server, .environment = {{"DISPLAY", ":999"}}});
    EXPECT_EQ(unreachable.WaitForExit(10s), 1);
    EXPECT_NE(unreachable.ErrorOutput().find(":999"), std::string::npos);
}

// A window system that cannot be started, and an X server that goes away under a running clock:
// one Spanish line and status 1, never a signal. Regression rows: Qt aborted (a core dump where
// cores are enabled) after lines of English, and said the connection broke in English.
TEST(Startup, AWindowSystemThatFailsIsSaidPlainly) {
    XServer server;
    RunningClock nosuch({.server = &server, .environment = {{"QT_QPA_PLATFORM", "nosuch"}}});
    EXPECT_EQ(nosuch.WaitForExit(10s), 1);
    EXPECT_EQ(nosuch.ErrorOutput(), "reloj: no se puede iniciar el sistema de ventanas «nosuch»\n");

    // Regression: about one ending in six crashed the program (SIGSEGV) inside Qt, which asked
    // a server that was closing about its screens; hence several endings.
    for (int ending = 1; ending <= 10; ++ending) {
        SCOPED_TRACE("ending " + std::to_string(ending));
        std::optional<XServer> leaving(std::in_place);
        RunningClock clock({.server = &*leaving});
        ASSERT_TRUE(leaving->WaitForWindow(kMarkerTitle));
        leaving.reset();
        EXPECT_EQ(clock.WaitForExit(10s), 1);
        EXPECT_EQ(clock.ErrorOutput(), "reloj: se ha perdido la conexión con la pantalla\n");
    }
}

struct DescriptorRow {
    const char* name;
    const char* limits; // soft:hard
    bool starts;
};

// Too few file descriptors, and no way to have more, is said at once: without them the pipe that
// turns a signal into an orderly stop cannot be made, and GLib ends the program with a trap.
// Regression rows: a signal then killed the clock (143), or GLib's trap (133). A low soft limit
// under a high hard one is raised, and the clock starts.
TEST(Startup, TooFewDescriptorsAreSaidPlainly) {
    const DescriptorRow rows[] = {
        {"regression: 8 at most", "8:8", false},
        {"regression: 10 at most", "10:10", false},
        {"63 at most", "63:63", false},
        {"10 now, 1024 allowed", "10:1024", true},
    };
    XServer server;
    for (const DescriptorRow& row : rows) {
        SCOPED_TRACE(row.name);
        RunningClock clock(
            {.wrapper = {"/usr/bin/prlimit", std::string("--nofile=") + row.limits, "--"},
             .server = &server});
        if (row.starts) {
            EXPECT_TRUE(server.WaitForWindow(kMarkerTitle)) << clock.ErrorOutput();
            EXPECT_TRUE(clock.Stop(SIGTERM, 5s));
            EXPECT_EQ(clock.WaitForExit(0s), 0);
        } else {
            EXPECT_EQ(clock.WaitForExit(10s), 1);
            EXPECT_EQ(clock.ErrorOutput().rfind("reloj: hacen falta 64 descriptores", 0), 0u)
                << clock.ErrorOutput();
        }
    }
}

} // namespace
} // namespace reloj::e2e
