// A private sound server whose only output is a null sink: sound played into it goes nowhere,
// but what reaches it can be recorded from its monitor and measured, so a test can hear
// whether a program really played anything. One server a program: Qt picks the default output
// by name, so a program cannot be sent to another sink of a shared server.
#pragma once

#include "x_harness.h"

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace reloj::e2e {

class NullSink {
  public:
    // Starts the server and waits for it to listen.
    NullSink();
    ~NullSink();
    NullSink(const NullSink&) = delete;
    NullSink& operator=(const NullSink&) = delete;

    bool Listening() const { return m_listening; }
    // What a program needs in its environment to play into the sink.
    std::map<std::string, std::string> Environment() const;
    const std::string& Address() const { return m_address; }
    const std::string& Home() const { return m_dir.Path(); }

  private:
    TempDir m_dir;
    pid_t m_pid = -1;
    std::string m_address;
    bool m_listening = false;
};

// What reaches a null sink from now until Stop(), as 16-bit mono samples at 8000 Hz.
class SinkRecording {
  public:
    static constexpr int kRate = 8000;

    explicit SinkRecording(const NullSink& server);
    ~SinkRecording();
    SinkRecording(const SinkRecording&) = delete;
    SinkRecording& operator=(const SinkRecording&) = delete;

    void Stop();
    // The loudest sample recorded so far, 0 to 32768.
    int Peak() const;
    // How much has been recorded so far.
    double Seconds() const;

  private:
    std::vector<short> Samples() const;

    TempDir m_dir;
    pid_t m_pid = -1;
};

} // namespace reloj::e2e
