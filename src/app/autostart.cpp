#include "app/autostart.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace reloj {

namespace {

// Characters that make an argument of an Exec line need double quotes: the reserved ones of
// the desktop entry format that UnwritableInEntry lets through.
constexpr std::string_view kNeedQuotes = " '><~|&;*?#()";
// The option that starts the clock muted, as the entry passes it.
constexpr std::string_view kMuteOption = "--mute";
// Control characters: C0, DEL and C1 (the last as UTF-8 code points).
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;
constexpr unsigned int kFirstC1 = 0x80;
constexpr unsigned int kLastC1 = 0x9F;
// The folders a session reads, and the ones made for it, which hold the user's settings.
constexpr std::string_view kAutostartFolder = "/autostart";
constexpr mode_t kFolderMode = 0700;
constexpr mode_t kEntryMode = 0644;

std::string SpanishReason(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return "permiso denegado";
    case EROFS:
        return "el sistema de archivos es de solo lectura";
    case ENOSPC:
    case EDQUOT:
        return "no queda espacio";
    case ENOENT:
        return "la carpeta no existe";
    case ENOTDIR:
        return "una parte de la ruta no es una carpeta";
    case EISDIR:
        return "es una carpeta";
    case ENAMETOOLONG:
        return "la ruta es demasiado larga";
    case ELOOP:
        return "demasiados enlaces simbólicos";
    case EIO:
        return "error de entrada/salida";
    default:
        return "error " + std::to_string(error);
    }
}

// One character of a UTF-8 text: its code point and how many bytes it takes, 0 for a sequence
// that is not UTF-8.
struct Utf8Character {
    std::size_t length = 0;
    unsigned int code = 0;
};

// The UTF-8 character that starts at `at`.
Utf8Character DecodeUtf8(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    unsigned int least = 0; // the smallest code point of that length, against overlong forms
    unsigned int code = 0;
    if (lead < 0x80) {
        return {1, lead};
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        least = 0x80;
        code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        least = 0x800;
        code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        least = 0x10000;
        code = lead & 0x07;
    } else {
        return {};
    }
    if (at + length > text.size()) {
        return {};
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            return {};
        }
        code = (code << 6) | (next & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (code < least || code > 0x10FFFF || surrogate) {
        return {};
    }
    return {length, code};
}

// The Spanish name of a character some launcher does not carry intact, or nothing for one they
// all do. Inside double quotes GLib and systemd's generator read backslash escapes (and an
// escaped quote), systemd's takes "$" and "`" for a shell's and escapes them, a percent sign
// starts a field code each launcher replaces in its own way, and control characters are
// escaped, split on or dropped.
std::optional<std::string> CharacterChanged(unsigned int code) {
    switch (code) {
    case '$':
        return "el signo «$»";
    case '`':
        return "el acento grave «`»";
    case '\\':
        return "la barra invertida «\\»";
    case '"':
        return "las comillas «\"»";
    case '%':
        return "el signo «%»";
    case '\t':
        return "un tabulador";
    case '\n':
        return "un salto de línea";
    case '\r':
        return "un retorno de carro";
    default:
        break;
    }
    if (code < kFirstPrintable || code == kDelete || (code >= kFirstC1 && code <= kLastC1)) {
        char name[sizeof "un carácter de control (U+0000)"];
        std::snprintf(name, sizeof name, "un carácter de control (U+%04X)", code);
        return std::string(name);
    }
    return std::nullopt;
}

// Makes each missing folder of an absolute path, for the user alone.
int MakeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), kFolderMode) != 0 && errno != EEXIST) {
            return errno;
        }
        if (slash == std::string::npos) {
            return 0;
        }
    }
}

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = EIO;
            }
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Writes `text` to a new file beside `path` and renames it over `path`; 0 or the error.
int ReplaceFile(const std::string& folder, const std::string& path, std::string_view text) {
    std::string temporary = folder + "/." + std::string(kAutostartFileName) + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        return errno;
    }
    int error = 0;
    if (!WriteAll(fd, text) || fchmod(fd, kEntryMode) != 0 || fsync(fd) != 0) {
        error = errno;
    }
    if (close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && rename(temporary.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        unlink(temporary.c_str());
    }
    return error;
}

constexpr const char* kNoConfigHome =
    "reloj: no se sabe dónde guardar la configuración: ni XDG_CONFIG_HOME ni HOME tienen una "
    "ruta absoluta";

} // namespace

std::string ExecArgument(std::string_view argument) {
    if (!argument.empty() && argument.find_first_of(kNeedQuotes) == std::string_view::npos) {
        return std::string(argument);
    }
    // Built by appending: GCC 12 at -O3 warns of an overlap that cannot happen in the
    // operator+ form, and the README's Release build must stay free of warnings.
    std::string quoted;
    quoted.reserve(argument.size() + 2);
    quoted += '"';
    quoted += argument;
    quoted += '"';
    return quoted;
}

std::optional<EntryTextProblem> UnwritableInEntry(std::string_view text) {
    std::size_t position = 1;
    for (std::size_t at = 0; at < text.size(); ++position) {
        const Utf8Character character = DecodeUtf8(text, at);
        if (character.length == 0) {
            return EntryTextProblem{position, "un byte que no es UTF-8"};
        }
        if (auto changed = CharacterChanged(character.code)) {
            return EntryTextProblem{position, std::move(*changed)};
        }
        at += character.length;
    }
    return std::nullopt;
}

std::string AutostartEntry(const AutostartClock& clock) {
    std::string exec = ExecArgument(clock.program);
    if (clock.muted) {
        exec += ' ' + std::string(kMuteOption);
    }
    if (!clock.commandLine.empty()) {
        // The program joins its arguments into one command line again: one argument does.
        exec += ' ' + ExecArgument(clock.commandLine);
    }
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Reloj\n"
           "Comment=Reloj analógico de escritorio, iniciado con la sesión\n"
           "Exec=" +
           exec +
           "\n"
           "Icon=reloj\n"
           "Terminal=false\n";
}

AutostartOutcome WriteAutostartEntry(const std::optional<std::string>& configHome,
                                     const AutostartClock& clock) {
    if (!configHome) {
        return {false, kNoConfigHome};
    }
    const std::string folder = *configHome + std::string(kAutostartFolder);
    const std::string path = folder + "/" + std::string(kAutostartFileName);
    int error = MakeFolders(folder);
    if (error == 0) {
        error = ReplaceFile(folder, path, AutostartEntry(clock));
    }
    if (error != 0) {
        return {false, "reloj: no se puede escribir «" + path + "»: " + SpanishReason(error)};
    }
    return {true, std::string("reloj: el reloj se iniciará con la sesión") +
                      (clock.muted ? ", sin campanadas," : ",") + " según «" + path + "»"};
}

AutostartOutcome RemoveAutostartEntry(const std::optional<std::string>& configHome) {
    if (!configHome) {
        return {false, kNoConfigHome};
    }
    const std::string path =
        *configHome + std::string(kAutostartFolder) + "/" + std::string(kAutostartFileName);
    const int error = unlink(path.c_str()) == 0 ? 0 : errno;
    if (error == 0) {
        return {true,
                "reloj: el reloj ya no se iniciará con la sesión; se ha quitado «" + path + "»"};
    }
    if (error == ENOENT) {
        return {true, "reloj: el reloj no se iniciaba con la sesión; no hay «" + path + "»"};
    }
    return {false, "reloj: no se puede quitar «" + path + "»: " + SpanishReason(error)};
}

} // namespace reloj
