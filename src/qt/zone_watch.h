// ZoneWatch tells the clock when the machine's time zone may have changed, so that the zone is
// read again only then and not on every tick. Without TZ the C library reads /etc/localtime,
// which the tools that change the zone replace; an inotify watch on /etc sees that without the
// clock waking for anything else. With TZ set, the C library keeps the zone it first read
// whatever the files do, and asking it again costs no look at a file. Where no watch can be set
// up, every question is answered yes, and the zone is read on every tick as a last resort.
#pragma once

#include <QSocketNotifier>
#include <memory>

namespace reloj {

class ZoneWatch {
  public:
    ZoneWatch();
    ~ZoneWatch();
    ZoneWatch(const ZoneWatch&) = delete;
    ZoneWatch& operator=(const ZoneWatch&) = delete;

    // Whether the zone may have changed since the last call; true on the first.
    bool TakeChange();

  private:
    void ReadEvents();

    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_changed = true;
};

} // namespace reloj
