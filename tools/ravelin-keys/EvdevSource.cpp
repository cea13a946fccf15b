#include "EvdevSource.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <libevdev/libevdev.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <unistd.h>
#include <vector>

using platform::InputEvent;

namespace {

bool is_event_node(std::string const& name)
{
    return name.starts_with("event");
}

} // namespace

EvdevSource::EvdevSource(std::string folder)
    : folder_(std::move(folder))
{
    inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    // IN_ATTRIB: udev gives a new node its group and mode only after creating it.
    if (inotify_ >= 0)
        ::inotify_add_watch(inotify_, folder_.c_str(), IN_CREATE | IN_ATTRIB | IN_DELETE);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    signals_ = ::signalfd(-1, &stop, SFD_NONBLOCK | SFD_CLOEXEC);
    scan();
}

EvdevSource::~EvdevSource()
{
    while (!devices_.empty())
        close_device(devices_.begin()->first);
    if (inotify_ >= 0)
        ::close(inotify_);
    if (signals_ >= 0)
        ::close(signals_);
}

void EvdevSource::scan()
{
    denied_ = 0;
    DIR* dir = ::opendir(folder_.c_str());
    folder_missing_ = dir == nullptr;
    if (!dir) {
        if (errno == EACCES)
            ++denied_;
        return;
    }
    while (dirent* entry = ::readdir(dir))
        if (is_event_node(entry->d_name) && !devices_.contains(entry->d_name))
            open_device(entry->d_name);
    ::closedir(dir);
}

void EvdevSource::open_device(std::string const& name)
{
    int const fd = ::open((folder_ + "/" + name).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EACCES || errno == EPERM)
            ++denied_;
        return;
    }
    libevdev* dev = nullptr;
    if (libevdev_new_from_fd(fd, &dev) != 0) {
        ::close(fd);
        return;
    }
    // Event times on the clock that now_ms() reads.
    libevdev_set_clock_id(dev, CLOCK_MONOTONIC);
    platform::InputDevice device { name, {} };
    if (libevdev_has_event_type(dev, EV_KEY))
        for (int code = 0; code <= KEY_MAX; ++code)
            if (libevdev_has_event_code(dev, EV_KEY, static_cast<unsigned>(code)))
                device.keys.push_back(code);
    devices_[name] = Device { fd, dev };
    pending_.push_back(InputEvent { InputEvent::Kind::ADDED, std::move(device) });
}

void EvdevSource::close_device(std::string const& name)
{
    auto const d = devices_.find(name);
    if (d == devices_.end())
        return;
    libevdev_free(d->second.dev);
    ::close(d->second.fd);
    devices_.erase(d);
    pending_.push_back(InputEvent { InputEvent::Kind::REMOVED, { name, {} } });
}

void EvdevSource::read_device(std::string const& name)
{
    auto* dev = devices_.at(name).dev;
    unsigned flags = LIBEVDEV_READ_FLAG_NORMAL;
    for (;;) {
        input_event ev {};
        int const rc = libevdev_next_event(dev, flags, &ev);
        if (rc == LIBEVDEV_READ_STATUS_SYNC) {
            // Events were dropped: the resync replays the state that changed. It holds no press to act on,
            // but a release in it must pass, or the button would stay held and never run again.
            flags = LIBEVDEV_READ_FLAG_SYNC;
            continue;
        }
        if (rc == -EAGAIN && flags == LIBEVDEV_READ_FLAG_SYNC) {
            flags = LIBEVDEV_READ_FLAG_NORMAL;
            continue;
        }
        if (rc != LIBEVDEV_READ_STATUS_SUCCESS) {
            if (rc != -EAGAIN)
                close_device(name); // -ENODEV: unplugged
            return;
        }
        if (ev.type == EV_KEY && (flags == LIBEVDEV_READ_FLAG_NORMAL || ev.value == 0)) {
            int64_t const ms = static_cast<int64_t>(ev.input_event_sec) * 1000 + ev.input_event_usec / 1000;
            pending_.push_back(InputEvent { InputEvent::Kind::KEY, { name, {} }, ev.code, ev.value, ms });
        }
    }
}

void EvdevSource::read_folder()
{
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        ssize_t const n = ::read(inotify_, buffer, sizeof buffer);
        if (n <= 0)
            return;
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            auto const* e = reinterpret_cast<inotify_event const*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            if (e->len == 0 || at > n)
                continue;
            std::string const name(e->name, ::strnlen(e->name, e->len));
            if (!is_event_node(name))
                continue;
            if (e->mask & IN_DELETE)
                close_device(name);
            else if (!devices_.contains(name))
                open_device(name);
        }
    }
}

std::optional<InputEvent> EvdevSource::next(int timeout_ms)
{
    if (pending_.empty()) {
        std::vector<pollfd> fds { { signals_, POLLIN, 0 }, { inotify_, POLLIN, 0 } };
        std::vector<std::string> names;
        for (auto const& [name, d] : devices_) {
            fds.push_back({ d.fd, POLLIN, 0 });
            names.push_back(name);
        }
        if (::poll(fds.data(), fds.size(), timeout_ms) <= 0)
            return std::nullopt;
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info {};
            if (::read(signals_, &info, sizeof info) > 0)
                return InputEvent { InputEvent::Kind::STOP };
        }
        if (fds[1].revents & POLLIN)
            read_folder();
        for (size_t i = 0; i < names.size(); ++i)
            if (fds[i + 2].revents & (POLLIN | POLLHUP | POLLERR) && devices_.contains(names[i]))
                read_device(names[i]);
    }
    if (pending_.empty())
        return std::nullopt;
    auto e = std::move(pending_.front());
    pending_.pop_front();
    return e;
}

int64_t EvdevSource::now_ms()
{
    timespec t {};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}
