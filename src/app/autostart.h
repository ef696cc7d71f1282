// Starting the clock with the desktop session: the entry `reloj --autostart` writes in the
// user's autostart folder, which every freedesktop session reads at login, and
// `reloj --no-autostart` removes. The entry runs this program with the command line given,
// written so that a launcher gives it back unchanged, whatever blanks, quotes, "|", "%" or
// backslashes it holds.
//
// The caller says where the program and the configuration folder are (main reads them from the
// process and the environment); this unit only writes or removes the one file, and tells what
// it did in one Spanish line.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace reloj {

inline constexpr std::string_view kAutostartFileName = "reloj.desktop";

// The configuration folder as the freedesktop base directories name it: XDG_CONFIG_HOME when it
// is an absolute path, otherwise .config in the home folder; nothing without either.
std::optional<std::string> ConfigHome(const char* xdgConfigHome, const char* home);

// One argument of a desktop entry's Exec line, quoted where it needs to be.
std::string ExecArgument(std::string_view argument);

// Why a text cannot go into a desktop entry, with the position (from 0) of the first byte that
// cannot; nothing when it can.
struct EntryTextProblem {
    std::size_t position;
    std::string problem; // a short Spanish phrase
};
std::optional<EntryTextProblem> UnwritableInEntry(std::string_view text);

// The whole entry that starts `program` with `commandLine` (none when empty).
std::string AutostartEntry(std::string_view program, std::string_view commandLine);

// What --autostart or --no-autostart did: the line to print and whether it went well.
struct AutostartOutcome {
    bool done;
    std::string message; // one line, without its newline
};

// Writes the entry into <configHome>/autostart, making the folder if need be. The file is
// written whole beside its place and then renamed over it, so that a failure leaves the old
// entry, or none, and never half of one.
AutostartOutcome WriteAutostartEntry(const std::optional<std::string>& configHome,
                                     std::string_view program, std::string_view commandLine);

// Removes the entry; an entry that is not there is no failure.
AutostartOutcome RemoveAutostartEntry(const std::optional<std::string>& configHome);

} // namespace reloj
