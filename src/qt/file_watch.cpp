#include "qt/file_watch.h"

#include <array>
#include <filesystem>
#include <string_view>
#include <sys/inotify.h>
#include <unistd.h>

namespace reloj {

namespace {

// Whatever names the file: a new file or link moved or made in its place, the file rewritten,
// removed, or its attributes changed.
constexpr uint32_t kFileEvents =
    IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE | IN_DELETE | IN_MOVED_FROM | IN_ATTRIB | IN_ONLYDIR;

} // namespace

FileWatch::FileWatch(const std::string& path, std::function<void()> changed)
    : m_changed(std::move(changed)) {
    const std::filesystem::path file(path);
    m_name = file.filename().string();
    const std::string folder = file.has_parent_path() ? file.parent_path().string() : ".";
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) {
        return;
    }
    if (inotify_add_watch(m_fd, folder.c_str(), kFileEvents) < 0) {
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { ReadEvents(); });
}

FileWatch::~FileWatch() {
    m_notifier.reset();
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void FileWatch::ReadEvents() {
    alignas(inotify_event) std::array<char, 4096> buffer{};
    bool changed = false;
    ssize_t length = 0;
    while ((length = ::read(m_fd, buffer.data(), buffer.size())) > 0) {
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + offset);
            // A full queue may have dropped the event that mattered.
            changed = changed || (event->mask & IN_Q_OVERFLOW) != 0 ||
                      (event->len > 0 && std::string_view(event->name) == m_name);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    if (changed) {
        m_changed();
    }
}

} // namespace reloj
