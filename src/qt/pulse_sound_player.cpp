#include "qt/pulse_sound_player.h"

#include "core/environment.h"
#include "core/wave_header.h"

#include <QLoggingCategory>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <pthread.h>
#include <pulse/channelmap.h>
#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/mainloop.h>
#include <pulse/proplist.h>
#include <pulse/sample.h>
#include <pulse/stream.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace reloj {

// Every play request, for tests and for a curious user: QT_LOGGING_RULES="reloj.sound=true".
Q_LOGGING_CATEGORY(lcSound, "reloj.sound", QtWarningMsg)

// What the player and the thread of one play share: a request to stop, the loop to wake so
// that the thread sees it at once, and word that the thread is done.
struct Playback {
    std::mutex mutex;
    std::condition_variable ended;
    bool stopRequested = false;
    bool done = false;
    pa_mainloop* loop = nullptr; // while the thread's loop exists

    void RequestStop() {
        const std::lock_guard lock(mutex);
        stopRequested = true;
        if (loop != nullptr) {
            pa_mainloop_wakeup(loop);
        }
    }
    bool StopRequested() {
        const std::lock_guard lock(mutex);
        return stopRequested;
    }
    void Finish() {
        const std::lock_guard lock(mutex);
        done = true;
        ended.notify_all();
    }
};

namespace {

using Steady = std::chrono::steady_clock;
using std::chrono::microseconds;
using std::chrono::milliseconds;

// How much sound the server is asked to hold ahead of what it plays. A quarter of a second
// keeps the sound going through a busy moment of the machine without holding much.
constexpr pa_usec_t kBufferMicroseconds = 250'000;
// A server that takes this long to answer is taken as not there.
constexpr milliseconds kAnswerTimeout{5000};
// A sound that has not been heard to its end this long after its own length is let go.
constexpr milliseconds kLongestOverrun{2000};
// The longest wait of the loop in one round, so that no wait overflows the loop's counter.
constexpr microseconds kLongestRound{1'000'000};
// The most read from the file and handed to the server at a time.
constexpr std::size_t kLargestWrite = 64 * 1024;
// How long a player that goes waits for its sound's thread to let go of the server.
constexpr milliseconds kWaitWhenGoing{500};

// Who plays, as the server and the desktop's mixer know the clock: the id is the one of its
// metadata, the icon the one it installs.
constexpr const char* kApplicationName = "reloj";
constexpr const char* kApplicationId = RELOJ_APP_ID;
constexpr const char* kApplicationIcon = "reloj";
// Chimes are event sounds, which desktops give a volume of their own.
constexpr const char* kMediaRole = "event";

// A property list that is freed when it goes.
class Properties {
  public:
    Properties() : m_list(pa_proplist_new()) {}
    ~Properties() { pa_proplist_free(m_list); }
    Properties(const Properties&) = delete;
    Properties& operator=(const Properties&) = delete;

    Properties& Set(const char* key, const char* value) {
        pa_proplist_sets(m_list, key, value);
        return *this;
    }
    pa_proplist* List() const { return m_list; }

  private:
    pa_proplist* m_list;
};

// The server to ask for, or null for the sound library's own search. Without XDG_RUNTIME_DIR
// that search looks for the user's server in a directory of the user's configuration that it
// makes when missing, linked to a new directory under /tmp. A user's server that runs has made
// them itself, so where they are missing only the system-wide server can be there: it alone is
// asked for, and nothing is written.
const char* ServerToAsk() {
    if (EnvironmentSet("PULSE_SERVER") || EnvironmentSet("XDG_RUNTIME_DIR") ||
        EnvironmentSet("PULSE_RUNTIME_PATH")) {
        return nullptr;
    }
    const std::optional<std::string> configuration =
        ConfigHome(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    if (configuration) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(
                 std::filesystem::path(*configuration) / "pulse", error)) {
            if (entry.path().filename().string().ends_with("-runtime")) {
                return nullptr;
            }
        }
    }
    return "unix:/var/run/pulse/native";
}

const char* FileName(const std::string& path) {
    const auto slash = path.rfind('/');
    return path.c_str() + (slash == std::string::npos ? 0 : slash + 1);
}

