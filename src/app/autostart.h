// Starting the clock with the desktop session: the entry `reloj --autostart` writes in the
// user's autostart folder, which every freedesktop session reads at login, and
// `reloj --no-autostart` removes. The entry runs this program with the command line given,
// written so that every launcher gives it back unchanged: GLib's, and systemd's generator of
// units from autostart entries. Those two read quotes, backslashes, "$", "`" and "%" in ways of
// their own, so a text holding any of them, or a control character, is refused before anything
// is written rather than started as some other text; blanks, "|", "'" and the shell's other
// characters are carried inside double quotes.
//
// The caller says where the program and the configuration folder are (main reads them from the
// process and the environment, the folder by ConfigHome in core/environment.h); this unit only
// writes or removes the one file, and tells what it did in one Spanish line.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace reloj {

inline constexpr std::string_view kAutostartFileName = "reloj.desktop";

// One argument of a desktop entry's Exec line, in double quotes where it needs them. Only for
// a text UnwritableInEntry takes, which needs no escapes inside them.
std::string ExecArgument(std::string_view argument);

// Why a text cannot go into the entry as it is, with the position (from 1, in characters) of
// the first character that cannot; nothing when it can.
struct EntryTextProblem {
    std::size_t position;
    std::string problem; // a short Spanish phrase naming the character
};
std::optional<EntryTextProblem> UnwritableInEntry(std::string_view text);

// What the entry starts: this program, by its path, muted or not, with its command line.
struct AutostartClock {
    std::string_view program{};
    std::string_view commandLine{}; // none when empty
    bool muted = false;
};

// The whole entry that starts that clock.
std::string AutostartEntry(const AutostartClock& clock);

// What --autostart or --no-autostart did: the line to print and whether it went well.
struct AutostartOutcome {
    bool done;
    std::string message; // one line, without its newline
};

// Writes the entry into <configHome>/autostart, making the folder if need be. The file is
// written whole beside its place and then renamed over it, so that a failure leaves the old
// entry, or none, and never half of one.
AutostartOutcome WriteAutostartEntry(const std::optional<std::string>& configHome,
                                     const AutostartClock& clock);

// Removes the entry; an entry that is not there is no failure.
AutostartOutcome RemoveAutostartEntry(const std::optional<std::string>& configHome);

} // namespace reloj
