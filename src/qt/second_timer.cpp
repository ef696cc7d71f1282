#include "qt/second_timer.h"

#include <QDateTime>
#include <QGuiApplication>
#include <algorithm>
#include <limits>
#include <xcb/xcb.h>

namespace reloj {

namespace {

// A tick comes this long after the wall-clock second begins, so that the second read by the
// handler is the one the tick belongs to even if the timer fires a little early.
constexpr int64_t kTickLateMs = 5;
constexpr int64_t kMsPerSecond = 1000;

void FlushWindowSystem() {
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        xcb_flush(x11->connection());
    }
}

} // namespace

SecondTimer::SecondTimer(QObject* parent, std::function<void()> tick)
    : QObject(parent), m_tick(std::move(tick)) {
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] { Fire(); });
}

void SecondTimer::TickAt(int64_t epochSecond) {
    m_second = epochSecond;
    Aim();
}

void SecondTimer::TimeChanged() {
    if (m_second) {
        TickAt(QDateTime::currentMSecsSinceEpoch() / kMsPerSecond + 1);
    }
}

void SecondTimer::Stop() {
    m_timer.stop();
    m_second.reset();
}

// A few milliseconds into the second asked for. A jump of the wall clock meanwhile is told by
// TimeChanged.
void SecondTimer::Aim() {
    const int64_t now = QDateTime::currentMSecsSinceEpoch();
    const int64_t delay = std::max<int64_t>(0, *m_second * kMsPerSecond + kTickLateMs - now);
    m_timer.start(static_cast<int>(std::min<int64_t>(delay, std::numeric_limits<int>::max())));
}

void SecondTimer::Fire() {
    if (!m_second) {
        return;
    }
    // Early, when the wall clock went back while the timer ran: aimed again.
    if (QDateTime::currentMSecsSinceEpoch() / kMsPerSecond < *m_second) {
        Aim();
        return;
    }
    // The handler asks for the next tick, if any; it may open a modal message box, and the
    // clock goes on ticking under it.
    m_second.reset();
    m_tick();
    // Qt sends a new shape, a raise or a repaint only when it next has an X event to handle; a
    // tick has none, so the hands and the calculator's result would wait for the pointer to
    // move. Send them now.
    FlushWindowSystem();
}

} // namespace reloj
