// ParseWaveHeader reads the header of a RIFF wave file: the sample format of its "fmt " chunk
// and where the samples of its "data" chunk lie in the file. It reads only the few bytes it
// needs, through a function the caller gives it, so that a player can stream the samples from
// disk instead of holding the whole file. Opening the file, reading the samples and handing
// them to a sound device are the caller's. Sound files can be replaced by a user or a packager,
// so every field is checked against what the sound server is sure to play: integer PCM of 8, 16,
// 24 or 32 bits or 32-bit float, 1 to 8 channels, 8000 to 192000 frames a second. Anything else
// is refused with the field at fault, before a sound server ever sees it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

namespace reloj {

struct WaveFormat {
    int channels = 0;
    int sampleRate = 0;    // frames a second
    int bitsPerSample = 0; // 8 (unsigned), 16, 24 or 32 (signed, or float when floatingPoint)
    bool floatingPoint = false;

    int BytesPerFrame() const { return channels * (bitsPerSample / 8); }
    bool operator==(const WaveFormat&) const = default;
};

// Where the samples are: a byte range of the file holding whole frames only.
struct WaveLayout {
    WaveFormat format;
    std::uint64_t dataOffset = 0;
    std::uint64_t dataLength = 0;
};

enum class WaveError {
    None,
    Truncated,        // the file ends inside the RIFF header, a chunk header or "fmt "
    NotRiff,          // the first four bytes are not "RIFF"
    NotWave,          // the RIFF form is not "WAVE"
    FormatTooShort,   // a "fmt " chunk of fewer than 16 bytes
    NotPcm,           // a format tag other than 1 or 3 (compressed or extensible)
    BadChannels,      // fewer than 1 or more than 8 channels
    BadSampleRate,    // a rate outside 8000 to 192000 frames a second
    UnsupportedBits,  // integer bits other than 8, 16, 24 or 32; float bits other than 32
    BadBlockAlign,    // bytes per frame that do not match channels and bits
    DataBeforeFormat, // a "data" chunk before any "fmt " chunk
    NoData,           // the file ends without a "data" chunk
};

// The limits a format must keep: nothing below telephone quality is worth playing, and nothing
// above studio rates or beyond 7.1 sound is a chime. Sound libraries have crashed on rates of a
// few hertz and silently played nothing at absurd rates or channel counts; these limits keep
// every file that reaches the sound server well inside what all of them take.
constexpr int kMinSampleRate = 8000;
constexpr int kMaxSampleRate = 192000;
constexpr int kMaxChannels = 8;

struct WaveHeaderResult {
    WaveLayout layout;
    WaveError error = WaveError::None;
    // The byte of the file where the error was found: the start of the field or chunk that
    // is wrong, or the file's length when the file ends too soon.
    std::uint64_t position = 0;

    bool ok() const { return error == WaveError::None; }
};

// Copies the file's bytes from `offset` on into `into` and returns how many it copied: fewer
// than asked only at the end of the file, or when the file cannot be read any further.
using WaveReader = std::function<std::size_t(std::uint64_t offset, std::span<char> into)>;

WaveHeaderResult ParseWaveHeader(const WaveReader& read, std::uint64_t fileSize);

// The same, for a file held whole in memory.
WaveHeaderResult ParseWaveHeader(std::string_view file);

// A short English phrase for an error, for the log.
std::string_view DescribeWaveError(WaveError error);

} // namespace reloj
