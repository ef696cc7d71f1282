// Tells when a file is replaced, rewritten or removed, through an inotify watch on its folder:
// tools that change such a file usually write a new one and rename it into place, which a
// watch on the file itself would not follow. The folder must exist when the watch starts; a
// watch that cannot be set up says so and never calls. What a change means is the caller's.
#pragma once

#include <QSocketNotifier>
#include <functional>
#include <memory>
#include <string>

namespace reloj {

class FileWatch {
  public:
    FileWatch(const std::string& path, std::function<void()> changed);
    ~FileWatch();
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;

    bool Watching() const { return m_fd >= 0; }

  private:
    void ReadEvents();

    std::function<void()> m_changed;
    std::string m_name;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace reloj
