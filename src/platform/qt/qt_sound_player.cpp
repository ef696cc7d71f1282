#include "platform/qt/qt_sound_player.h"

#include "chimes/wave_header.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QLoggingCategory>
#include <QMediaDevices>
#include <algorithm>
#include <chrono>
#include <limits>
#include <memory>
#include <utility>

namespace reloj {

// Every play request, for tests and for a curious user: QT_LOGGING_RULES="reloj.sound=true".
Q_LOGGING_CATEGORY(lcSound, "reloj.sound", QtWarningMsg)

namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

// How much sound the server is asked to hold ahead of what it plays. A quarter of a second
// keeps the sound going through a busy moment of the machine without holding much.
constexpr qint64 kBufferMicroseconds = 250'000;
// Time for the sound server to play out what it still holds when the file has been read to
// its end, beyond the buffer itself: its own latency and a margin.
constexpr milliseconds kDrainMargin{250};
// A sound whose sink never reports its end is let go this long after its own length.
constexpr milliseconds kLongestOverrun{2000};

// The header parser has already refused what has no sample format here (24-bit samples among
// them), so every format that reaches this point has one.
QAudioFormat::SampleFormat SampleFormatOf(const WaveFormat& format) {
    if (format.floatingPoint) {
        return QAudioFormat::Float;
    }
    switch (format.bitsPerSample) {
    case 8:
        return QAudioFormat::UInt8;
    case 16:
        return QAudioFormat::Int16;
    default:
        return QAudioFormat::Int32;
    }
}

} // namespace

// The samples of a wave file, read from disk as the sink asks for them: a window on the file's
// data chunk, so that the sink neither sees the header nor plays whatever follows the samples.
class WaveData final : public QIODevice {
  public:
    explicit WaveData(const QString& path) : m_file(path) {}

    // Opens the file and reads its header; what went wrong, if it did, goes to the log.
    bool Open() {
        if (!m_file.open(QIODevice::ReadOnly)) {
            qCInfo(lcSound, "cannot play %s: %s", qPrintable(m_file.fileName()),
                   qPrintable(m_file.errorString()));
            return false;
        }
        const auto read = [this](std::uint64_t offset, std::span<char> into) -> std::size_t {
            if (!m_file.seek(static_cast<qint64>(offset))) {
                return 0;
            }
            const qint64 got = m_file.read(into.data(), static_cast<qint64>(into.size()));
            return got > 0 ? static_cast<std::size_t>(got) : 0;
        };
        const WaveHeaderResult header =
            ParseWaveHeader(read, static_cast<std::uint64_t>(m_file.size()));
        if (!header.ok()) {
            qCInfo(lcSound, "cannot play %s: %s at byte %llu", qPrintable(m_file.fileName()),
                   DescribeWaveError(header.error).data(),
                   static_cast<unsigned long long>(header.position));
            m_file.close();
            return false;
        }
        m_layout = header.layout;
        m_left = static_cast<qint64>(m_layout.dataLength);
        if (!m_file.seek(static_cast<qint64>(m_layout.dataOffset)) ||
            !QIODevice::open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            m_file.close();
            return false;
        }
        return true;
    }

    const WaveFormat& Format() const { return m_layout.format; }
    microseconds Length() const {
        const auto bytesPerSecond =
            static_cast<std::uint64_t>(Format().sampleRate) * Format().BytesPerFrame();
        return microseconds(m_layout.dataLength * 1'000'000 / bytesPerSecond);
    }

    void close() override {
        QIODevice::close();
        m_file.close();
    }
    // The sink sizes its first buffering by the length of the sound.
    qint64 size() const override { return static_cast<qint64>(m_layout.dataLength); }
    bool atEnd() const override { return m_left <= 0; }
    bool seek(qint64 position) override {
        if (!QIODevice::seek(position) ||
            !m_file.seek(static_cast<qint64>(m_layout.dataOffset) + position)) {
            return false;
        }
        m_left = std::max<qint64>(0, size() - position);
        return true;
    }

  protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const qint64 wanted = std::min(maxSize, m_left);
        if (wanted <= 0) {
            return 0;
        }
        const qint64 got = m_file.read(data, wanted);
        if (got <= 0) {
            // A file that cannot be read any further ends the sound where it is.
            m_left = 0;
            return 0;
        }
        m_left -= got;
        return got;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

  private:
    QFile m_file;
    WaveLayout m_layout;
    qint64 m_left = 0; // bytes of samples not yet read
};

QtSoundPlayer::QtSoundPlayer() {
    m_release.setSingleShot(true);
    QObject::connect(&m_release, &QTimer::timeout, [this] { Release(); });
}

QtSoundPlayer::~QtSoundPlayer() {
    Release();
}

void QtSoundPlayer::Open(const std::string& path) {
    m_path = QString::fromStdString(path);
    if (!QFileInfo::exists(m_path)) {
        qCInfo(lcSound, "missing %s", qPrintable(m_path));
    }
}

bool QtSoundPlayer::IsOpen() const {
    return !m_path.isEmpty();
}

void QtSoundPlayer::Rewind() {
    Release();
}

void QtSoundPlayer::Play() {
    qCInfo(lcSound, "play %s", qPrintable(QFileInfo(m_path).fileName()));
    // A sound played again while it still sounds starts over.
    Release();
    // Without a sound server there is no default output; asking a sink for one would only
    // print a warning on every chime.
    if (QMediaDevices::defaultAudioOutput().isNull()) {
        qCInfo(lcSound, "no sound device for %s", qPrintable(QFileInfo(m_path).fileName()));
        return;
    }

    auto data = std::make_unique<WaveData>(m_path);
    if (!data->Open()) {
        return;
    }
    QAudioFormat format;
    format.setSampleRate(data->Format().sampleRate);
    format.setChannelCount(data->Format().channels);
    format.setSampleFormat(SampleFormatOf(data->Format()));
    auto* sink = new QAudioSink(format);
    data->setParent(sink);
    sink->setBufferSize(format.bytesForDuration(kBufferMicroseconds));
    // The sink may report from the sound server's thread, so its news can arrive queued,
    // after the sink has been let go: only the sink playing now is listened to.
    QObject::connect(sink, &QAudioSink::stateChanged, sink, [this, sink](QAudio::State state) {
        if (sink == m_sink) {
            StateChanged(state);
        }
    });
    m_sink = sink;
    m_data = data.release();
    m_release.start(std::chrono::duration_cast<milliseconds>(m_data->Length()) + kLongestOverrun);
    sink->start(m_data);
    // A sink that could not reach the server stops before it starts, and may not say so.
    if (m_sink == sink && sink->state() == QAudio::StoppedState) {
        Release();
    }
}

void QtSoundPlayer::StateChanged(QAudio::State state) {
    if (state == QAudio::IdleState && m_data->atEnd()) {
        // The file has been read to its end; the server still holds up to a buffer of it.
        const auto buffered = microseconds(m_sink->format().durationForBytes(static_cast<qint32>(
            std::min<qsizetype>(m_sink->bufferSize(), std::numeric_limits<qint32>::max()))));
        m_release.start(std::chrono::duration_cast<milliseconds>(buffered) + kDrainMargin);
    } else if (state == QAudio::StoppedState && m_sink->error() != QAudio::NoError) {
        // Let go from the event loop, not from inside the sink's own signal.
        m_release.start(0);
    }
}

void QtSoundPlayer::Release() {
    m_release.stop();
    if (m_sink == nullptr) {
        return;
    }
    QAudioSink* sink = std::exchange(m_sink, nullptr);
    WaveData* data = std::exchange(m_data, nullptr);
    QObject::disconnect(sink, &QAudioSink::stateChanged, nullptr, nullptr);
    sink->stop();
    data->close();
    // Deleting a sink may run the event loop; its deletion waits for the loop to come round,
    // so that a tick that plays a chime, or a window being closed, is never re-entered.
    sink->deleteLater();
}

} // namespace reloj
