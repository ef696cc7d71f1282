// Hostile command lines against the real program: each one either starts a clock that shows
// and stops normally, or is refused with status 2 and one line on standard error. Never a
// signal, never a hang. Every run is traced: the program writes no file and connects to
// nothing but the X display.
#include "running_clock.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <thread>

namespace reloj::e2e {
namespace {

enum class Outcome { Clock, Refused };

struct HostileRow {
    std::string name;
    std::string commandLine;
    Outcome outcome;
    // Given as separate words, split at the blanks, the way a shell passes an unquoted line.
    bool asWords = false;
    // How the one line of a refusal begins.
    std::string refusal = "reloj: campo ";
};

std::vector<std::string> Arguments(const HostileRow& row) {
    if (!row.asWords) {
        return {row.commandLine};
    }
    std::vector<std::string> words;
    std::istringstream in(row.commandLine);
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

std::vector<HostileRow> Rows() {
    const std::string clock = "10|10|70|1|1|";
    return {
        {"huge left", "1e99|0", Outcome::Refused},
        {"largest double", "1.7e308|0|70", Outcome::Refused},
        {"beyond double", "1e309|0|70", Outcome::Refused},
        {"huge negative top", "0|-1e99|70", Outcome::Refused},
        {"position just past 32 bits", "143165577|0|70", Outcome::Refused},
        {"far off screen", "-100000|-100000|70|1|1|", Outcome::Clock},
        {"far right", "100000|100000|70", Outcome::Clock},
        {"tiny numbers", "1e-400|1e-400|70", Outcome::Clock},
        {"nan words", "nan|nan|nan", Outcome::Refused},
        {"inf words", "inf|inf|inf", Outcome::Refused},
        {"nan colour", "10|10|70|1|1|nan", Outcome::Clock},
        {"10000 letters", std::string(10000, 'x'), Outcome::Refused},
        {"10000 digits", std::string(10000, '9'), Outcome::Refused},
        {"10000-digit fraction", "0." + std::string(10000, '0') + "1|0|70", Outcome::Clock},
        {"10000-letter colour", clock + std::string(10000, 'q'), Outcome::Clock},
        {"500 separators", std::string(500, '|'), Outcome::Refused},
        {"separators after the fields", clock + std::string(300, '|'), Outcome::Clock},
        {"invalid UTF-8 everywhere", "\xff\xfe|\x80|\xc3", Outcome::Refused},
        {"invalid UTF-8 colour", clock + "\xff\xfe\xc3", Outcome::Clock},
        {"only blanks", "   ", Outcome::Refused},
        {"tabs and line feeds", "\t\n\t", Outcome::Refused},
        {"line feeds inside numbers", "1\n0|1\n0|7\n0", Outcome::Clock},
        {"stray &h", "&h", Outcome::Refused},
        {"stray &h colour", clock + "&h", Outcome::Refused},
        {"&h colour of letters", clock + "&hzz", Outcome::Refused},
        {"&h colour beyond 32 bits", clock + "&h123456789", Outcome::Refused},
        {"&h positions", "&HFFFFFFFF|&HFFFFFFFF|70", Outcome::Clock},
        {"octal beyond 32 bits", "&O777777777777|0|70", Outcome::Refused},
        {"stray rgb", clock + "rgb", Outcome::Clock},
        {"rgb open", clock + "rgb(", Outcome::Clock},
        {"rgb commas only", clock + "rgb(,,)", Outcome::Clock},
        {"rgb infinities", clock + "rgb(1e999,-1e999,nan)", Outcome::Clock},
        {"rgb wide hexadecimal", clock + "rgb(&hFFFFFFFFFF,0,0)", Outcome::Clock},
        {"colour number too large", clock + "99999999999", Outcome::Refused},
        {"colour beyond RGB", clock + "16777216", Outcome::Clock},
        {"largest hand style", "10|10|70|2147483647|1", Outcome::Clock},
        {"smallest hand style", "10|10|70|-2147483648|1", Outcome::Clock},
        {"hand style too large", "10|10|70|1e10|1", Outcome::Refused},
        {"diameter wider than X11", "0|0|1e6", Outcome::Refused},
        {"negative diameter", "0|0|-200|1|1|", Outcome::Refused},
        {"zero diameter", "0|0|0", Outcome::Refused},
        {"C-style hexadecimal", "0x10|0|70", Outcome::Clock},
        {"two signs", "+-5|-+5|70", Outcome::Clock},
        {"bare exponents", "5e|5e+|70e1", Outcome::Clock},
        {"quotes kept", "'100|50|200|2|0|'", Outcome::Clock},
        // One word that begins with "--" is an option, and no option the clock knows.
        {"help with more words", "--help me", Outcome::Refused, false,
         "reloj: opción desconocida «--help me»"},
        {"an unknown option before a clock", "--mudo 10|10|70", Outcome::Refused, true,
         "reloj: opción desconocida «--mudo»"},
        // Words that Qt would take for its own options are the clock's command line, joined.
        // Regression rows: Qt read them, and ended with an abort.
        {"Qt's display option", "-display :77 10|10|70", Outcome::Clock, true},
        {"Qt's platform option", "-platform nosuch", Outcome::Refused, true},
        {"Qt's style, geometry and reverse options",
         "-style nosuch -geometry 1x1+0+0 -reverse 10|10|70", Outcome::Clock, true},
    };
}

// The pid of the traced program: the tracer's only child.
pid_t TracedChild(pid_t tracer) {
    std::ifstream children("/proc/" + std::to_string(tracer) + "/task/" +
                           std::to_string(tracer) + "/children");
    pid_t child = 0;
    children >> child;
    return child;
}

// What the trace shows that the program should not do: a file opened for writing, created,
// renamed or removed, or a connection to anything but the X server. The font library's own
// cache upkeep is not the program's doing: run as root, Qt's font set-up has fontconfig
// rewrite its caches in /var/cache/fontconfig, which a user's run could not touch.
std::vector<std::string> Trespasses(const std::string& trace, const std::string& display) {
    const std::regex writes(R"((open|openat|creat)\(.*(O_WRONLY|O_RDWR|O_CREAT|O_TRUNC).*\) = \d)");
    const std::regex changes(
        R"((rename|renameat2?|unlink|unlinkat|mkdir|mkdirat|truncate|symlink|symlinkat)\(.*\) = 0)");
    const std::regex connects(R"(connect\(.*)");
    const std::string xSocket = "/tmp/.X11-unix/X" + display.substr(1);
    std::vector<std::string> found;
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);) {
        const bool device = line.find("\"/dev/") != std::string::npos;
        if (line.find("/cache/fontconfig/") != std::string::npos) {
            continue;
        }
        if ((std::regex_search(line, writes) && !device) || std::regex_search(line, changes) ||
            (std::regex_search(line, connects) && line.find(xSocket) == std::string::npos)) {
            found.push_back(line);
        }
    }
    return found;
}

TEST(Hostile, CommandLines) {
    const auto rows = Rows();
    ASSERT_GE(rows.size(), 40u);
    XServer server(96);
    TempDir traces;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string trace = traces.Path() + "/trace";
        RunningClock reloj({.wrapper = {"/usr/bin/strace", "-f", "-qq", "-o", trace, "-e",
                                        "trace=open,openat,creat,connect,rename,renameat,"
                                        "renameat2,unlink,unlinkat,mkdir,mkdirat,truncate"},
                            .arguments = Arguments(row),
                            .server = &server});
        if (row.outcome == Outcome::Refused) {
            EXPECT_EQ(reloj.WaitForExit(20s), 2);
            const std::string errors = reloj.ErrorOutput();
            EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
            EXPECT_EQ(errors.rfind(row.refusal, 0), 0u) << errors;
            EXPECT_FALSE(server.WaitForWindow("$uhr$", 0ms));
        } else {
            const auto window = server.WaitForWindow("$uhr$", 20s);
            EXPECT_TRUE(window) << reloj.ErrorOutput();
            const pid_t clock = TracedChild(reloj.Pid());
            ASSERT_GT(clock, 0);
            kill(clock, SIGTERM);
            EXPECT_EQ(reloj.WaitForExit(20s), 0) << reloj.ErrorOutput();
            EXPECT_TRUE(PollUntil([&] { return !server.WaitForWindow("$uhr$", 0ms); }, 5s));
        }
        EXPECT_EQ(Trespasses(ReadFile(trace), server.DisplayName()), std::vector<std::string>{});
    }
}

