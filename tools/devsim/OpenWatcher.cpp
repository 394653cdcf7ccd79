#include "OpenWatcher.h"

#include <sys/inotify.h>

namespace devsim {

COpenWatcher::COpenWatcher()
    : m_inotify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
    if (!m_inotify.IsOpen())
        throw SystemError("inotify_init1");
}

int COpenWatcher::Watch(const std::string& path)
{
    const int watch = ::inotify_add_watch(m_inotify.Get(), path.c_str(), IN_OPEN);
    if (watch < 0)
        throw SystemError("cannot watch " + path);
    return watch;
}

void COpenWatcher::Unwatch(int watch)
{
    ::inotify_rm_watch(m_inotify.Get(), watch);
}

std::vector<int> COpenWatcher::TakeOpened()
{
    std::vector<int> opened;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t length = ::read(m_inotify.Get(), buffer, sizeof buffer);
        if (length <= 0)
            return opened;
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->mask & IN_OPEN)
                opened.push_back(event->wd);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

} // namespace devsim
