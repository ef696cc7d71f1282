#include "core/wave_header.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <optional>

namespace reloj {

namespace {

constexpr std::size_t kRiffHeaderSize = 12; // "RIFF", the size of the rest, "WAVE"
constexpr std::size_t kChunkHeaderSize = 8; // the chunk's name and the size of its body
constexpr std::size_t kFormatSize = 16;     // the part of "fmt " every PCM file has
constexpr std::uint32_t kPcmTag = 1;
constexpr std::uint32_t kFloatTag = 3;
constexpr std::uint32_t kFloatBits = 32;

// Where each field of the "fmt " body lies, from the start of the body.
constexpr std::size_t kTagAt = 0;
constexpr std::size_t kChannelsAt = 2;
constexpr std::size_t kRateAt = 4;
constexpr std::size_t kBlockAlignAt = 12;
constexpr std::size_t kBitsAt = 14;

std::uint32_t LittleEndian(const char* bytes, std::size_t count) {
    std::uint32_t value = 0;
    for (std::size_t i = count; i-- > 0;) {
        value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    }
    return value;
}

bool Named(const char* bytes, std::string_view name) {
    return std::memcmp(bytes, name.data(), name.size()) == 0;
}

WaveHeaderResult Fail(WaveError error, std::uint64_t position) {
    WaveHeaderResult result;
    result.error = error;
    result.position = position;
    return result;
}

// How many bytes the reader gave, never more than were asked for.
std::size_t ReadAt(const WaveReader& read, std::uint64_t offset, std::span<char> into) {
    return std::min(read(offset, into), into.size());
}

// The format of a "fmt " body whose first 16 bytes are `body`, found at `at` in the file.
std::optional<WaveHeaderResult> CheckFormat(const char* body, std::uint64_t at,
                                            WaveFormat& format) {
    const std::uint32_t tag = LittleEndian(body + kTagAt, 2);
    if (tag != kPcmTag && tag != kFloatTag) {
        return Fail(WaveError::NotPcm, at + kTagAt);
    }
    const std::uint32_t channels = LittleEndian(body + kChannelsAt, 2);
    if (channels == 0 || channels > static_cast<std::uint32_t>(kMaxChannels)) {
        return Fail(WaveError::BadChannels, at + kChannelsAt);
    }
    const std::uint32_t rate = LittleEndian(body + kRateAt, 4);
    if (rate < static_cast<std::uint32_t>(kMinSampleRate) ||
        rate > static_cast<std::uint32_t>(kMaxSampleRate)) {
        return Fail(WaveError::BadSampleRate, at + kRateAt);
    }
    const std::uint32_t bits = LittleEndian(body + kBitsAt, 2);
    const bool bitsTaken = tag == kFloatTag ? bits == kFloatBits
                                            : (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    if (!bitsTaken) {
        return Fail(WaveError::UnsupportedBits, at + kBitsAt);
    }
    // The byte rate is left unchecked: nothing here needs it, and writers get it wrong.
    if (LittleEndian(body + kBlockAlignAt, 2) != channels * (bits / 8)) {
        return Fail(WaveError::BadBlockAlign, at + kBlockAlignAt);
    }
    format.channels = static_cast<int>(channels);
    format.sampleRate = static_cast<int>(rate);
    format.bitsPerSample = static_cast<int>(bits);
    format.floatingPoint = tag == kFloatTag;
    return std::nullopt;
}

} // namespace

WaveHeaderResult ParseWaveHeader(const WaveReader& read, std::uint64_t fileSize) {
    std::array<char, kRiffHeaderSize> riff{};
    const std::size_t got = ReadAt(read, 0, riff);
    if (got >= 4 && !Named(riff.data(), "RIFF")) {
        return Fail(WaveError::NotRiff, 0);
    }
    if (got < riff.size()) {
        return Fail(WaveError::Truncated, got);
    }
    if (!Named(riff.data() + 8, "WAVE")) {
        return Fail(WaveError::NotWave, 8);
    }

    // The size RIFF gives for the whole is not trusted: writers that stream leave it at 0 or
    // at its largest value. The chunks are walked to the end of the file instead.
    std::optional<WaveFormat> format;
    std::uint64_t offset = kRiffHeaderSize;
    while (offset < fileSize) {
        std::array<char, kChunkHeaderSize> header{};
        const std::size_t headerGot = ReadAt(read, offset, header);
        if (headerGot < header.size()) {
            return Fail(WaveError::Truncated, offset + headerGot);
        }
        const std::uint64_t bodyAt = offset + kChunkHeaderSize;
        const std::uint32_t size = LittleEndian(header.data() + 4, 4);
        // Should there be two format chunks, the first one counts and the second is skipped.
        if (Named(header.data(), "fmt ") && !format) {
            if (size < kFormatSize) {
                return Fail(WaveError::FormatTooShort, offset + 4);
            }
            std::array<char, kFormatSize> body{};
            const std::size_t bodyGot = ReadAt(read, bodyAt, body);
            if (bodyGot < body.size()) {
                return Fail(WaveError::Truncated, bodyAt + bodyGot);
            }
            WaveFormat found;
            if (auto failed = CheckFormat(body.data(), bodyAt, found)) {
                return *failed;
            }
            format = found;
        } else if (Named(header.data(), "data")) {
            if (!format) {
                return Fail(WaveError::DataBeforeFormat, offset);
            }
            // A length past the end of the file is clamped to the file rather than refused: a
            // recording cut short, or one whose writer never came back to fill in the length,
            // still plays what it holds. A partial frame at the end is dropped, so that the
            // device is never handed half a sample.
            const std::uint64_t available = fileSize > bodyAt ? fileSize - bodyAt : 0;
            std::uint64_t length = std::min<std::uint64_t>(size, available);
            length -= length % static_cast<std::uint64_t>(format->BytesPerFrame());
            WaveHeaderResult result;
            result.layout = {*format, bodyAt, length};
            return result;
        }
        // Chunks of an odd size are followed by a pad byte that their size leaves out.
        offset = bodyAt + size + (size & 1U);
    }
    return Fail(WaveError::NoData, fileSize);
}

WaveHeaderResult ParseWaveHeader(std::string_view file) {
    const auto read = [file](std::uint64_t offset, std::span<char> into) -> std::size_t {
        if (offset >= file.size()) {
            return 0;
        }
        const std::size_t count =
            std::min<std::size_t>(into.size(), file.size() - static_cast<std::size_t>(offset));
        std::memcpy(into.data(), file.data() + offset, count);
        return count;
    };
    return ParseWaveHeader(read, file.size());
}

std::string_view DescribeWaveError(WaveError error) {
    switch (error) {
    case WaveError::None:
        return "no error";
    case WaveError::Truncated:
        return "the file ends inside the header";
    case WaveError::NotRiff:
        return "not a RIFF file";
    case WaveError::NotWave:
        return "not a wave file";
    case WaveError::FormatTooShort:
        return "the format chunk is too short";
    case WaveError::NotPcm:
        return "neither uncompressed PCM nor 32-bit float";
    case WaveError::BadChannels:
        return "a channel count outside 1 to 8";
    case WaveError::BadSampleRate:
        return "a sample rate outside 8000 to 192000 Hz";
    case WaveError::UnsupportedBits:
        return "bits per sample other than 8, 16 or 32 (only 32 for float)";
    case WaveError::BadBlockAlign:
        return "a frame size that does not match the channels and bits";
    case WaveError::DataBeforeFormat:
        return "samples before the format";
    case WaveError::NoData:
        return "no data chunk";
    }
    return "unknown error";
}

} // namespace reloj
