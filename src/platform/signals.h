#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

// The stop requests that a terminal or a service manager sends (SIGINT, SIGTERM), taken as messages
// instead of in a handler: block_stop_signals() runs before any other thread starts, so every thread
// inherits the mask, and a StopSignalWatcher's own thread waits for them and posts a message to the thread
// that does the work.
namespace platform {

void block_stop_signals();
// A write past the file-size limit (ulimit -f) then fails with EFBIG instead of ending the process.
void ignore_file_size_signal();

// Threads: made and destroyed on one thread; its own thread waits for the signals.
class StopSignalWatcher {
public:
    // Posts `message` (wparam: the signal number) to `thread_id` at each stop signal.
    StopSignalWatcher(uint32_t thread_id, uint32_t message);
    ~StopSignalWatcher();
    StopSignalWatcher(StopSignalWatcher const&) = delete;
    StopSignalWatcher& operator=(StopSignalWatcher const&) = delete;

    // The last stop signal received, or 0.
    int received() const { return received_.load(); }

private:
    std::atomic<bool> done_ { false };
    std::atomic<int> received_ { 0 };
    std::thread thread_;
};

} // namespace platform