// The header parser has already refused what has no sample format here.
pa_sample_format_t SampleFormatOf(const WaveFormat& format) {
    if (format.floatingPoint) {
        return PA_SAMPLE_FLOAT32LE;
    }
    switch (format.bitsPerSample) {
    case 8:
        return PA_SAMPLE_U8;
    case 16:
        return PA_SAMPLE_S16LE;
    case 24:
        return PA_SAMPLE_S24LE;
    default:
        return PA_SAMPLE_S32LE;
    }
}

microseconds LengthOf(const WaveLayout& layout) {
    const auto bytesPerSecond = static_cast<std::uint64_t>(layout.format.sampleRate) *
                                static_cast<std::uint64_t>(layout.format.BytesPerFrame());
    return microseconds(layout.dataLength * 1'000'000 / bytesPerSecond);
}

// A file descriptor that is closed when it goes.
class OpenFile {
  public:
    explicit OpenFile(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~OpenFile() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    std::uint64_t Size() const {
        struct stat info {};
        return ::fstat(m_fd, &info) == 0 && info.st_size > 0
                   ? static_cast<std::uint64_t>(info.st_size)
                   : 0;
    }
    std::size_t ReadAt(std::uint64_t offset, std::span<char> into) const {
        const ssize_t got = ::pread(m_fd, into.data(), into.size(), static_cast<off_t>(offset));
        return got > 0 ? static_cast<std::size_t>(got) : 0;
    }

  private:
    int m_fd;
};

// One play's connection to the sound server, from the loop to the stream, each let go of in
// turn when it goes. Every wait happens in Turn, which a stop request cuts short.
class ServerConnection {
  public:
    explicit ServerConnection(Playback& playback) : m_playback(playback) {
        const std::lock_guard lock(m_playback.mutex);
        m_playback.loop = m_loop;
    }
    ~ServerConnection() {
        if (m_drain != nullptr) {
            pa_operation_cancel(m_drain);
            pa_operation_unref(m_drain);
        }
        if (m_stream != nullptr) {
            // The server drops whatever it still held of the sound.
            pa_stream_disconnect(m_stream);
            pa_stream_unref(m_stream);
        }
        if (m_context != nullptr) {
            pa_context_disconnect(m_context);
            pa_context_unref(m_context);
        }
        {
            const std::lock_guard lock(m_playback.mutex);
            m_playback.loop = nullptr;
        }
        if (m_loop != nullptr) {
            pa_mainloop_free(m_loop);
        }
    }
    ServerConnection(const ServerConnection&) = delete;
    ServerConnection& operator=(const ServerConnection&) = delete;

