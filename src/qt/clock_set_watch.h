// Tells the clock when the wall clock has jumped: set by hand or by NTP, or moved on while the
// machine slept. A clock that sleeps until its next minute would otherwise wake at the wrong
// wall-clock time, and show the wrong hands until then. The kernel says so through a
// CLOCK_REALTIME timerfd armed far ahead with TFD_TIMER_CANCEL_ON_SET: every such jump cancels
// it, which makes it readable. A program whose clock is faked in user space (the tests run the
// clock under libfaketime) sees no such jump; for it, RELOJ_TIME_SET_FILE may name a file whose
// every change counts as one. What to do after a jump is left to the caller.
#pragma once

#include "qt/file_watch.h"

#include <QSocketNotifier>
#include <functional>
#include <memory>
#include <optional>

namespace reloj {

class ClockSetWatch {
  public:
    ClockSetWatch();
    ~ClockSetWatch();
    ClockSetWatch(const ClockSetWatch&) = delete;
    ClockSetWatch& operator=(const ClockSetWatch&) = delete;

    // Calls `jumped` after every jump of the wall clock from now on.
    void Watch(std::function<void()> jumped);

  private:
    bool Arm();
    void OnTimer();

    std::function<void()> m_jumped;
    int m_timer = -1;
    std::unique_ptr<QSocketNotifier> m_timerNotifier;
    std::optional<FileWatch> m_timeSetFile;
};

} // namespace reloj
