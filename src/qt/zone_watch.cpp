#include "qt/zone_watch.h"

#include <cstdlib>

namespace reloj {

namespace {

constexpr const char* kZoneFile = "/etc/localtime";

} // namespace

ZoneWatch::ZoneWatch() {
    if (std::getenv("TZ") != nullptr) {
        return;
    }
    m_file.emplace(kZoneFile, [this] {
        m_changed = true;
        if (m_changedCall) {
            m_changedCall();
        }
    });
    if (!m_file->Watching()) {
        m_file.reset();
    }
}

bool ZoneWatch::TakeChange() {
    // Without a watch nobody would say so: the zone is read every time (with TZ set, reading it
    // again only compares TZ with what was read before).
    if (!m_file) {
        return true;
    }
    const bool changed = m_changed;
    m_changed = false;
    return changed;
}

} // namespace reloj
