#include "folder_watch.h"

#include "text.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace platform {

FolderWatch::FolderWatch(std::u16string const& folder, WatchFor what)
{
    uint32_t const writes = what == WatchFor::WRITES ? IN_MODIFY | IN_CREATE : 0;
    inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (inotify_ >= 0)
        watch_ = inotify_add_watch(inotify_, to_utf8(folder).c_str(),
            writes | IN_CLOSE_WRITE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR);
}

FolderWatch::~FolderWatch()
{
    if (inotify_ >= 0)
        ::close(inotify_);
    if (wake_ >= 0)
        ::close(wake_);
}

void FolderWatch::interrupt()
{
    uint64_t const one = 1;
    if (wake_ >= 0) [[maybe_unused]]
        auto written = ::write(wake_, &one, sizeof one);
}

std::vector<std::u16string> FolderWatch::take_changes()
{
    std::vector<std::u16string> names;
    alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
    for (;;) {
        ssize_t const n = ::read(inotify_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            auto const* event = reinterpret_cast<inotify_event const*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->len == 0 || at > n)
                continue;
            auto name = from_utf8(std::string(event->name, strnlen(event->name, event->len)));
            if (std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(std::move(name));
        }
    }
    return names;
}

std::vector<std::u16string> FolderWatch::wait(int timeout_ms)
{
    if (!is_valid())
        return {};
    pollfd fds[2] = { { inotify_, POLLIN, 0 }, { wake_, POLLIN, 0 } };
    int const ready = ::poll(fds, wake_ >= 0 ? 2 : 1, timeout_ms);
    if (ready <= 0)
        return {};
    if (wake_ >= 0 && (fds[1].revents & POLLIN)) {
        uint64_t count = 0;
        [[maybe_unused]] auto got = ::read(wake_, &count, sizeof count);
        return {};
    }
    return take_changes();
}

} // namespace platform
