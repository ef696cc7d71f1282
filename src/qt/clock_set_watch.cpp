#include "qt/clock_set_watch.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <sys/timerfd.h>
#include <unistd.h>

namespace reloj {

namespace {

// How far ahead the watch is armed. It is never meant to expire; if it does, it is armed again.
constexpr time_t kArmedAheadSeconds = 10L * 365 * 24 * 60 * 60;

} // namespace

ClockSetWatch::ClockSetWatch() {
    m_timer = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_timer >= 0 && Arm()) {
        m_timerNotifier = std::make_unique<QSocketNotifier>(m_timer, QSocketNotifier::Read);
        QObject::connect(m_timerNotifier.get(), &QSocketNotifier::activated, [this] { OnTimer(); });
    }
    if (const char* path = std::getenv("RELOJ_TIME_SET_FILE"); path != nullptr && *path != '\0') {
        m_timeSetFile.emplace(path, [this] {
            if (m_jumped) {
                m_jumped();
            }
        });
    }
}

ClockSetWatch::~ClockSetWatch() {
    m_timerNotifier.reset();
    if (m_timer >= 0) {
        ::close(m_timer);
    }
}

void ClockSetWatch::Watch(std::function<void()> jumped) {
    m_jumped = std::move(jumped);
}

bool ClockSetWatch::Arm() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    itimerspec deadline{};
    deadline.it_value.tv_sec = now.tv_sec + kArmedAheadSeconds;
    return timerfd_settime(m_timer, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &deadline,
                           nullptr) == 0;
}

void ClockSetWatch::OnTimer() {
    uint64_t expirations = 0;
    // A jump makes the read fail with ECANCELED; a timer that expired reads its count. Either
    // way the watch is armed again, for the next jump.
    const bool jumped = ::read(m_timer, &expirations, sizeof expirations) < 0 && errno == ECANCELED;
    if (!Arm()) {
        m_timerNotifier.reset();
    }
    if (jumped && m_jumped) {
        m_jumped();
    }
}

} // namespace reloj