// Sessions reached through su, sudo or a bare ssh have no XDG_RUNTIME_DIR. Through a chime (the
// sound library looks for the user's sound server there too) the program still writes nothing:
// no runtime directory of its own under /tmp, nothing in the home directory.
TEST(Hostile, WithoutARuntimeDirectoryNothingIsWritten) {
    XServer server(96);
    const TempDir home;
    const TempDir traces;
    const std::string trace = traces.Path() + "/trace";
    RunningClock reloj({.wrapper = {"/usr/bin/env", "-u", "XDG_RUNTIME_DIR", "-u", "TMPDIR", "-u",
                                    "XDG_CONFIG_HOME", "/usr/bin/strace", "-f", "-qq", "-o", trace,
                                    "-e",
                                    "trace=open,openat,creat,connect,rename,renameat,renameat2,"
                                    "unlink,unlinkat,mkdir,mkdirat,truncate,symlink,symlinkat"},
                        .server = &server,
                        .startsAt = "2026-12-08 11:59:58",
                        .playLog = PlayLog::Plain,
                        .environment = {{"HOME", home.Path()}}});
    ASSERT_TRUE(server.WaitForWindow("$uhr$", 20s)) << reloj.ErrorOutput();
    EXPECT_TRUE(PollUntil(
        [&] {
            return reloj.ErrorOutput().find("reloj.sound: play 12pm.wav") != std::string::npos;
        },
        5s))
        << reloj.ErrorOutput();
    // Time for the play to look for a sound server and give up.
    std::this_thread::sleep_for(1s);
    const pid_t clock = TracedChild(reloj.Pid());
    ASSERT_GT(clock, 0);
    kill(clock, SIGTERM);
    EXPECT_EQ(reloj.WaitForExit(20s), 0) << reloj.ErrorOutput();

    // Looking for a sound server, or up the user's name, connects to things; what counts here
    // is what is written.
    std::vector<std::string> trespasses;
    for (const std::string& line : Trespasses(ReadFile(trace), server.DisplayName())) {
        if (line.find("connect(") == std::string::npos) {
            trespasses.push_back(line);
        }
    }
    EXPECT_EQ(trespasses, std::vector<std::string>{});
    EXPECT_TRUE(std::filesystem::is_empty(home.Path()));
    // What Qt says of the runtime directory it would have made is not the user's business.
    EXPECT_EQ(reloj.ErrorOutput().find("QStandardPaths"), std::string::npos) << reloj.ErrorOutput();
}

} // namespace
} // namespace reloj::e2e
