// SecondTimer: the tick a window asks for, at the start of a wall-clock second. The timer counts
// on the monotonic clock and is aimed afresh from the wall clock each time; whoever learns that
// the wall clock jumped or the zone changed says so (TimeChanged), and a tick that is waiting
// comes at the start of the next second instead. What a tick does is its owner's; what it
// changed goes to the X server at once.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <optional>

namespace reloj {

class SecondTimer final : public QObject {
    Q_OBJECT

  public:
    // A child of `parent`, gone with it; `tick` runs on each tick asked for.
    SecondTimer(QObject* parent, std::function<void()> tick);

    // The next tick comes shortly after the wall-clock second `epochSecond` begins, or at once
    // if it has begun; each call replaces the one before.
    void TickAt(int64_t epochSecond);
    void TimeChanged();
    // No tick comes until one is asked again.
    void Stop();

  private:
    void Aim();
    void Fire();

    QTimer m_timer;
    // The wall-clock second the next tick is for, while one is asked.
    std::optional<int64_t> m_second;
    std::function<void()> m_tick;
};

} // namespace reloj
