#include "sound_harness.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace reloj::e2e {

namespace {

constexpr double kLowestTone = 300.0;
constexpr double kToneStep = 40.0;
constexpr double kToneSeconds = 0.6;
constexpr double kSilenceSeconds = 0.3;
constexpr double kFadeSeconds = 0.005;
constexpr double kToneAmplitude = 0.5 * 32767.0;

// 50 ms windows hold a whole number of cycles of every tone (they are all multiples of 20 Hz),
// so a tone that fills a window gives nothing at any other tone's frequency.
constexpr int kWindow = Recording::kRate / 20;
constexpr double kWindowSeconds = 0.05;

void PutLittleEndian(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

// One sample of the given format, from a value on the scale of 16-bit samples.
void PutSample(std::string& out, double value, const SampleFormat& format) {
    if (format.floating) {
        const float scaled = static_cast<float>(value / 32768.0);
        uint32_t bits = 0;
        std::memcpy(&bits, &scaled, sizeof bits);
        PutLittleEndian(out, bits, 4);
        return;
    }
    switch (format.bits) {
    case 8:
        PutLittleEndian(out, static_cast<uint32_t>(128 + std::lround(value / 256)), 1);
        break;
    case 16:
        PutLittleEndian(out, static_cast<uint16_t>(static_cast<int16_t>(std::lround(value))), 2);
        break;
    default: // 24 or 32 bits: the same value, shifted up
        PutLittleEndian(out,
                        static_cast<uint32_t>(static_cast<int32_t>(
                            std::lround(value * (1 << (format.bits - 16))))),
                        static_cast<int>(format.bits / 8));
        break;
    }
}

void WriteTone(const std::string& path, const std::string& file) {
    std::ofstream(path, std::ios::binary) << ToneFile(file);
}

bool Connectable(const std::string& socketPath) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    const bool connected =
        connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

// The share of a window's energy that lies at one frequency, from 0 to 1 (Goertzel's filter).
double Share(const int16_t* samples, int count, double energy, double frequency) {
    const double coefficient = 2 * std::cos(2 * std::numbers::pi * frequency / Recording::kRate);
    double previous = 0, beforePrevious = 0;
    for (int i = 0; i < count; ++i) {
        const double current = samples[i] + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
    const double power = previous * previous + beforePrevious * beforePrevious -
                         coefficient * previous * beforePrevious;
    return 2 * power / (count * energy);
}

// The server keeps its runtime files, and the cookie and state it would put in the home
// directory, inside its own directory. It stays in the foreground, so that it is a child of
// this process that ends with it.
Process::Options ServerOptions(const std::string& dir, const std::string& socket) {
    auto env = InheritedEnvironment();
    env.erase("PULSE_SERVER");
    env["XDG_RUNTIME_DIR"] = dir;
    env["HOME"] = dir;
    return {.command = {"/usr/bin/pulseaudio", "--daemonize=no", "--system=false",
                        "--exit-idle-time=-1", "--use-pid-file=no", "-n",
                        "--load=module-null-sink sink_name=null",
                        "--load=module-native-protocol-unix socket=" + socket + " auth-anonymous=1",
                        "--log-target=stderr"},
            .environment = env};
}

// Without a short latency the last part of the recording never reaches the file.
Process::Options RecorderOptions(const SoundServer& server) {
    auto env = InheritedEnvironment();
    env["PULSE_SERVER"] = server.Address();
    return {.command = {"/usr/bin/parec", "--latency-msec=20", "-d", "null.monitor",
                        "--format=s16le", "--rate=" + std::to_string(Recording::kRate),
                        "--channels=1"},
            .environment = env};
}

} // namespace

std::string ToneFile(const std::string& sound, const SampleFormat& format) {
    const double frequency = ToneOf(sound);
    const auto rate = static_cast<int>(format.rate);
    const int toneSamples = static_cast<int>(kToneSeconds * rate);
    const int total = toneSamples + static_cast<int>(kSilenceSeconds * rate);
    const int fade = static_cast<int>(kFadeSeconds * rate);
    std::string data;
    for (int i = 0; i < total; ++i) {
        double value = 0;
        if (i < toneSamples) {
            // Faded in and out, so that the edges do not click.
            const double ramp = std::min({1.0, double(i) / fade, double(toneSamples - i) / fade});
            value = kToneAmplitude * ramp * std::sin(2 * std::numbers::pi * frequency * i / rate);
        }
        for (uint32_t channel = 0; channel < format.channels; ++channel) {
            PutSample(data, value, format);
        }
    }
    return WaveFile(format.channels, format.rate, format.bits, data, format.floating);
}

std::string WaveFile(uint32_t channels, uint32_t rate, uint32_t bitsPerSample,
                     const std::string& samples, bool floating) {
    const uint32_t blockAlign = channels * (bitsPerSample / 8);
    std::string file = "RIFF";
    PutLittleEndian(file, static_cast<uint32_t>(36 + samples.size()), 4);
    file += "WAVEfmt ";
    PutLittleEndian(file, 16, 4);
    PutLittleEndian(file, floating ? 3 : 1, 2); // floating point or linear PCM
    PutLittleEndian(file, channels, 2);
    PutLittleEndian(file, rate, 4);
    PutLittleEndian(file, rate * blockAlign, 4);
    PutLittleEndian(file, blockAlign, 2);
    PutLittleEndian(file, bitsPerSample, 2);
    file += "data";
    PutLittleEndian(file, static_cast<uint32_t>(samples.size()), 4);
    return file + samples;
}

const std::vector<std::string>& SoundFiles() {
    static const std::vector<std::string> files{
        "1am.wav",  "2am.wav",  "3am.wav",  "4am.wav",   "5am.wav",     "6am.wav",  "7am.wav",
        "8am.wav",  "9am.wav",  "10am.wav", "11am.wav",  "24am.wav",    "13pm.wav", "14pm.wav",
        "15pm.wav", "16pm.wav", "17pm.wav", "18pm.wav",  "19pm.wav",    "20pm.wav", "21pm.wav",
        "22pm.wav", "23pm.wav", "12pm.wav", "media.wav", "finreloj.wav"};
    return files;
}

double ToneOf(const std::string& file) {
    const auto& files = SoundFiles();
    const auto found = std::find(files.begin(), files.end(), file);
    if (found == files.end()) {
        return 0;
    }
    return kLowestTone + kToneStep * static_cast<double>(found - files.begin());
}

TonePrefix::TonePrefix() {
    const std::filesystem::path root = m_dir.Path();
    std::filesystem::create_directories(root / "bin");
    std::filesystem::create_directories(root / "share/reloj/sonidos");
    m_binary = (root / "bin/reloj").string();
    std::filesystem::copy_file(BuiltProgram(), m_binary);
    for (const std::string& file : SoundFiles()) {
        WriteTone((root / "share/reloj/sonidos" / file).string(), file);
    }
}

void TonePrefix::Replace(const std::string& file, const std::string& bytes) const {
    std::ofstream(m_dir.Path() + "/share/reloj/sonidos/" + file, std::ios::binary | std::ios::trunc)
        << bytes;
}

SoundServer::SoundServer(When start) : m_socket(m_dir.Path() + "/pulse.sock") {
    if (start == When::Now) {
        Start();
    }
}

SoundServer::~SoundServer() {
    if (m_server) {
        m_server->Stop(SIGTERM, 3s);
    }
}

void SoundServer::Start() {
    m_server.emplace(ServerOptions(m_dir.Path(), m_socket));
    const bool up = PollUntil([&] { return Connectable(m_socket) || !m_server->Running(); }, 10s);
    if (!up || !m_server->Running()) {
        throw std::runtime_error("the sound server did not start: " + Log());
    }
}

void SoundServer::Kill(int signal) {
    if (!m_server) {
        return;
    }
    if (!m_server->Stop(signal, 5s)) {
        throw std::runtime_error("the sound server did not end: " + Log());
    }
    m_pastLog += m_server->ErrorOutput();
    m_server.reset();
}

std::string SoundServer::Log() const {
    return m_pastLog + (m_server ? m_server->ErrorOutput() : std::string());
}

Recording::Recording(const SoundServer& server) : m_recorder(RecorderOptions(server)) {
    // The null sink plays silence when nothing else: samples flow as soon as recording runs.
    if (!PollUntil([&] { return Seconds() > 0; }, 10s)) {
        throw std::runtime_error("the recorder did not start: " + m_recorder.ErrorOutput());
    }
}

double Recording::Seconds() const {
    std::error_code error;
    const auto bytes = std::filesystem::file_size(m_recorder.OutputFile(), error);
    return error ? 0.0 : static_cast<double>(bytes) / (2.0 * kRate);
}

std::vector<int16_t> Recording::Stop() {
    m_recorder.Stop(SIGINT, 3s);
    const std::string bytes = m_recorder.Output();
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

void PrintTo(const Heard& heard, std::ostream* out) {
    *out << heard.file << " at " << heard.start << " s for " << heard.seconds << " s";
}

Hearing Listen(const std::vector<int16_t>& samples) {
    // Quieter than this is silence: a tone is about 11,500 in root mean square.
    constexpr double kQuiet = 500.0;
    // A tone is present in a window when it holds this share of the window's energy: a window
    // the tone only half fills (its start or end) still holds half.
    constexpr double kPresent = 0.2;
    // Gaps this short within one tone are a hiccup of the sound path, not a second playing:
    // every file ends in 0.3 s of silence.
    constexpr int kBridgedWindows = 3;
    // A tone must last this long to count (each of them lasts 0.6 s): shorter ones are edges,
    // clicks, or a voice passing through a tone's frequency.
    constexpr int kShortestWindows = 5;

    const auto& files = SoundFiles();
    const int windows = static_cast<int>(samples.size()) / kWindow;
    // For each file, the windows where its tone is present.
    std::vector<std::vector<bool>> present(files.size(), std::vector<bool>(windows, false));
    Hearing hearing;
    double soundEnergy = 0, unexplainedEnergy = 0;
    for (int w = 0; w < windows; ++w) {
        const int16_t* window = samples.data() + static_cast<std::size_t>(w) * kWindow;
        double energy = 0;
        for (int i = 0; i < kWindow; ++i) {
            energy += double(window[i]) * window[i];
        }
        if (std::sqrt(energy / kWindow) < kQuiet) {
            continue;
        }
        double explained = 0;
        for (std::size_t f = 0; f < files.size(); ++f) {
            const double share = Share(window, kWindow, energy, ToneOf(files[f]));
            explained += share;
            present[f][w] = share >= kPresent;
        }
        soundEnergy += energy;
        unexplainedEnergy += energy * std::max(0.0, 1.0 - explained);
    }
    hearing.unexplained = soundEnergy > 0 ? unexplainedEnergy / soundEnergy : 0.0;
    for (std::size_t f = 0; f < files.size(); ++f) {
        int w = 0;
        while (w < windows) {
            if (!present[f][w]) {
                ++w;
                continue;
            }
            const int first = w;
            int last = w;
            for (int next = w + 1; next < windows && next - last <= kBridgedWindows + 1; ++next) {
                if (present[f][next]) {
                    last = next;
                }
            }
            if (last - first + 1 >= kShortestWindows) {
                hearing.tones.push_back(
                    {files[f], first * kWindowSeconds, (last - first + 1) * kWindowSeconds});
            }
            w = last + 1;
        }
    }
    std::sort(hearing.tones.begin(), hearing.tones.end(),
              [](const Heard& a, const Heard& b) { return a.start < b.start; });
    return hearing;
}

void PrintTo(const Request& request, std::ostream* out) {
    *out << request.file << " at " << request.at;
}

std::vector<Request> Requests(const std::string& errorOutput) {
    constexpr std::string_view kPlay = " reloj.sound: play ";
    std::vector<Request> requests;
    std::istringstream lines(errorOutput);
    for (std::string line; std::getline(lines, line);) {
        const auto at = line.find(kPlay);
        if (at != std::string::npos) {
            requests.push_back({line.substr(0, at), line.substr(at + kPlay.size())});
        }
    }
    return requests;
}

std::vector<std::string> FilesOf(const std::vector<Request>& requests) {
    std::vector<std::string> files;
    for (const Request& request : requests) {
        files.push_back(request.file);
    }
    return files;
}

std::vector<Request> Requested(const RunningClock& clock) {
    return Requests(clock.ErrorOutput());
}

std::vector<std::string> Played(const RunningClock& clock) {
    return FilesOf(Requested(clock));
}

} // namespace reloj::e2e
