// What the chime tests need beyond the X server: a copy of the program whose sound files are
// pure test tones, a private sound server with a silent output that can be recorded, a
// listener that tells from a recording which tones sounded and when, and a reader of the play
// requests a clock logged. Starting the clock with its play log and pointed at the sound server
// is running_clock.h's business; running and stopping the processes is process.h's.
#pragma once

#include "running_clock.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace reloj::e2e {

// The 26 sound files the program knows, in the order of their tones.
const std::vector<std::string>& SoundFiles();

// The frequency of the tone that stands in for a sound file, in hertz; 0 for an unknown file.
double ToneOf(const std::string& file);

// A linear PCM (or floating-point) wave file of the given format around `samples`, which are
// taken as they are.
std::string WaveFile(uint32_t channels, uint32_t rate, uint32_t bitsPerSample,
                     const std::string& samples, bool floating = false);

// The program copied into a prefix of its own, bin/reloj beside share/reloj/sonidos: the
// program finds its sounds from its own real path, so only a copy (not a link) hears these.
// Every sound file there is ToneFile of its name, mono 16-bit.
class TonePrefix {
  public:
    TonePrefix();
    const std::string& Binary() const { return m_binary; }
    // Puts `bytes` in place of one of the sound files.
    void Replace(const std::string& file, const std::string& bytes) const;

  private:
    TempDir m_dir;
    std::string m_binary;
};

// A private sound server whose only output is a null sink named "null", reached through a
// socket of its own; it is stopped when the object goes.
class SoundServer {
  public:
    enum class When { Now, Later };
    // Starts the server, unless asked to leave that to Start.
    explicit SoundServer(When start = When::Now);
    ~SoundServer();
    SoundServer(const SoundServer&) = delete;
    SoundServer& operator=(const SoundServer&) = delete;

    // The value for PULSE_SERVER.
    std::string Address() const { return "unix:" + m_socket; }
    // What the server said, for a failure message.
    std::string Log() const;

    // Starts the server on its socket: the first time, or again after Kill.
    void Start();
    // Ends the server with a signal, as a crash or a restart does, and waits until it is gone.
    void Kill(int signal);

  private:
    TempDir m_dir;
    std::string m_socket;
    std::string m_pastLog; // what the servers that were killed said
    std::optional<Process> m_server;
};

// Everything the server's null sink plays from the moment the object is made, as 16-bit mono
// samples at kRate; recording stops at Stop() or when the object goes.
class Recording {
  public:
    static constexpr int kRate = 44100;

    explicit Recording(const SoundServer& server);
    // How many seconds have been recorded so far: a time on the recording's own clock.
    double Seconds() const;
    std::vector<int16_t> Stop();

  private:
    Process m_recorder;
};

struct SampleFormat {
    uint32_t channels = 1;
    uint32_t bits = 16;
    bool floating = false;
    uint32_t rate = Recording::kRate;
};

// A sound file that sounds the tone of `sound` (0.6 s, then 0.3 s of silence) in the given
// format, the same sample in every channel.
std::string ToneFile(const std::string& sound, const SampleFormat& format = {});

// One tone heard in a recording: the file it stands for, where it starts and how long it lasts.
struct Heard {
    std::string file;
    double start = 0;
    double seconds = 0;
};
void PrintTo(const Heard& heard, std::ostream* out);

struct Hearing {
    std::vector<Heard> tones; // in order of their start
    // The share of the sound's energy that none of the tones accounts for, from 0 to 1: a
    // window a tone only partly fills leaves a little, a sound of another kind nearly all.
    double unexplained = 0;
};

// Which of the sound files' tones a recording holds, found in 50 ms windows.
Hearing Listen(const std::vector<int16_t>& samples);

// A play request from the program's log: the faked moment it was written ("YYYY-MM-DD
// HH:MM:SS.zzz", as the program's own clock said) and the file.
struct Request {
    std::string at;
    std::string file;
};
void PrintTo(const Request& request, std::ostream* out);

// The "reloj.sound: play FILE" lines of a program's error output written with
// PlayLog::Timed, in order.
std::vector<Request> Requests(const std::string& errorOutput);
std::vector<std::string> FilesOf(const std::vector<Request>& requests);

// What a clock started with PlayLog::Timed has asked to play so far, and the files alone.
std::vector<Request> Requested(const RunningClock& clock);
std::vector<std::string> Played(const RunningClock& clock);

} // namespace reloj::e2e
