#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <systemd/sd-bus.h>
#include <thread>

// A thread of its own that talks to D-Bus for one service of the desktop session (keeping the system
// awake, desktop notifications): a bus that is slow or missing never holds up the thread that asked. The
// system and the session bus are each connected on the first job that needs them (sd-bus: no GLib, and
// mapped into the process already by the sound server's client), and the thread itself starts with the
// first job, so that a program that never records or plays never touches a bus.
//
// Only the platform's own services include this header.
//
// Threads: post() from one owner thread; the jobs, bus() and the signal callbacks that jobs install run
// on the bus thread. The destructor runs the jobs already posted (a release the owner asked for last),
// then closes the buses.
namespace platform {

class BusThread {
public:
    enum class Bus { SYSTEM, SESSION };
    // Method calls wait at most this long for an answer.
    static constexpr uint64_t CALL_TIMEOUT_USEC = 5'000'000;

    BusThread() = default;
    ~BusThread();
    BusThread(BusThread const&) = delete;
    BusThread& operator=(BusThread const&) = delete;

    void post(std::function<void()> job);

    // On the bus thread: the connection, made on first use and again after the bus went away (`fresh`
    // then true: signal matches are to be installed anew); null when it cannot be reached, with why in
    // `problem`.
    sd_bus* bus(Bus which, std::string& problem, bool* fresh = nullptr);

private:
    void run();
    // Dispatches what the buses hold (signals), then waits for them or for a job.
    void wait_for_work();
    void drop(size_t which);

    std::mutex mutex_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    int wake_fd_ = -1;
    sd_bus* buses_[2] = { nullptr, nullptr };
    std::thread thread_;
};

// A failed call's error.
class BusError {
public:
    BusError() = default;
    ~BusError() { sd_bus_error_free(&error_); }
    BusError(BusError const&) = delete;
    BusError& operator=(BusError const&) = delete;

    sd_bus_error* get() { return &error_; }
    // "name: message", or the system's text for `result` when the call failed before an answer.
    std::string text(int result) const;
    // Nobody offers the service asked for: no such name on the bus, or no such object or method there.
    bool missing_service() const;

private:
    sd_bus_error error_ = SD_BUS_ERROR_NULL;
};

struct BusMessageUnref {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using BusMessage = std::unique_ptr<sd_bus_message, BusMessageUnref>;

} // namespace platform
