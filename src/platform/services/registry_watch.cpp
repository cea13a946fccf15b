#include "registry_watch.h"

#include <platform/folder_watch.h>
#include <platform/text.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace platform {

namespace {

// Whether a changed name is one of the store's files (the database, its journal, its write-ahead log):
// recordings or other files beside it are no change of the store.
bool names_store(std::vector<std::u16string> const& names, std::u16string const& store_name)
{
    for (auto const& name : names)
        if (name.starts_with(store_name))
            return true;
    return false;
}

std::u16string store_file_name(RegistryStore const& store)
{
    return from_utf8(std::filesystem::path(store.path()).filename().string());
}

} // namespace

void watch_registry(RegistryStore& store, std::function<void()> const& on_change, std::function<void()> const& on_child)
{
    sigset_t signals;
    sigemptyset(&signals);
    for (int s : { SIGTERM, SIGINT, SIGCHLD })
        sigaddset(&signals, s);
    ::sigprocmask(SIG_BLOCK, &signals, nullptr);
    int const signal_fd = ::signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);

    FolderWatch watch(from_utf8(std::filesystem::path(store.path()).parent_path().string()));
    std::u16string const store_name = store_file_name(store);
    bool settle = false;
    uint64_t seen_change = ~0ull;
    for (;;) {
        if (uint64_t const change = store.change_count(); change != seen_change) {
            seen_change = change;
            on_change();
        }
        // A change of the store shows as a write to its files. A writer counts its change only after the
        // write, so a look follows a little after the last write; the long timeout only covers a watch
        // that failed.
        pollfd fds[2] = { { watch.descriptor(), POLLIN, 0 }, { signal_fd, POLLIN, 0 } };
        int const timeout = settle ? 100 : watch.is_valid() ? 5000 : 500;
        int const ready = ::poll(fds, 2, timeout);
        if (ready < 0 && errno != EINTR)
            break;
        settle = ready > 0 && (fds[0].revents & POLLIN) && names_store(watch.take_changes(), store_name);
        if (fds[1].revents & POLLIN) {
            signalfd_siginfo info {};
            bool stop = false, child = false;
            while (::read(signal_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                child = child || info.ssi_signo == SIGCHLD;
                stop = stop || info.ssi_signo != SIGCHLD;
            }
            if (child && on_child)
                on_child();
            if (stop)
                break;
        }
    }
    ::close(signal_fd);
}

} // namespace platform

namespace platform {

RegistryChangeWatch::RegistryChangeWatch(RegistryStore& store, std::function<void()> on_change)
    : store_(store)
    , on_change_(std::move(on_change))
    , folder_(std::make_unique<FolderWatch>(from_utf8(std::filesystem::path(store.path()).parent_path().string())))
    , store_name_(store_file_name(store))
{
    thread_ = std::thread([this] { run(); });
}

RegistryChangeWatch::~RegistryChangeWatch()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    folder_->interrupt();
    stopped_.notify_all();
    thread_.join();
}

bool RegistryChangeWatch::is_watching() const
{
    return folder_->is_valid();
}

bool RegistryChangeWatch::wait(int timeout_ms)
{
    if (folder_->is_valid())
        return names_store(folder_->wait(timeout_ms), store_name_);
    std::unique_lock lock(mutex_);
    stopped_.wait_for(lock, std::chrono::milliseconds(timeout_ms < 0 ? POLL_MS : timeout_ms), [this] { return stop_; });
    return false;
}

void RegistryChangeWatch::run()
{
    using Clock = std::chrono::steady_clock;
    uint64_t seen = store_.change_count();
    bool settling = false;
    Clock::time_point last_write;
    for (;;) {
        bool const wrote = wait(settling ? SETTLE_MS : -1);
        {
            std::lock_guard lock(mutex_);
            if (stop_)
                return;
        }
        if (wrote) {
            settling = true;
            last_write = Clock::now();
        }
        if (uint64_t const count = store_.change_count(); count != seen) {
            seen = count;
            settling = false;
            on_change_();
        } else if (settling && Clock::now() - last_write > std::chrono::milliseconds(SETTLE_LIMIT_MS)) {
            // Writes that no count followed (a store whose count is not shared): told all the same, late
            // rather than never.
            settling = false;
            on_change_();
        }
    }
}

} // namespace platform
