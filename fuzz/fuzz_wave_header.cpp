// Feeds arbitrary bytes to the wave header parser as a whole file and checks what a player
// relies on: an accepted header has a format the sound device can take and a range of whole
// frames inside the file, and reads the same once whatever follows the samples is cut off; a
// refused one names a known fault at a byte of the file.
#include "core/wave_header.h"
#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace reloj {
namespace {

bool IsKnownError(WaveError error) {
    switch (error) {
    case WaveError::Truncated:
    case WaveError::NotRiff:
    case WaveError::NotWave:
    case WaveError::FormatTooShort:
    case WaveError::NotPcm:
    case WaveError::BadChannels:
    case WaveError::BadSampleRate:
    case WaveError::UnsupportedBits:
    case WaveError::BadBlockAlign:
    case WaveError::DataBeforeFormat:
    case WaveError::NoData:
        return true;
    case WaveError::None:
        return false;
    }
    return false;
}

void CheckAccepted(const WaveLayout& layout, std::uint64_t fileSize) {
    const WaveFormat& format = layout.format;
    FUZZ_CHECK(format.sampleRate >= kMinSampleRate && format.sampleRate <= kMaxSampleRate);
    FUZZ_CHECK(format.channels >= 1 && format.channels <= kMaxChannels);
    if (format.floatingPoint) {
        FUZZ_CHECK(format.bitsPerSample == 32);
    } else {
        FUZZ_CHECK(format.bitsPerSample == 8 || format.bitsPerSample == 16 ||
                   format.bitsPerSample == 24 || format.bitsPerSample == 32);
    }
    FUZZ_CHECK(format.BytesPerFrame() > 0);
    FUZZ_CHECK(layout.dataOffset <= fileSize);
    FUZZ_CHECK(layout.dataLength <= fileSize - layout.dataOffset);
    FUZZ_CHECK(layout.dataLength % static_cast<std::uint64_t>(format.BytesPerFrame()) == 0);
}

} // namespace
} // namespace reloj

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace reloj;
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    const WaveHeaderResult whole = ParseWaveHeader(file);
    if (whole.ok()) {
        CheckAccepted(whole.layout, size);
    } else {
        FUZZ_CHECK(IsKnownError(whole.error));
        FUZZ_CHECK(whole.position <= size);
        const std::string_view reason = DescribeWaveError(whole.error);
        FUZZ_CHECK(!reason.empty() && reason != "unknown error");
        FUZZ_CHECK(fuzz::IsOneLine(reason));
    }

    // Nothing after the samples counts: the file cut right after them reads the same.
    if (whole.ok()) {
        const auto end =
            static_cast<std::size_t>(whole.layout.dataOffset + whole.layout.dataLength);
        const WaveHeaderResult cut = ParseWaveHeader(file.substr(0, end));
        FUZZ_CHECK(cut.ok());
        FUZZ_CHECK(cut.layout.format == whole.layout.format);
        FUZZ_CHECK(cut.layout.dataOffset == whole.layout.dataOffset);
        FUZZ_CHECK(cut.layout.dataLength == whole.layout.dataLength);
    }
    return 0;
}
