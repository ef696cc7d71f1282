#include "qt/zone_watch.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <sys/inotify.h>
#include <unistd.h>

namespace reloj {

namespace {

constexpr const char* kDefaultZoneFile = "/etc/localtime";
constexpr const char* kDefaultZoneFolder = "/usr/share/zoneinfo";

// Whatever names the file: a new file or link moved or made in its place, the file rewritten,
// removed, or its attributes changed.
constexpr uint32_t kZoneFileEvents =
    IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE | IN_DELETE | IN_MOVED_FROM | IN_ATTRIB | IN_ONLYDIR;

} // namespace

std::string ZoneFileFor(const char* tz) {
    if (tz == nullptr) {
        return kDefaultZoneFile;
    }
    std::string_view name(tz);
    if (name.empty()) {
        return {}; // the C library takes UTC
    }
    if (name.front() == ':') {
        name.remove_prefix(1);
        if (name.empty()) {
            return kDefaultZoneFile;
        }
    }
    if (name.front() == '/') {
        return std::string(name);
    }
    // A name the zone folder may hold; a rule ("CET-1CEST") is no file, and then nothing there
    // matches, which is harmless.
    const char* folder = std::getenv("TZDIR");
    return std::string(folder != nullptr && *folder != '\0' ? folder : kDefaultZoneFolder) + "/" +
           std::string(name);
}

ZoneWatch::ZoneWatch() {
    const std::filesystem::path file = ZoneFileFor(std::getenv("TZ"));
    if (file.empty()) {
        return;
    }
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) {
        return;
    }
    if (inotify_add_watch(m_fd, file.parent_path().c_str(), kZoneFileEvents) < 0) {
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    m_fileName = file.filename().string();
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
    // Without a watch nobody would say so: the zone is read every time.
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
                (event->len > 0 && m_fileName == event->name)) {
                m_changed = true;
            }
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

} // namespace reloj