    // Connects to the server the environment names, or the user's own, never starting one.
    // Returns an empty text when connected, or why not.
    std::string Connect() {
        if (m_loop == nullptr) {
            return "no memory for a sound loop";
        }
        Properties application;
        application.Set(PA_PROP_APPLICATION_NAME, kApplicationName)
            .Set(PA_PROP_APPLICATION_ID, kApplicationId)
            .Set(PA_PROP_APPLICATION_ICON_NAME, kApplicationIcon);
        m_context = pa_context_new_with_proplist(pa_mainloop_get_api(m_loop), kApplicationName,
                                                 application.List());
        if (m_context == nullptr) {
            return "no memory for a sound connection";
        }
        if (pa_context_connect(m_context, ServerToAsk(), PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            return pa_strerror(pa_context_errno(m_context));
        }
        return AwaitAnswer([this] {
            const pa_context_state_t state = pa_context_get_state(m_context);
            return state == PA_CONTEXT_READY   ? Answer::Ready
                   : PA_CONTEXT_IS_GOOD(state) ? Answer::Pending
                                               : Answer::Failed;
        });
    }

    // Opens a playback stream of the given format on the default output, under the sound's
    // title.
    std::string OpenStream(const std::string& title, const WaveFormat& format) {
        pa_sample_spec samples{};
        samples.format = SampleFormatOf(format);
        samples.rate = static_cast<std::uint32_t>(format.sampleRate);
        samples.channels = static_cast<std::uint8_t>(format.channels);
        // Wave files order their channels this way; the server's default map knows only up
        // to six.
        pa_channel_map map{};
        pa_channel_map_init_auto(&map, samples.channels, PA_CHANNEL_MAP_WAVEEX);
        Properties sound;
        sound.Set(PA_PROP_MEDIA_ROLE, kMediaRole).Set(PA_PROP_MEDIA_NAME, title.c_str());
        m_stream =
            pa_stream_new_with_proplist(m_context, title.c_str(), &samples, &map, sound.List());
        if (m_stream == nullptr) {
            return pa_strerror(pa_context_errno(m_context));
        }
        pa_buffer_attr buffer{};
        buffer.maxlength = static_cast<std::uint32_t>(-1);
        buffer.tlength =
            static_cast<std::uint32_t>(pa_usec_to_bytes(kBufferMicroseconds, &samples));
        buffer.prebuf = static_cast<std::uint32_t>(-1);
        buffer.minreq = static_cast<std::uint32_t>(-1);
        buffer.fragsize = static_cast<std::uint32_t>(-1);
        if (pa_stream_connect_playback(m_stream, nullptr, &buffer, PA_STREAM_ADJUST_LATENCY,
                                       nullptr, nullptr) < 0) {
            return pa_strerror(pa_context_errno(m_context));
        }
        return AwaitAnswer([this] {
            const pa_stream_state_t state = pa_stream_get_state(m_stream);
            return state == PA_STREAM_READY   ? Answer::Ready
                   : PA_STREAM_IS_GOOD(state) ? Answer::Pending
                                              : Answer::Failed;
        });
    }

    // Streams the samples from the file and waits until they have been heard. Returns an empty
    // text when the sound played out, or why it ended before.
    std::string Stream(const OpenFile& file, const WaveLayout& layout) {
        const auto frame = static_cast<std::size_t>(layout.format.BytesPerFrame());
        std::uint64_t offset = layout.dataOffset;
        std::uint64_t left = layout.dataLength;
        std::vector<char> buffer;
        bool drained = false;
        const auto deadline = Steady::now() + LengthOf(layout) + kLongestOverrun;
        while (!drained) {
            if (!PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream))) {
                return pa_strerror(pa_context_errno(m_context));
            }
            if (left > 0) {
                const std::size_t writable = pa_stream_writable_size(m_stream);
                if (writable == static_cast<std::size_t>(-1)) {
                    return pa_strerror(pa_context_errno(m_context));
                }
                std::size_t wanted = std::min<std::uint64_t>({writable, left, kLargestWrite});
                wanted -= wanted % frame;
                if (wanted > 0) {
                    buffer.resize(wanted);
                    std::size_t got = file.ReadAt(offset, buffer);
                    got -= got % frame;
                    if (got == 0) {
                        // A file that cannot be read any further ends the sound where it is.
                        left = 0;
                    } else if (pa_stream_write(m_stream, buffer.data(), got, nullptr, 0,
                                               PA_SEEK_RELATIVE) < 0) {
                        return pa_strerror(pa_context_errno(m_context));
                    } else {
                        offset += got;
                        left -= got;
                    }
                    // More may be writable at once, before any wait.
                    continue;
                }
            }
            if (left == 0 && m_drain == nullptr) {
                // Also starts a sound shorter than the server's buffer, which it would
                // otherwise wait to fill.
                m_drain = pa_stream_drain(m_stream, &ServerConnection::Drained, &drained);
                if (m_drain == nullptr) {
                    return pa_strerror(pa_context_errno(m_context));
                }
            }
            if (!Turn(deadline)) {
                return Stopped() ? "stopped" : "the sound did not end in time";
            }
        }
        return {};
    }

    bool Stopped() const { return m_playback.StopRequested(); }

  private:
    enum class Answer { Pending, Ready, Failed };

    // Runs the loop until `answer` says the server is ready or has refused, at most for the
    // time a server is given to answer. Returns an empty text when ready, or why not.
    template <typename AnswerNow> std::string AwaitAnswer(AnswerNow answer) {
        const auto deadline = Steady::now() + kAnswerTimeout;
        for (;;) {
            switch (answer()) {
            case Answer::Ready:
                return {};
            case Answer::Failed:
                return pa_strerror(pa_context_errno(m_context));
            case Answer::Pending:
                break;
            }
            if (!Turn(deadline)) {
                return Stopped() ? "stopped" : "the sound server does not answer";
            }
        }
    }

