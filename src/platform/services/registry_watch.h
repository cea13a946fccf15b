#pragma once

#include "registry_store.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// The loop of a service that acts on changes of the registry store (the notifier, the phone simulator's
// serve): it calls `on_change` at once and after every change any process makes, and `on_child` when a
// child process ended, until SIGTERM or SIGINT arrives. Blocks on the store's files and the signals; no
// polling beyond a long safety timeout.
//
// Threads: the calling thread, which should be the process's only one (the signals are blocked here).
namespace platform {

class FolderWatch;

void watch_registry(
    RegistryStore& store, std::function<void()> const& on_change, std::function<void()> const& on_child = {});

// Tells, on a thread of its own, that the store has changed: `on_change` is called soon after every change
// any process makes (several changes close together may be told once), and never while nothing is
// written. It sleeps on the store's files meanwhile; only when they cannot be watched does it look at the
// store's change count every POLL_MS.
//
// Threads: made and destroyed on one thread; `on_change` runs on the watch's own thread and must not
// block. The destructor returns when the thread has ended, so `on_change` is not called after it.
class RegistryChangeWatch {
public:
    // A writer counts its change only after its last write to the files: the count is looked at every
    // SETTLE_MS after a write until it has moved, for at most SETTLE_LIMIT_MS.
    static constexpr int SETTLE_MS = 5;
    static constexpr int SETTLE_LIMIT_MS = 1000;
    static constexpr int POLL_MS = 100;

    RegistryChangeWatch(RegistryStore& store, std::function<void()> on_change);
    ~RegistryChangeWatch();
    RegistryChangeWatch(RegistryChangeWatch const&) = delete;
    RegistryChangeWatch& operator=(RegistryChangeWatch const&) = delete;

    // False when the store's folder cannot be watched, and changes are found by looking every POLL_MS.
    bool is_watching() const;

private:
    void run();
    // Waits up to `timeout_ms` (-1: without limit) for writes to the store's files; true when some came.
    bool wait(int timeout_ms);

    RegistryStore& store_;
    std::function<void()> on_change_;
    std::unique_ptr<FolderWatch> folder_;
    std::u16string store_name_; // the store's file name; its journal and log names begin with it
    std::mutex mutex_;
    std::condition_variable stopped_; // the wait of a watch without the folder
    bool stop_ = false;
    std::thread thread_;
};

} // namespace platform
