// Preloaded, with libfaketime after it, into a program whose clock runs many times as fast as
// the real one. libfaketime divides a poll() timeout, given in whole milliseconds, by the rate
// and keeps whole milliseconds: at 1000 times and more every wait becomes zero, and an event
// loop that waits for its next timer with poll() spins at full speed instead of sleeping. This
// poll() scales the timeout to nanoseconds and waits with ppoll() directly, so the program
// sleeps between its timers as it does at the real speed. The rate is SCALED_POLL_RATE, the
// same as libfaketime's; without it, or with a rate that is not a positive number, waits are
// left as they are.
#include <cstdlib>
#include <ctime>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr long long kNanosecondsPerMillisecond = 1'000'000;
constexpr long long kNanosecondsPerSecond = 1'000'000'000;
// The kernel's signal set is 64 bits; no mask is passed, but the size is still checked.
constexpr long kKernelSigsetBytes = 8;

double Rate() {
    static const double rate = [] {
        const char* text = std::getenv("SCALED_POLL_RATE");
        const double value = text != nullptr ? std::strtod(text, nullptr) : 1.0;
        return value > 0.0 ? value : 1.0;
    }();
    return rate;
}

int RawPpoll(pollfd* fds, nfds_t count, const timespec* timeout) {
    return static_cast<int>(
        syscall(SYS_ppoll, fds, count, timeout, nullptr, kKernelSigsetBytes));
}

} // namespace

extern "C" int poll(pollfd* fds, nfds_t count, int timeoutMs) {
    if (timeoutMs < 0) {
        return RawPpoll(fds, count, nullptr);
    }
    const auto nanoseconds = static_cast<long long>(
        static_cast<double>(timeoutMs) * kNanosecondsPerMillisecond / Rate());
    const timespec timeout{static_cast<time_t>(nanoseconds / kNanosecondsPerSecond),
                           static_cast<long>(nanoseconds % kNanosecondsPerSecond)};
    return RawPpoll(fds, count, &timeout);
}
