#include "qt/zone_watch.h"

#include <array>
#include <cstdlib>
#include <string_view>
#include <sys/inotify.h>
#include <unistd.h>

namespace reloj {

namespace {

constexpr const char* kZoneFolder = "/etc";
constexpr const char* kZoneFileName = "localtime";

// Whatever names the file: a new file or link moved or made in its place, the file rewritten,
// removed, or its attributes changed.
constexpr uint32_t kZoneFileEvents =
    IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE | IN_DELETE | IN_MOVED_FROM | IN_ATTRIB | IN_ONLYDIR;

} // namespace

ZoneWatch::ZoneWatch() {
    if (std::getenv("TZ") != nullptr) {
        return;
    }
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) {
        return;
    }
    if (inotify_add_watch(m_fd, kZoneFolder, kZoneFileEvents) < 0) {
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { ReadEvents(); });
}

ZoneWatch::~ZoneWatch() {
    m_notifier.reset();
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool ZoneWatch::TakeChange() {
    // Without a watch nobody would say so: the zone is read every time (with TZ set, reading it
    // again only compares TZ with what was read before).
    if (m_fd < 0) {
        return true;
    }
    const bool changed = m_changed;
    m_changed = false;
    return changed;
}

void ZoneWatch::ReadEvents() {
    alignas(inotify_event) std::array<char, 4096> buffer{};
    while (true) {
        const ssize_t length = ::read(m_fd, buffer.data(), buffer.size());
        if (length <= 0) {
            return;
        }
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + offset);
            // A full queue may have dropped the event that mattered.
            if ((event->mask & IN_Q_OVERFLOW) != 0 ||
                (event->len > 0 && std::string_view(event->name) == kZoneFileName)) {
                m_changed = true;
            }
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

} // namespace reloj
