#include "core/wave_header.h"

#include <gtest/gtest.h>
#include <string>

namespace reloj {
namespace {

std::string Little(std::uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
    return out;
}

// A chunk whose header claims `size` bytes, whatever the body really holds.
std::string Claiming(std::string_view name, std::uint32_t size, const std::string& body) {
    return std::string(name) + Little(size, 4) + body;
}

// A well-formed chunk, with its pad byte when the body is odd.
std::string Chunk(std::string_view name, const std::string& body) {
    return Claiming(name, static_cast<std::uint32_t>(body.size()), body) +
           (body.size() % 2 ? std::string(1, '\0') : "");
}

std::string Fmt(std::uint32_t tag, std::uint32_t channels, std::uint32_t rate,
                std::uint32_t blockAlign, std::uint32_t bits) {
    return Little(tag, 2) + Little(channels, 2) + Little(rate, 4) + Little(rate * blockAlign, 4) +
           Little(blockAlign, 2) + Little(bits, 2);
}

std::string Riff(const std::string& chunks) {
    return "RIFF" + Little(static_cast<std::uint32_t>(4 + chunks.size()), 4) + "WAVE" + chunks;
}

// The shipped sounds' format.
const std::string kMono16 = Fmt(1, 1, 22050, 2, 16);
const std::string kFmtMono16 = Chunk("fmt ", kMono16);
const std::string kEightBytes(8, '\x11');

// The plainest file of a format: its "fmt " chunk, then its samples.
std::string WithSamples(const std::string& format, const std::string& samples = kEightBytes) {
    return Riff(Chunk("fmt ", format) + Chunk("data", samples));
}

struct GoodRow {
    const char* name;
    std::string file;
    WaveFormat format;
    std::uint64_t dataOffset;
    std::uint64_t dataLength;
};

TEST(ParseWaveHeader, FindsFormatAndSamples) {
    const GoodRow rows[] = {
        {"mono 16-bit like the shipped sounds",
         Riff(kFmtMono16 + Chunk("data", kEightBytes)),
         {1, 22050, 16},
         44,
         8},
        {"stereo 8-bit",
         Riff(Chunk("fmt ", Fmt(1, 2, 8000, 2, 8)) + Chunk("data", "abcd")),
         {2, 8000, 8},
         44,
         4},
        {"mono 32-bit",
         Riff(Chunk("fmt ", Fmt(1, 1, 48000, 4, 32)) + Chunk("data", kEightBytes)),
         {1, 48000, 32},
         44,
         8},
        {"32-bit float", WithSamples(Fmt(3, 2, 44100, 8, 32)), {2, 44100, 32, true}, 44, 8},
        // Three-byte samples: the last frame of seven bytes is cut to whole frames.
        {"24-bit stereo", WithSamples(Fmt(1, 2, 48000, 6, 24), "0123456789ab"), {2, 48000, 24},
         44, 12},
        {"24-bit cut to whole frames", WithSamples(Fmt(1, 1, 48000, 3, 24), "1234567"),
         {1, 48000, 24}, 44, 6},
        {"lowest rate taken", WithSamples(Fmt(1, 1, 8000, 2, 16)), {1, 8000, 16}, 44, 8},
        {"highest rate taken", WithSamples(Fmt(1, 1, 192000, 2, 16)), {1, 192000, 16}, 44, 8},
        {"eight channels",
         WithSamples(Fmt(1, 8, 48000, 16, 16), std::string(32, 'x')),
         {8, 48000, 16},
         44,
         32},
        {"format with an extension size",
         Riff(Chunk("fmt ", kMono16 + Little(0, 2)) + Chunk("data", kEightBytes)),
         {1, 22050, 16},
         46,
         8},
        {"other chunks skipped",
         Riff(Chunk("LIST", "INFOabcd") + kFmtMono16 + Chunk("fact", "1234") +
              Chunk("data", kEightBytes)),
         {1, 22050, 16},
         72,
         8},
        {"odd chunk followed by its pad byte",
         Riff(Chunk("junk", "abc") + kFmtMono16 + Chunk("data", kEightBytes)),
         {1, 22050, 16},
         56,
         8},
        {"chunks after the samples left alone",
         Riff(kFmtMono16 + Chunk("data", kEightBytes) + Chunk("LIST", "INFO")),
         {1, 22050, 16},
         44,
         8},
        {"second format chunk skipped",
         Riff(kFmtMono16 + Chunk("fmt ", Fmt(3, 1, 1, 1, 1)) + Chunk("data", kEightBytes)),
         {1, 22050, 16},
         68,
         8},
        {"RIFF size of zero ignored",
         "RIFF" + Little(0, 4) + "WAVE" + kFmtMono16 + Chunk("data", kEightBytes),
         {1, 22050, 16},
         44,
         8},
        {"empty data", Riff(kFmtMono16 + Chunk("data", "")), {1, 22050, 16}, 44, 0},
        // Clamped, not refused: what the file holds plays.
        {"data longer than the file",
         Riff(kFmtMono16 + Claiming("data", 1000, kEightBytes)),
         {1, 22050, 16},
         44,
         8},
        {"data length left at its largest",
         Riff(kFmtMono16 + Claiming("data", 0xFFFFFFFF, kEightBytes)),
         {1, 22050, 16},
         44,
         8},
        {"clamped to whole frames",
         Riff(Chunk("fmt ", Fmt(1, 2, 44100, 4, 16)) + Claiming("data", 1000, "1234567")),
         {2, 44100, 16},
         44,
         4},
        {"odd data length drops the half sample",
         Riff(kFmtMono16 + Chunk("data", "12345")),
         {1, 22050, 16},
         44,
         4},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto result = ParseWaveHeader(row.file);
        ASSERT_TRUE(result.ok()) << DescribeWaveError(result.error) << " at " << result.position;
        EXPECT_EQ(result.layout.format, row.format);
        EXPECT_EQ(result.layout.dataOffset, row.dataOffset);
        EXPECT_EQ(result.layout.dataLength, row.dataLength);
    }
}

struct BadRow {
    const char* name;
    std::string file;
    WaveError error;
    std::uint64_t position;
};

TEST(ParseWaveHeader, NamesTheFaultAndWhereItIs) {
    const std::string fmtHeader = "fmt " + Little(16, 4);
    const BadRow rows[] = {
        {"empty file", "", WaveError::Truncated, 0},
        {"three bytes", "RIF", WaveError::Truncated, 3},
        {"not RIFF", "RIFX" + Little(4, 4) + "WAVE", WaveError::NotRiff, 0},
        {"text file", "hello, world", WaveError::NotRiff, 0},
        {"RIFF header cut short", "RIFF" + Little(4, 4) + "WA", WaveError::Truncated, 10},
        {"not WAVE", "RIFF" + Little(4, 4) + "AVI ", WaveError::NotWave, 8},
        {"no chunks at all", Riff(""), WaveError::NoData, 12},
        {"chunk header cut short", Riff("fmt " + Little(16, 2)), WaveError::Truncated, 18},
        {"format cut short", Riff(fmtHeader + kMono16.substr(0, 10)), WaveError::Truncated, 30},
        {"format chunk too short", Riff(Chunk("fmt ", kMono16.substr(0, 14))),
         WaveError::FormatTooShort, 16},
        {"compressed", Riff(Chunk("fmt ", Fmt(2, 1, 22050, 4, 32))), WaveError::NotPcm, 20},
        {"extensible", Riff(Chunk("fmt ", Fmt(0xFFFE, 1, 22050, 2, 16))), WaveError::NotPcm, 20},
        {"no channels", Riff(Chunk("fmt ", Fmt(1, 0, 22050, 0, 16))), WaveError::BadChannels, 22},
        {"nine channels", Riff(Chunk("fmt ", Fmt(1, 9, 22050, 18, 16))), WaveError::BadChannels,
         22},
        // Regression: 8-bit frames of this many channels passed, and the sound device silently
        // played nothing.
        {"65535 channels", Riff(Chunk("fmt ", Fmt(1, 65535, 22050, 65535, 8))),
         WaveError::BadChannels, 22},
        // Regression: 1 to 32 Hz passed, and the sound device's playback timer divided by zero.
        {"1 Hz", Riff(Chunk("fmt ", Fmt(1, 1, 1, 2, 16))), WaveError::BadSampleRate, 24},
        {"32 Hz", Riff(Chunk("fmt ", Fmt(1, 1, 32, 2, 16))), WaveError::BadSampleRate, 24},
        {"just below the lowest rate", Riff(Chunk("fmt ", Fmt(1, 1, 7999, 2, 16))),
         WaveError::BadSampleRate, 24},
        {"just above the highest rate", Riff(Chunk("fmt ", Fmt(1, 1, 192001, 2, 16))),
         WaveError::BadSampleRate, 24},
        // Regression: the largest int passed, and the sound device silently played nothing.
        {"rate of 2^31-1", Riff(Chunk("fmt ", Fmt(1, 1, 0x7FFFFFFF, 2, 16))),
         WaveError::BadSampleRate, 24},
        {"rate of zero", Riff(Chunk("fmt ", Fmt(1, 1, 0, 2, 16))), WaveError::BadSampleRate, 24},
        {"rate beyond an int", Riff(Chunk("fmt ", Fmt(1, 1, 0x80000000, 2, 16))),
         WaveError::BadSampleRate, 24},
        {"16-bit float", Riff(Chunk("fmt ", Fmt(3, 1, 22050, 2, 16))), WaveError::UnsupportedBits,
         34},
        {"24-bit float", Riff(Chunk("fmt ", Fmt(3, 1, 22050, 3, 24))), WaveError::UnsupportedBits,
         34},
        {"64-bit float", Riff(Chunk("fmt ", Fmt(3, 1, 22050, 8, 64))), WaveError::UnsupportedBits,
         34},
        {"float frame size off", Riff(Chunk("fmt ", Fmt(3, 2, 22050, 4, 32))),
         WaveError::BadBlockAlign, 32},
        {"4-bit", Riff(Chunk("fmt ", Fmt(1, 1, 22050, 1, 4))), WaveError::UnsupportedBits, 34},
        {"frame size off", Riff(Chunk("fmt ", Fmt(1, 2, 22050, 2, 16))), WaveError::BadBlockAlign,
         32},
        {"fault found past a skipped chunk",
         Riff(Chunk("LIST", "INFO") + Chunk("fmt ", Fmt(2, 1, 22050, 2, 16))), WaveError::NotPcm,
         32},
        {"samples before the format", Riff(Chunk("data", kEightBytes) + kFmtMono16),
         WaveError::DataBeforeFormat, 12},
        {"format without samples", Riff(kFmtMono16), WaveError::NoData, 36},
        {"chunk running past the end", Riff(kFmtMono16 + Claiming("LIST", 1000, "INFO")),
         WaveError::NoData, 48},
        {"stray bytes after the last chunk", Riff(kFmtMono16 + "dat"), WaveError::Truncated, 39},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto result = ParseWaveHeader(row.file);
        EXPECT_EQ(result.error, row.error) << DescribeWaveError(result.error);
        EXPECT_EQ(result.position, row.position);
    }
}

// The point of the parser is that the samples stay on disk: it must seek past chunks it skips
// and never read the samples, however large they are.
TEST(ParseWaveHeader, ReadsOnlyTheHeader) {
    const std::string file = Riff(Chunk("LIST", std::string(100000, 'x')) + kFmtMono16 +
                                  Chunk("data", std::string(200000, '\0')));
    std::size_t bytesRead = 0;
    const WaveReader read = [&](std::uint64_t offset, std::span<char> into) -> std::size_t {
        const std::size_t count = std::min<std::size_t>(into.size(), file.size() - offset);
        file.copy(into.data(), count, offset);
        bytesRead += count;
        return count;
    };
    const auto result = ParseWaveHeader(read, file.size());
    ASSERT_TRUE(result.ok()) << DescribeWaveError(result.error);
    EXPECT_EQ(result.layout.dataOffset, 100000u + 52u);
    EXPECT_EQ(result.layout.dataLength, 200000u);
    EXPECT_LE(bytesRead, 64u);
}

// A reader that fails halfway (a file shrunk under it, an input error) is a file that ends
// there, even when the size given was larger.
TEST(ParseWaveHeader, AReaderThatStopsIsAFileThatEnds) {
    const std::string file = Riff(kFmtMono16 + Chunk("data", kEightBytes));
    const WaveReader read = [&](std::uint64_t offset, std::span<char> into) -> std::size_t {
        const std::uint64_t stop = 26;
        const std::size_t count =
            offset >= stop ? 0 : std::min<std::size_t>(into.size(), stop - offset);
        file.copy(into.data(), count, offset);
        return count;
    };
    const auto result = ParseWaveHeader(read, file.size());
    EXPECT_EQ(result.error, WaveError::Truncated);
    EXPECT_EQ(result.position, 26u);
}

} // namespace
} // namespace reloj
