// Starting with the session: the entry the real program writes, read back the way a desktop's
// launcher reads it (GLib's key file, its field codes and its shell-like splitting of Exec,
// as its desktop application launcher does), launched for real by `gio launch` and by the unit
// systemd's generator makes of it, the clock that entry starts, muted or not, and its removal;
// and the texts refused because some launcher would change them.
#include "process.h"
#include "running_clock.h"
#include "sound_harness.h"
#include "x_harness.h"

#include <algorithm>
#include <csignal>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <glib.h>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace reloj::e2e {
namespace {

namespace fs = std::filesystem;

constexpr unsigned long kOrange = 0xFF8000;
const std::string kEntry = "/autostart/reloj.desktop";
// What makes units of the autostart entries on sessions systemd runs.
const std::string kGenerator = "/usr/lib/systemd/user-generators/systemd-xdg-autostart-generator";

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

// Whatever the command line holds that --autostart takes, the launcher gives the program back
// that line: blanks, single quotes, the field separator, a shell's special characters and
// letters beyond ASCII.
TEST(Autostart, TheLauncherGivesBackTheCommandLine) {
    const RoundTripRow rows[] = {
        {"a chosen clock", {"100|50|200|2|0|rgb(255,128,0)"}},
        {"none", {}},
        {"blanks between fields", {"100 | 50 |200|2 |0| rgb( 255, 128, 0 )"}},
        {"single quotes", {"1|1|70|1|1|'gelb' it's"}},
        {"a shell's own characters", {"1|1|70|1|1|rm -rf ~ ; & > < * ? # ~ ( ) [a] {b} !c"}},
        {"letters beyond ASCII", {"1|1|70|1|1|weiß grün ñ €"}},
        {"several words, as a shell passes them", {"100", "|50|70|1|1|", "red"}},
        {"muted", {"--mute", "100|50|200|2|0|"}},
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
        EXPECT_EQ(ran.out.find("sin campanadas") != std::string::npos,
                  !row.words.empty() && row.words.front() == "--mute")
            << ran.out;
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
        {"a dollar sign",
         {"--autostart", "1|2|90|1|1|$(touch X)"},
         "@",
         "",
         2,
         "el signo «$» en la posición 12"},
        {"a backtick", {"--autostart", "1|2|90|1|1|`id`"}, "@", "", 2, "acento grave «`»"},
        {"a backslash", {"--autostart", "1|2|90|1|1|a\\c"}, "@", "", 2, "barra invertida «\\»"},
        {"double quotes",
         {"--autostart", "--mute", "1|2|90|1|1|\"rot\""},
         "@",
         "",
         2,
         "las comillas «\"» en la posición 12"},
        {"a percent sign", {"--autostart", "1|2|90|1|1|%u"}, "@", "", 2, "el signo «%»"},
        {"a tab", {"--autostart", "1|2|90|1|1|red\tblue"}, "@", "", 2, "un tabulador"},
        {"a newline", {"--autostart", "1|2|90|1|1|red\nblue"}, "@", "", 2, "un salto de línea"},
        {"another control character",
         {"--autostart", std::string("1|1|70|1|1|red\x01")},
         "@",
         "",
         2,
         "un carácter de control (U+0001) en la posición 15"},
        {"bytes that are not UTF-8",
         {"--autostart", "1|1|70|1|1|\xff"},
         "@",
         "",
         2,
         "no es UTF-8 en la posición 12"},
        {"an unknown option",
         {"--autostart", "--mudo", "1|2"},
         "@",
         "",
         2,
         "opción desconocida «--mudo»"},
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

// The unit systemd's generator makes of the entries in a configuration folder, as it makes them
// at login: its text, or why none was made.
struct Unit {
    std::string text;
    std::string problem;
};

Unit AsSystemdsGeneratorMakesIt(const std::string& configHome) {
    const TempDir work;
    fs::create_directories(work.Path() + "/system-config");
    const std::string out = work.Path() + "/units";
    fs::create_directories(out);
    const Ran ran =
        RunTool({kGenerator, out, out, out}, {{"XDG_CONFIG_HOME", configHome},
                                              {"XDG_CONFIG_DIRS", work.Path() + "/system-config"},
                                              {"SYSTEMD_LOG_LEVEL", "info"}});
    const std::string unit = out + "/app-reloj@autostart.service";
    if (ran.status != 0 || !fs::exists(unit)) {
        return {"", "no unit; the generator said: " + ran.out + ran.err};
    }
    return {ReadFile(unit), ""};
}

// ExecStart= of a unit read as systemd reads a command line: the prefixes before the path,
// words split at blanks, double and single quotes, the escapes of C inside and outside them,
// "%%" for a percent sign, and variables unless the ":" prefix turns them off. What it does not
// read (another specifier, an escape it does not know, a second command) is a problem.
Launch AsSystemdReadsExecStart(const std::string& unit) {
    Launch launch;
    const auto at = unit.find("\nExecStart=");
    if (at == std::string::npos) {
        launch.problem = "no ExecStart= in\n" + unit;
        return launch;
    }
    const auto begin = at + std::string("\nExecStart=").size();
    std::string line = unit.substr(begin, unit.find('\n', begin) - begin);
    bool variables = true;
    std::size_t i = 0;
    for (; i < line.size() && std::string_view("@-:+!").find(line[i]) != std::string::npos; ++i) {
        variables = variables && line[i] != ':';
    }
    while (i < line.size() && launch.problem.empty()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
            continue;
        }
        std::string word;
        char quote = 0;
        bool quoted = false;
        for (; i < line.size() && (quote != 0 || (line[i] != ' ' && line[i] != '\t')); ++i) {
            const char c = line[i];
            if (quote == 0 && (c == '"' || c == '\'')) {
                quote = c;
                quoted = true;
            } else if (c == quote) {
                quote = 0;
            } else if (c == '\\') {
                const char next = i + 1 < line.size() ? line[++i] : '\0';
                const std::string_view plain = "\\\"'";
                if (plain.find(next) != std::string_view::npos) {
                    word += next;
                } else if (next == 's') {
                    word += ' ';
                } else {
                    launch.problem = std::string("an escape \\") + next;
                }
            } else if (c == '%') {
                if (i + 1 < line.size() && line[i + 1] == '%') {
                    word += '%';
                    ++i;
                } else {
                    launch.problem = "a specifier in " + line;
                }
            } else if (c == '$' && variables) {
                launch.problem = "a variable in " + line;
            } else {
                word += c;
            }
        }
        if (quote != 0) {
            launch.problem = "an open quote in " + line;
        }
        if (word == ";" && !quoted) {
            launch.problem = "a second command in " + line;
        }
        launch.arguments.push_back(word);
    }
    return launch;
}

// Ends the clock a launcher started on its own, which is no child of the test: the one whose
// environment holds the mark given.
void EndLaunchedClock(const std::string& mark) {
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        return;
    }
    while (const dirent* entry = readdir(proc)) {
        const std::string pid = entry->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::string environment = ReadFile("/proc/" + pid + "/environ");
        std::replace(environment.begin(), environment.end(), '\0', '\n');
        if (("\n" + environment).find("\n" + mark + "\n") != std::string::npos) {
            kill(std::stoi(pid), SIGTERM);
        }
    }
    closedir(proc);
}

struct LauncherRow {
    const char* name;
    // The words after --autostart.
    std::vector<std::string> words;
    // The colour field, which the clock names in its warning when it reads no colour in it.
    std::string colour;
};

// The entry --autostart writes, launched by the two launchers sessions use: GLib's own
// (`gio launch`, which GNOME Shell's and others' launchers share) and the unit systemd's
// generator makes for sessions it runs, started as systemd reads its ExecStart. Each starts
// the real clock with the text as given: the colour field comes back in the clock's warning
// byte for byte.
TEST(Autostart, GioAndSystemdStartTheClockWithTheTextGiven) {
    const LauncherRow rows[] = {
        {"a shell's own characters",
         {"30|40|90|1|1|rm -rf ~ ; & > < * ? # ~ ( ) [a] {b} !c |x"},
         "rm -rf ~ ; & > < * ? # ~ ( ) [a] {b} !c "},
        {"single quotes and blanks", {"30 | 40|90|1|1| 'gelb'  it's "}, " 'gelb'  it's "},
        {"letters beyond ASCII, muted",
         {"--mute", "30|40|90|1|1|weiß grün ñ € ;"},
         "weiß grün ñ € ;"},
        {"several words", {"30", "|40|90|1|1|", "a;b"}, " a;b"},
    };
    if (!fs::exists(kGenerator)) {
        GTEST_SKIP() << kGenerator << " is missing (package systemd)";
    }
    for (const LauncherRow& row : rows) {
        SCOPED_TRACE(row.name);
        const TempDir config;
        std::vector<std::string> arguments = {"--autostart"};
        arguments.insert(arguments.end(), row.words.begin(), row.words.end());
        const Ran wrote = RunReloj(arguments, {{"XDG_CONFIG_HOME", config.Path()}});
        ASSERT_EQ(wrote.status, 0) << wrote.err;
        const std::string warning =
            "reloj: aviso: color «" + row.colour + "» no reconocido; se muestra el rojo";

        const Unit unit = AsSystemdsGeneratorMakesIt(config.Path());
        ASSERT_EQ(unit.problem, "");
        const Launch systemd = AsSystemdReadsExecStart(unit.text);
        ASSERT_EQ(systemd.problem, "") << unit.text;
        ASSERT_GE(systemd.arguments.size(), 2U) << unit.text;
        {
            SCOPED_TRACE("systemd");
            RunningClock clock(
                {.binary = systemd.arguments[0],
                 .arguments = {systemd.arguments.begin() + 1, systemd.arguments.end()}});
            ASSERT_TRUE(clock.Started()) << clock.ErrorOutput();
            EXPECT_EQ(clock.MarkersPlace().left, 30);
            EXPECT_TRUE(PollUntil(
                [&] { return clock.ErrorOutput().find(warning) != std::string::npos; }, 2s))
                << clock.ErrorOutput() << "\nexpected: " << warning << "\n"
                << unit.text;
        }
        {
            SCOPED_TRACE("gio launch");
            const std::string mark = "RELOJ_E2E_LAUNCHED=" + config.Path();
            RunningClock clock({.binary = "/usr/bin/gio",
                                .arguments = {"launch", config.Path() + kEntry},
                                .environment = {{mark.substr(0, mark.find('=')),
                                                 mark.substr(mark.find('=') + 1)}}});
            const auto started = clock.Started();
            EXPECT_TRUE(started) << clock.ErrorOutput();
            if (started) {
                EXPECT_EQ(clock.MarkersPlace().left, 30);
                EXPECT_TRUE(PollUntil(
                    [&] { return clock.ErrorOutput().find(warning) != std::string::npos; }, 2s))
                    << clock.ErrorOutput() << "\nexpected: " << warning;
            }
            EndLaunchedClock(mark);
        }
    }
}

// The issue's quiet clock at login: `--autostart --mute` writes an entry whose clock, started by
// the launcher just before noon, lets the noon chime pass; the same entry without --mute, beside
// it, shows the chime is asked for when not muted.
TEST(Autostart, AMutedEntryStartsAMutedClock) {
    const SoundServer sound;
    struct Side {
        bool muted = false;
        TempDir config{};
        std::string mark{};
        std::optional<RunningClock> clock{};
    };
    Side sides[2] = {{.muted = true}, {.muted = false}};
    for (Side& side : sides) {
        std::vector<std::string> arguments = {"--autostart"};
        if (side.muted) {
            arguments.push_back("--mute");
        }
        arguments.push_back("30|40|90|1|1|blue");
        const Ran wrote = RunReloj(arguments, {{"XDG_CONFIG_HOME", side.config.Path()}});
        ASSERT_EQ(wrote.status, 0) << wrote.err;
        EXPECT_EQ(wrote.out.find("sin campanadas") != std::string::npos, side.muted) << wrote.out;
        side.mark = side.config.Path();
        side.clock.emplace(ClockOptions{.binary = "/usr/bin/gio",
                                        .arguments = {"launch", side.config.Path() + kEntry},
                                        .startsAt = "2026-12-08 11:59:58",
                                        .soundServer = sound.Address(),
                                        .playLog = PlayLog::Plain,
                                        .environment = {{"RELOJ_E2E_LAUNCHED", side.mark}}});
    }
    for (Side& side : sides) {
        SCOPED_TRACE(side.muted ? "muted" : "not muted");
        EXPECT_TRUE(side.clock->Started()) << side.clock->ErrorOutput();
    }
    // Past noon by more than a late chime's grace on both clocks.
    std::this_thread::sleep_until(std::max(sides[0].clock->Shown(), sides[1].clock->Shown()) + 8s);
    for (Side& side : sides) {
        SCOPED_TRACE(side.muted ? "muted" : "not muted");
        EXPECT_EQ(side.clock->ErrorOutput().find("reloj.sound: play 12pm.wav") == std::string::npos,
                  side.muted)
            << side.clock->ErrorOutput();
        EndLaunchedClock("RELOJ_E2E_LAUNCHED=" + side.mark);
    }
}

} // namespace
} // namespace reloj::e2e
