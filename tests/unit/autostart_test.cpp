#include "app/autostart.h"

#include <gtest/gtest.h>

namespace reloj {
namespace {

struct TextRow {
    const char* name;
    std::string text;
    std::size_t position; // 0: taken
    std::string problem;
};

// Each character some launcher changes is refused where it stands, counted in characters;
// what every launcher carries inside quotes is taken.
TEST(UnwritableInEntry, RefusesWhatALauncherChangesAndNamesIt) {
    const TextRow rows[] = {
        {"a chosen clock", "100|50|200|2|0|rgb(255,128,0)", 0, ""},
        {"a shell's characters that quotes carry", "1|1|70|1|1|'x' ;y & <z> ~ #q (a) * ? |w", 0,
         ""},
        {"letters beyond ASCII", "1|1|70|1|1|weiß grün ñ €", 0, ""},
        {"a dollar", "1|2|90|1|1|$(touch X)", 12, "el signo «$»"},
        {"a backtick", "1|2|`id`", 5, "el acento grave «`»"},
        {"a backslash", "a\\c", 2, "la barra invertida «\\»"},
        {"double quotes", "1|\"rot\"", 3, "las comillas «\"»"},
        {"a percent sign", "50%", 3, "el signo «%»"},
        {"a tab", "red\tblue", 4, "un tabulador"},
        {"a newline", "red\nblue", 4, "un salto de línea"},
        {"a return", "red\r", 4, "un retorno de carro"},
        {"another control character", std::string("red\x01", 4), 4,
         "un carácter de control (U+0001)"},
        {"delete", "red\x7f", 4, "un carácter de control (U+007F)"},
        {"a control character of the upper range", "red\xc2\x85", 4,
         "un carácter de control (U+0085)"},
        {"counted in characters, not bytes", "ñññ$", 4, "el signo «$»"},
        {"not UTF-8", "1|\xff", 3, "un byte que no es UTF-8"},
        {"an overlong form of a slash", "\xc0\xaf", 1, "un byte que no es UTF-8"},
        {"a cut sequence", "ab\xe2\x82", 3, "un byte que no es UTF-8"},
    };
    for (const TextRow& row : rows) {
        SCOPED_TRACE(row.name);
        const auto problem = UnwritableInEntry(row.text);
        if (row.position == 0) {
            EXPECT_FALSE(problem) << problem->problem;
            continue;
        }
        ASSERT_TRUE(problem);
        EXPECT_EQ(problem->position, row.position);
        EXPECT_EQ(problem->problem, row.problem);
    }
}

struct EntryRow {
    const char* name;
    AutostartClock clock;
    std::string exec;
};

TEST(AutostartEntry, ExecStartsThisProgramMutedOrNotWithOneArgument) {
    const EntryRow rows[] = {
        {"defaults", {.program = "/usr/bin/reloj"}, "Exec=/usr/bin/reloj\n"},
        {"a command line without blanks",
         {.program = "/usr/bin/reloj", .commandLine = "1|2|90"},
         "Exec=/usr/bin/reloj \"1|2|90\"\n"},
        {"muted",
         {.program = "/usr/bin/reloj", .commandLine = "1 | 2", .muted = true},
         "Exec=/usr/bin/reloj --mute \"1 | 2\"\n"},
        {"muted, defaults",
         {.program = "/usr/bin/reloj", .muted = true},
         "Exec=/usr/bin/reloj --mute\n"},
        {"a program in a folder with a blank",
         {.program = "/opt/mi reloj/reloj"},
         "Exec=\"/opt/mi reloj/reloj\"\n"},
    };
    for (const EntryRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string entry = AutostartEntry(row.clock);
        EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0U) << entry;
        EXPECT_NE(entry.find("\n" + row.exec), std::string::npos) << entry;
    }
}

} // namespace
} // namespace reloj
