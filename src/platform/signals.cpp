#include "signals.h"

#include "messages.h"

#include <csignal>
#include <ctime>
#include <pthread.h>

namespace platform {

namespace {

sigset_t stop_set()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

// How often the watcher looks whether its owner is done with it.
constexpr long WATCH_NANOSECONDS = 100'000'000;

} // namespace

void block_stop_signals()
{
    sigset_t const set = stop_set();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void ignore_file_size_signal()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

StopSignalWatcher::StopSignalWatcher(uint32_t thread_id, uint32_t message)
{
    thread_ = std::thread([this, thread_id, message] {
        sigset_t const set = stop_set();
        timespec const wait { 0, WATCH_NANOSECONDS };
        while (!done_.load()) {
            int const signal = sigtimedwait(&set, nullptr, &wait);
            if (signal > 0) {
                received_.store(signal);
                post_thread_message(thread_id, message, static_cast<uintptr_t>(signal), 0);
            }
        }
    });
}

StopSignalWatcher::~StopSignalWatcher()
{
    done_.store(true);
    thread_.join();
}

} // namespace platform
