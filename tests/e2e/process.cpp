#include "process.h"

#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sched.h>
#include <sstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace reloj::e2e {

namespace {

// Low among real-time priorities: above every ordinary process, below the system's own.
constexpr int kRealTimePriority = 10;

std::optional<int> Reap(pid_t pid, bool block) {
    int status = 0;
    if (waitpid(pid, &status, block ? 0 : WNOHANG) != pid) {
        return std::nullopt;
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return WEXITSTATUS(status);
}

bool SetRealTime(pid_t pid) {
    sched_param priority{};
    priority.sched_priority = kRealTimePriority;
    return sched_setscheduler(pid, SCHED_FIFO, &priority) == 0;
}

// In the child: the file in place of one of the standard descriptors.
void Redirect(const std::string& path, int flags, int target) {
    const int fd = open(path.c_str(), flags, 0600);
    if (fd >= 0 && fd != target) {
        dup2(fd, target);
        close(fd);
    }
}

// Strings for exec, which wants them writable and ended by a null pointer.
std::vector<char*> NullTerminated(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) {
        pointers.push_back(s.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

QuickWakeUps::QuickWakeUps() : m_fd(open("/dev/cpu_dma_latency", O_WRONLY | O_CLOEXEC)) {
    const int32_t noLatency = 0;
    if (m_fd >= 0 && write(m_fd, &noLatency, sizeof noLatency) != sizeof noLatency) {
        close(m_fd);
        m_fd = -1;
    }
}

QuickWakeUps::~QuickWakeUps() {
    if (m_fd >= 0) {
        close(m_fd);
    }
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "reloj-e2e-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::map<std::string, std::string> InheritedEnvironment() {
    std::map<std::string, std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const auto equals = entry.find('=');
        if (equals != std::string::npos) {
            env[entry.substr(0, equals)] = entry.substr(equals + 1);
        }
    }
    return env;
}

std::vector<std::string> MissingPrograms(const std::vector<std::string>& programs) {
    std::vector<std::string> missing;
    const char* path = std::getenv("PATH");
    for (const std::string& program : programs) {
        bool found = program.find('/') != std::string::npos && access(program.c_str(), X_OK) == 0;
        std::istringstream folders(program.find('/') == std::string::npos && path ? path : "");
        std::string folder;
        while (!found && std::getline(folders, folder, ':')) {
            found = !folder.empty() && access((folder + "/" + program).c_str(), X_OK) == 0;
        }
        if (!found) {
            missing.push_back(program);
        }
    }
    return missing;
}

std::string Joined(const std::vector<std::string>& names, const std::string& separator) {
    std::string line;
    for (const std::string& name : names) {
        line += (line.empty() ? "" : separator) + name;
    }
    return line;
}

Process::Process(const Options& options) {
    std::vector<std::string> envStrings;
    for (const auto& [name, value] : options.environment) {
        envStrings.push_back(name + "=" + value);
    }
    std::vector<std::string> args = options.command;
    const std::vector<char*> envp = NullTerminated(envStrings);
    const std::vector<char*> argv = NullTerminated(args);
    const std::string output = OutputFile();
    const std::string errors = m_dir.Path() + "/stderr";

    m_pid = fork();
    if (m_pid == 0) {
        Redirect(options.input, O_RDONLY, 0);
        Redirect(output, O_WRONLY | O_CREAT | O_TRUNC, 1);
        Redirect(errors, O_WRONLY | O_CREAT | O_TRUNC, 2);
        // Should the test itself be killed (a timeout, say), its children go with it instead
        // of running on, one of them perhaps at a real-time priority.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (options.realTime) {
            SetRealTime(0);
        }
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    if (m_pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (options.realTime) {
        // Set here too, so that the answer is known whether or not the child got there first.
        m_realTime = SetRealTime(m_pid);
        m_quickWakeUps.emplace();
    }
}

Process::~Process() {
    Stop();
}

std::optional<int> Process::WaitForExit(std::chrono::milliseconds timeout) {
    PollUntil(
        [&] {
            if (!m_status) {
                m_status = Reap(m_pid, false);
            }
            return m_status.has_value();
        },
        timeout, 10ms);
    return m_status;
}

bool Process::Running() {
    return !WaitForExit(0ms);
}

bool Process::Stop(int signal, std::chrono::milliseconds timeout) {
    if (m_status) {
        return true;
    }
    kill(m_pid, signal);
    if (WaitForExit(timeout)) {
        return true;
    }
    kill(m_pid, SIGKILL);
    m_status = Reap(m_pid, true);
    return false;
}

std::string Process::Output() const {
    return ReadFile(OutputFile());
}

std::string Process::ErrorOutput() const {
    return ReadFile(m_dir.Path() + "/stderr");
}

std::string Process::FirstLine(std::chrono::milliseconds timeout) {
    std::string output;
    PollUntil(
        [&] {
            output = Output();
            return output.find('\n') != std::string::npos || !Running();
        },
        timeout);
    const auto end = output.find('\n');
    return end == std::string::npos ? std::string() : output.substr(0, end);
}

} // namespace reloj::e2e
