#include "calculator_null_sink.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

namespace reloj::e2e {

namespace {

// Starts a program with exactly this environment, its output into a file or nowhere.
pid_t Spawn(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
            const std::string& output) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int quiet = open("/dev/null", O_WRONLY);
        const int out =
            output.empty() ? quiet : open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        dup2(quiet, 2);
        std::vector<char*> argv;
        for (const std::string& a : arguments) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (const std::string& e : environment) {
            envp.push_back(const_cast<char*>(e.c_str()));
        }
        envp.push_back(nullptr);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    return pid;
}

void End(pid_t pid) {
    if (pid <= 0) {
        return;
    }
    kill(pid, SIGTERM);
    const bool ended = PollUntil(
        [pid] {
            int status = 0;
            return waitpid(pid, &status, WNOHANG) == pid;
        },
        5s);
    if (!ended) {
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
    }
}

} // namespace

namespace {
constexpr const char* kSinkName = "null";
}

NullSink::NullSink() {
    const std::string runtime = m_dir.Path() + "/runtime";
    std::filesystem::create_directory(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    const std::string socket = m_dir.Path() + "/pulse.sock";
    m_address = "unix:" + socket;
    std::vector<std::string> arguments{"/usr/bin/pulseaudio", "--daemonize=no",    "--system=false",
                                       "--exit-idle-time=-1", "--use-pid-file=no", "-n"};
    arguments.push_back(std::string("--load=module-null-sink sink_name=") + kSinkName);
    arguments.push_back("--load=module-native-protocol-unix socket=" + socket +
                        " auth-anonymous=1");
    // Its own home and runtime directory, and no session bus to find.
    m_pid = Spawn(arguments,
                  {"PATH=/usr/bin:/bin", "HOME=" + m_dir.Path(), "XDG_RUNTIME_DIR=" + runtime,
                   "XDG_CONFIG_HOME=" + m_dir.Path()},
                  "");
    m_listening = PollUntil([&] { return std::filesystem::exists(socket); }, 15s, 50ms);
}

NullSink::~NullSink() {
    End(m_pid);
}

std::map<std::string, std::string> NullSink::Environment() const {
    return {{"PULSE_SERVER", m_address}};
}

SinkRecording::SinkRecording(const NullSink& server) {
    m_pid =
        Spawn({"/usr/bin/parec", "--latency-msec=20", "-d", std::string(kSinkName) + ".monitor",
               "--format=s16le", "--rate=" + std::to_string(kRate), "--channels=1"},
              {"PATH=/usr/bin:/bin", "HOME=" + server.Home(), "PULSE_SERVER=" + server.Address()},
              m_dir.Path() + "/recording.raw");
}

SinkRecording::~SinkRecording() {
    Stop();
}

void SinkRecording::Stop() {
    End(m_pid);
    m_pid = -1;
}

std::vector<short> SinkRecording::Samples() const {
    std::ifstream in(m_dir.Path() + "/recording.raw", std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    std::vector<short> samples;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        samples.push_back(static_cast<short>(static_cast<unsigned char>(bytes[i]) |
                                             (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return samples;
}

int SinkRecording::Peak() const {
    int peak = 0;
    for (const short s : Samples()) {
        peak = std::max(peak, std::abs(static_cast<int>(s)));
    }
    return peak;
}

double SinkRecording::Seconds() const {
    return static_cast<double>(Samples().size()) / kRate;
}

} // namespace reloj::e2e