    static void Drained(pa_stream*, int, void* drained) { *static_cast<bool*>(drained) = true; }

    // Waits for news from the server, at most until the deadline, and handles it. False when
    // the play should end: a stop was asked for, the deadline passed or the loop failed.
    bool Turn(Steady::time_point deadline) {
        if (Stopped()) {
            return false;
        }
        const auto now = Steady::now();
        if (now >= deadline) {
            return false;
        }
        const auto wait =
            std::min(std::chrono::duration_cast<microseconds>(deadline - now), kLongestRound);
        if (pa_mainloop_prepare(m_loop, static_cast<int>(wait.count())) < 0 ||
            pa_mainloop_poll(m_loop) < 0 || pa_mainloop_dispatch(m_loop) < 0) {
            return false;
        }
        return !Stopped();
    }

    Playback& m_playback;
    pa_mainloop* m_loop = pa_mainloop_new();
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    pa_operation* m_drain = nullptr;
};

// One whole play, on its own thread.
void PlayFile(Playback& playback, const std::string& path, const std::string& title) {
    const OpenFile file(path);
    if (!file.IsOpen()) {
        qCInfo(lcSound, "cannot play %s: %s", path.c_str(), std::strerror(errno));
        return;
    }
    const WaveHeaderResult header = ParseWaveHeader(
        [&file](std::uint64_t offset, std::span<char> into) { return file.ReadAt(offset, into); },
        file.Size());
    if (!header.ok()) {
        qCInfo(lcSound, "cannot play %s: %s at byte %llu", path.c_str(),
               DescribeWaveError(header.error).data(),
               static_cast<unsigned long long>(header.position));
        return;
    }
    ServerConnection connection(playback);
    std::string failure = connection.Connect();
    if (!failure.empty()) {
        if (!connection.Stopped()) {
            qCInfo(lcSound, "no sound server for %s: %s", FileName(path), failure.c_str());
        }
        return;
    }
    failure = connection.OpenStream(title, header.layout.format);
    if (failure.empty()) {
        failure = connection.Stream(file, header.layout);
    }
    if (!failure.empty() && !connection.Stopped()) {
        qCInfo(lcSound, "%s cut short: %s", FileName(path), failure.c_str());
    }
}

} // namespace

PulseSoundPlayer::~PulseSoundPlayer() {
    for (auto& [path, playback] : m_playing) {
        playback->RequestStop();
    }
    // The threads let go of the server within a round of their loops; a program that ends
    // right after should not pull the library away from under them.
    const auto deadline = Steady::now() + kWaitWhenGoing;
    for (auto& [path, playback] : m_playing) {
        std::unique_lock lock(playback->mutex);
        playback->ended.wait_until(lock, deadline, [&playback] { return playback->done; });
    }
}

void PulseSoundPlayer::Play(const std::string& path, const std::string& title) {
    // Said once for each file, on its first play, so that a clock away from its sounds tells
    // where it looked without repeating it every half hour.
    if (!m_playing.contains(path) && ::access(path.c_str(), F_OK) != 0) {
        qCInfo(lcSound, "missing %s", path.c_str());
    }
    qCInfo(lcSound, "play %s", FileName(path));
    auto& latest = m_playing[path];
    if (latest) {
        // The same sound still playing starts over: the earlier play stops where it is.
        latest->RequestStop();
        latest.reset();
    }
    auto playback = std::make_shared<Playback>();
    // Signals are the main thread's business (a request to stop arrives as one), and a server
    // that goes away must not raise SIGPIPE here: the thread starts with every signal blocked.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous);
    try {
        std::thread([playback, path, title] {
            // A clock started at a real-time priority keeps it for its ticks; a sound is not
            // worth pre-empting anything for.
            const sched_param normal{};
            pthread_setschedparam(pthread_self(), SCHED_OTHER, &normal);
            PlayFile(*playback, path, title);
            playback->Finish();
        }).detach();
        latest = std::move(playback);
    } catch (const std::system_error& error) {
        m_playing.erase(path);
        qCInfo(lcSound, "cannot play %s: %s", FileName(path), error.what());
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

} // namespace reloj
