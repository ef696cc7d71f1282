#include "settings/options.h"

#include <gtest/gtest.h>

namespace reloj {
namespace {

struct OptionsRow {
    const char* name;
    std::vector<std::string_view> words;
    ProgramAction action;
    bool muted;
    std::string commandLine;
};

TEST(ProgramOptions, LeadingDoubleDashWordsAreOptions) {
    const OptionsRow rows[] = {
        {"nothing", {}, ProgramAction::RunClock, false, ""},
        {"a command line alone",
         {"100|50|200|2|0|"},
         ProgramAction::RunClock,
         false,
         "100|50|200|2|0|"},
        {"words joined by blanks",
         {"100", "|50", "|70"},
         ProgramAction::RunClock,
         false,
         "100 |50 |70"},
        {"muted",
         {"--mute", "600|400|140|1|1|red"},
         ProgramAction::RunClock,
         true,
         "600|400|140|1|1|red"},
        {"muted in Spanish", {"--silencio", "600|400"}, ProgramAction::RunClock, true, "600|400"},
        {"muted, no command line", {"--mute"}, ProgramAction::RunClock, true, ""},
        {"a command line beginning with a minus",
         {"-5|10|70"},
         ProgramAction::RunClock,
         false,
         "-5|10|70"},
        {"muted, then a negative place",
         {"--mute", "-5|10|70"},
         ProgramAction::RunClock,
         true,
         "-5|10|70"},
        {"an option after the command line is part of it",
         {"1|2", "--mute"},
         ProgramAction::RunClock,
         false,
         "1|2 --mute"},
        {"-- ends the options",
         {"--mute", "--", "--5|10"},
         ProgramAction::RunClock,
         true,
         "--5|10"},
        {"autostart", {"--autostart", "1|2|90"}, ProgramAction::StartWithSession, false, "1|2|90"},
        {"autostart muted",
         {"--autostart", "--mute", "100|50|200|2|0|"},
         ProgramAction::StartWithSession,
         true,
         "100|50|200|2|0|"},
        {"muted autostart, other order",
         {"--silencio", "--autostart"},
         ProgramAction::StartWithSession,
         true,
         ""},
        {"no autostart", {"--no-autostart"}, ProgramAction::StopWithSession, false, ""},
        {"help", {"--help"}, ProgramAction::ShowHelp, false, ""},
        {"the short help, as the whole line", {"-h"}, ProgramAction::ShowHelp, false, "-h"},
        {"help wins over the rest",
         {"--mute", "--help", "1|2"},
         ProgramAction::ShowHelp,
         true,
         "1|2"},
        {"version", {"--version"}, ProgramAction::ShowVersion, false, ""},
    };
    for (const OptionsRow& row : rows) {
        SCOPED_TRACE(row.name);
        const ProgramOptions options = ReadProgramOptions(row.words);
        ASSERT_FALSE(options.error) << *options.error;
        EXPECT_EQ(options.action, row.action);
        EXPECT_EQ(options.muted, row.muted);
        EXPECT_EQ(options.commandLine, row.commandLine);
    }
}

struct RefusedRow {
    const char* name;
    std::vector<std::string_view> words;
    std::string says;
};

TEST(ProgramOptions, WhatCannotBeTakenIsRefusedInOneLine) {
    const RefusedRow rows[] = {
        {"an unknown option", {"--mudo", "1|2"}, "opción desconocida «--mudo»"},
        {"an unknown option after a known one",
         {"--mute", "--quiet"},
         "opción desconocida «--quiet»"},
        {"a joined option and command line",
         {"--mute 600|400"},
         "opción desconocida «--mute 600|400»"},
        {"an option with a value", {"--mute=yes"}, "opción desconocida «--mute=yes»"},
        {"a command line that looks like an option",
         {"--5|10|70"},
         "opción desconocida «--5|10|70»"},
        {"a control character shown, not written",
         {"--a\nb\x1b[2J"},
         "opción desconocida «--a?b?[2J»"},
        {"help behind an unknown option", {"--nope", "--help"}, "opción desconocida «--nope»"},
        {"autostart both ways", {"--autostart", "--no-autostart"}, "no pueden ir juntas"},
        {"no autostart with a command line", {"--no-autostart", "1|2"}, "va sola"},
        {"no autostart muted", {"--no-autostart", "--mute"}, "va sola"},
    };
    for (const RefusedRow& row : rows) {
        SCOPED_TRACE(row.name);
        const ProgramOptions options = ReadProgramOptions(row.words);
        ASSERT_TRUE(options.error);
        EXPECT_EQ(options.error->rfind("reloj: ", 0), 0U) << *options.error;
        EXPECT_NE(options.error->find(row.says), std::string::npos) << *options.error;
        EXPECT_EQ(options.error->find('\n'), std::string::npos) << *options.error;
    }
}

} // namespace
} // namespace reloj
