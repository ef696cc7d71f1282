// ZoneWatch tells the clock when the machine's time zone may have changed, so that the zone is
// read again only then and not on every tick. The zone comes from a file (/etc/localtime, or
// the one TZ names); tools that change the zone replace that file, and an inotify watch on its
// folder sees it without the clock waking for anything else. Where no watch can be set up,
// every question is answered yes, and the zone is read on every tick as a last resort.
#pragma once

#include <QSocketNotifier>
#include <memory>
#include <string>

namespace reloj {

// The zone file the C library reads for a value of TZ (null when TZ is unset): /etc/localtime
// by default, the file after a leading ':', or a name under the zone folder. Empty when TZ
// holds a rule rather than a file (such as "CET-1CEST"), which cannot change while the clock
// runs.
std::string ZoneFileFor(const char* tz);

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
    std::string m_fileName; // the zone file's name within the watched folder
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_changed = true;
};

} // namespace reloj
