#include "settings/options.h"

namespace reloj {

namespace {

constexpr std::string_view kOptionPrefix = "--";
// Ends the options: whatever follows is the command line, even a word that begins with "--".
constexpr std::string_view kEndOfOptions = "--";
constexpr std::string_view kMute = "--mute";
// The same, in the language of the clock's own texts.
constexpr std::string_view kMuteInSpanish = "--silencio";
constexpr std::string_view kHelp = "--help";
constexpr std::string_view kVersion = "--version";
constexpr std::string_view kAutostart = "--autostart";
constexpr std::string_view kNoAutostart = "--no-autostart";
// The short help of old, which is only ever the whole command line.
constexpr std::string_view kShortHelp = "-h";
constexpr unsigned char kFirstPrintable = 0x20;
constexpr char kDelete = 0x7F;

std::string Joined(const std::vector<std::string_view>& words, std::size_t first) {
    std::string line;
    for (std::size_t i = first; i < words.size(); ++i) {
        if (i > first) {
            line += ' ';
        }
        line += words[i];
    }
    return line;
}

// A word as the one line of a message shows it: a control character, which would break the
// line or move the terminal's cursor, shows as "?".
std::string Shown(std::string_view word) {
    std::string shown(word);
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < kFirstPrintable || c == kDelete) {
            c = '?';
        }
    }
    return shown;
}

ProgramOptions Refused(std::string why) {
    ProgramOptions refused;
    refused.error = "reloj: " + std::move(why);
    return refused;
}

} // namespace

ProgramOptions ReadProgramOptions(const std::vector<std::string_view>& words) {
    ProgramOptions options;
    bool help = false;
    bool version = false;
    bool autostart = false;
    bool noAutostart = false;
    std::size_t first = 0;
    for (; first < words.size() && words[first].starts_with(kOptionPrefix); ++first) {
        const std::string_view word = words[first];
        if (word == kEndOfOptions) {
            ++first;
            break;
        }
        if (word == kMute || word == kMuteInSpanish) {
            options.muted = true;
        } else if (word == kHelp) {
            help = true;
        } else if (word == kVersion) {
            version = true;
        } else if (word == kAutostart) {
            autostart = true;
        } else if (word == kNoAutostart) {
            noAutostart = true;
        } else {
            return Refused("opción desconocida «" + Shown(word) +
                           "»; las opciones son --mute (o --silencio), --autostart, "
                           "--no-autostart, --help y --version");
        }
    }
    options.commandLine = Joined(words, first);
    if (help || (first == 0 && options.commandLine == kShortHelp)) {
        options.action = ProgramAction::ShowHelp;
    } else if (version) {
        options.action = ProgramAction::ShowVersion;
    } else if (autostart && noAutostart) {
        return Refused("--autostart y --no-autostart no pueden ir juntas");
    } else if (noAutostart && (options.muted || !options.commandLine.empty())) {
        return Refused("--no-autostart va sola, sin --mute ni línea de órdenes");
    } else if (autostart) {
        options.action = ProgramAction::StartWithSession;
    } else if (noAutostart) {
        options.action = ProgramAction::StopWithSession;
    }
    return options;
}

} // namespace reloj
