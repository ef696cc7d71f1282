// Starting with the session: the entry the real program writes, read back the way a desktop's
// launcher reads it (GLib's key file, its field codes and its shell-like splitting of Exec,
// as its desktop application launcher does), the clock that entry starts, and its removal.
#include "process.h"
#include "running_clock.h"
#include "x_harness.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <glib.h>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace reloj::e2e {
namespace {

namespace fs = std::filesystem;

constexpr unsigned long kOrange = 0xFF8000;
const std::string kEntry = "/autostart/reloj.desktop";

// The program's arguments as a launcher gives them, or why it cannot.
struct Launch {
    std::vector<std::string> arguments;
    std::string problem;
};

Launch AsALauncherReadsIt(const std::string& entryPath) {
    GError* error = nullptr;
    GKeyFile* file = g_key_file_new();
    Launch launch;
    gchar* exec = nullptr;
    if (g_key_file_load_from_file(file, entryPath.c_str(), G_KEY_FILE_NONE, &error) == 0 ||
        (exec = g_key_file_get_string(file, "Desktop Entry", "Exec", &error)) == nullptr) {
        launch.problem = error->message;
        g_error_free(error);
        g_key_file_free(file);
        return launch;
    }
    // The launcher replaces field codes before it splits the line; with no files to open,
    // "%%" is the only one that may stand there.
    std::string expanded;
    for (const char* c = exec; *c != '\0'; ++c) {
        if (*c == '%') {
            if (*++c != '%') {
                launch.problem = std::string("a field code %") + *c;
                break;
            }
        }
        expanded += *c;
    }
    gint argc = 0;
    gchar** argv = nullptr;
    if (launch.problem.empty() && g_shell_parse_argv(expanded.c_str(), &argc, &argv, &error) == 0) {
        launch.problem = error->message;
        g_error_free(error);
    }
    for (gint i = 0; i < argc; ++i) {
        launch.arguments.emplace_back(argv[i]);
    }
    g_strfreev(argv);
    g_free(exec);
    g_key_file_free(file);
    return launch;
}

// A program run to its end, with the test's own environment but for what is given.
struct Ran {
    std::optional<int> status;
    std::string out, err;
};

Ran RunTool(const std::vector<std::string>& command,
            const std::map<std::string, std::string>& environment = {}) {
    std::map<std::string, std::string> all = InheritedEnvironment();
    for (const auto& [name, value] : environment) {
        all[name] = value;
    }
    Process program({.command = command, .environment = all});
    const std::optional<int> status = program.WaitForExit(10s);
    return {status, program.Output(), program.ErrorOutput()};
}

// The program itself, run with those arguments.
Ran RunReloj(std::vector<std::string> arguments,
             const std::map<std::string, std::string>& environment) {
    arguments.insert(arguments.begin(), RELOJ_BINARY);
    return RunTool(arguments, environment);
}

long Lines(const std::string& text) {
    return std::count(text.begin(), text.end(), '\n');
}

struct RoundTripRow {
    const char* name;
    // The words after --autostart, which the program joins with blanks into its command line.
    std::vector<std::string> words;
};

// Whatever the command line holds, the launcher gives the program back that line: blanks,
// quotes, the field separator, percent signs, backslashes, a shell's special characters, a
// newline and letters beyond ASCII.
TEST(Autostart, TheLauncherGivesBackTheCommandLine) {
    const RoundTripRow rows[] = {
        {"a chosen clock", {"100|50|200|2|0|rgb(255,128,0)"}},
        {"none", {}},
        {"blanks between fields", {"100 | 50 |200|2 |0| rgb( 255, 128, 0 )"}},
        {"quotes", {R"(1|1|70|1|1|"rot" 'gelb' "it's")"}},
        {"percent signs", {"1|1|70|1|1|%f %% 50%|%U %"}},
        {"backslashes", {R"(1|1|70|1|1|\ \" \\ \\\\ \$ end\)"}},
        {"a shell's own characters", {"1|1|70|1|1|$(rm -rf ~) `id` ; & > < * ? # ~ ( ) $HOME"}},
        {"a newline, a tab and a return", {"1|1|70|1|1|red\nblue\tgreen\r"}},
        {"letters beyond ASCII", {"1|1|70|1|1|weiß grün ñ €"}},
        {"several words, as a shell passes them", {"100", "|50|70|1|1|", "red"}},
    };
    for (const RoundTripRow& row : rows) {
        SCOPED_TRACE(row.name);
        const TempDir config;
        std::vector<std::string> arguments = {"--autostart"};
        arguments.insert(arguments.end(), row.words.begin(), row.words.end());
        const Ran ran = RunReloj(arguments, {{"XDG_CONFIG_HOME", config.Path()}});
        ASSERT_EQ(ran.status, 0) << ran.err;
        EXPECT_EQ(Lines(ran.out), 1) << ran.out;
        EXPECT_NE(ran.out.find(config.Path() + kEntry), std::string::npos) << ran.out;
        EXPECT_EQ(ran.err, "");

        const Launch launch = AsALauncherReadsIt(config.Path() + kEntry);
        ASSERT_EQ(launch.problem, "");
        ASSERT_FALSE(launch.arguments.empty());
        EXPECT_TRUE(fs::equivalent(launch.arguments[0], RELOJ_BINARY)) << launch.arguments[0];
        std::string given;
        for (std::size_t i = 1; i < launch.arguments.size(); ++i) {
            given += (i > 1 ? " " : "") + launch.arguments[i];
        }
        std::string commandLine;
        for (std::size_t i = 0; i < row.words.size(); ++i) {
            commandLine += (i > 0 ? " " : "") + row.words[i];
        }
        EXPECT_EQ(given, commandLine);
    }
}

// The issue's own case, all the way: the entry is valid, and what the launcher makes of it
// shows the clock where and as the command line asked; --no-autostart takes it away again.
TEST(Autostart, TheEntryStartsTheClockAndNoAutostartRemovesIt) {
    const TempDir config;
    const std::string line = "100|50|200|2|0|rgb(255,128,0)";
    ASSERT_EQ(RunReloj({"--autostart", line}, {{"XDG_CONFIG_HOME", config.Path()}}).status, 0);
    const std::string entry = config.Path() + kEntry;

    const Ran check = RunTool({"desktop-file-validate", entry});
    EXPECT_EQ(check.status, 0) << check.out << check.err;
    EXPECT_EQ(check.out + check.err, "") << "warnings or hints";

    const Launch launch = AsALauncherReadsIt(entry);
    ASSERT_EQ(launch.problem, "");
    {
        XServer server(96);
        RunningClock clock({.binary = launch.arguments[0],
                            .arguments = {launch.arguments.begin() + 1, launch.arguments.end()},
                            .server = &server});
        ASSERT_TRUE(clock.Started()) << clock.ErrorOutput();
        EXPECT_EQ(clock.MarkersPlace(), (Rect{100, 50, 316, 266}));
        // The dot at twelve o'clock, and the hands' colour where they meet.
        const std::vector<Rect> dots = server.Shape(clock.Markers());
        ASSERT_FALSE(dots.empty());
        const Rect& dot = dots.front();
        EXPECT_TRUE(PollUntil(
            [&] {
                return server.Pixel(100 + (dot.left + dot.right) / 2,
                                    50 + (dot.top + dot.bottom) / 2) == kOrange;
            },
            5s))
            << std::hex
            << server.Pixel(100 + (dot.left + dot.right) / 2, 50 + (dot.top + dot.bottom) / 2);
    }

    const Ran removed = RunReloj({"--no-autostart"}, {{"XDG_CONFIG_HOME", config.Path()}});
    EXPECT_EQ(removed.status, 0) << removed.err;
    EXPECT_EQ(Lines(removed.out), 1) << removed.out;
    EXPECT_FALSE(fs::exists(entry));
    // Removing an entry that is not there is no failure either.
    const Ran again = RunReloj({"--no-autostart"}, {{"XDG_CONFIG_HOME", config.Path()}});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(Lines(again.out), 1) << again.out;
}

struct RefusedRow {
    const char* name;
    std::vector<std::string> arguments;
    // Relative to the test's folder, or absolute; empty for none at all.
    std::string configHome;
    std::string home;
    int status;
    std::string says;
};

// Every failure says why in one line on standard error, and leaves no file behind: neither an
// entry nor the temporary file it is written through. An entry written before stays whole.
TEST(Autostart, AFailureSaysWhyAndLeavesNothingHalfWritten) {
    const RefusedRow rows[] = {
        {"no configuration folder at all",
         {"--autostart"},
         "",
         "",
         1,
         "ni XDG_CONFIG_HOME ni HOME"},
        {"a relative configuration folder", {"--autostart"}, "config", "", 1, "ruta absoluta"},
        {"a folder where nothing can be made",
         {"--autostart"},
         "/sys/reloj",
         "",
         1,
         "no se puede escribir «/sys/reloj/autostart/reloj.desktop»"},
        {"a file in the way of the folder",
         {"--autostart"},
         "@/file/config",
         "",
         1,
         "una parte de la ruta no es una carpeta"},
        {"a field the clock would refuse",
         {"--autostart", "1e99|0"},
         "@",
         "",
         2,
         "campo 1 (izquierda)"},
        {"a control character",
         {"--autostart", std::string("1|1|70|1|1|red\x01")},
         "@",
         "",
         2,
         "carácter de control en la posición 15"},
        {"bytes that are not UTF-8",
         {"--autostart", "1|1|70|1|1|\xff"},
         "@",
         "",
         2,
         "no es UTF-8 en la posición 12"},
    };
    for (const RefusedRow& row : rows) {
        SCOPED_TRACE(row.name);
        const TempDir work;
        // "@" is the test's folder, with an entry written before; "@file" a plain file there.
        std::string configHome = row.configHome;
        if (configHome.rfind('@', 0) == 0) {
            configHome = work.Path() + "/config" + configHome.substr(1);
        }
        ASSERT_EQ(RunReloj({"--autostart", "1|1|70|1|1|blue"},
                           {{"XDG_CONFIG_HOME", work.Path() + "/config"}})
                      .status,
                  0);
        std::ofstream(work.Path() + "/config/file") << "not a folder\n";
        const std::string before = ReadFile(work.Path() + "/config" + kEntry);

        const Ran ran =
            RunReloj(row.arguments, {{"XDG_CONFIG_HOME", configHome}, {"HOME", row.home}});
        EXPECT_EQ(ran.status, row.status) << ran.out << ran.err;
        EXPECT_EQ(ran.out, "");
        EXPECT_EQ(Lines(ran.err), 1) << ran.err;
        EXPECT_NE(ran.err.find(row.says), std::string::npos) << ran.err;
        std::vector<std::string> left;
        for (const auto& file : fs::directory_iterator(work.Path() + "/config/autostart")) {
            left.push_back(file.path().filename().string());
        }
        EXPECT_EQ(left, std::vector<std::string>{"reloj.desktop"});
        EXPECT_EQ(ReadFile(work.Path() + "/config" + kEntry), before);
    }
}

} // namespace
} // namespace reloj::e2e
