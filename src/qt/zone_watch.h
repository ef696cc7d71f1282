// ZoneWatch tells the clock when the machine's time zone may have changed, so that the zone is
// read again only then and not on every tick, and so that a sleeping clock wakes to show the
// new zone's time. Without TZ the C library reads /etc/localtime, which the tools that change
// the zone replace; a watch on it (FileWatch) sees that without the clock waking for anything
// else. With TZ set, the C library keeps the zone it first read whatever the files do, and
// asking it again costs no look at a file. Where no watch can be set up, every question is
// answered yes, and the zone is read on every tick as a last resort.
#pragma once

#include "qt/file_watch.h"

#include <functional>
#include <optional>

namespace reloj {

class ZoneWatch {
  public:
    ZoneWatch();

    // Whether the zone may have changed since the last call; true on the first.
    bool TakeChange();
    // Calls `changed` after every change of the zone file from now on.
    void Watch(std::function<void()> changed) { m_changedCall = std::move(changed); }

  private:
    std::optional<FileWatch> m_file;
    bool m_changed = true;
    std::function<void()> m_changedCall;
};

} // namespace reloj
