// The program's words before its command line: --mute (or --silencio), --autostart,
// --no-autostart, --help and --version. Every leading word that begins with "--" is an option,
// and one the clock does not know is refused; the first word that does not, or the word "--",
// begins the command line, so a command line may still begin with a single "-". What each
// option does is the caller's business; this unit only reads them and says what was asked.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace reloj {

// What a run of the program is to do.
enum class ProgramAction {
    RunClock,
    ShowHelp,
    ShowVersion,
    StartWithSession, // --autostart
    StopWithSession,  // --no-autostart
};

struct ProgramOptions {
    ProgramAction action = ProgramAction::RunClock;
    // The clock starts with its chimes muted, as when the calculator's switch is on.
    bool muted = false;
    // The words after the options, joined by single blanks.
    std::string commandLine;
    // Why the words cannot be taken, as one Spanish line for standard error; set, nothing else
    // counts.
    std::optional<std::string> error;
};

// Reads the program's arguments, without the program's own name.
ProgramOptions ReadProgramOptions(const std::vector<std::string_view>& words);

} // namespace reloj
