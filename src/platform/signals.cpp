#include "signals.h"

#include "messages.h"

#include <csignal>
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
    // The thread sleeps until a signal comes; its owner's end wakes it with one of its own. It is born with
    // the signals blocked, so that the one sent to it is never taken as the process's.
    sigset_t const set = stop_set();
    sigset_t before;
    pthread_sigmask(SIG_BLOCK, &set, &before);
    thread_ = std::thread([this, thread_id, message] {
        sigset_t const set = stop_set();
        for (;;) {
            int const signal = sigwaitinfo(&set, nullptr);
            if (done_.load())
                return;
            if (signal > 0) {
                received_.store(signal);
                post_thread_message(thread_id, message, static_cast<uintptr_t>(signal), 0);
            }
        }
    });
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

StopSignalWatcher::~StopSignalWatcher()
{
    done_.store(true);
    pthread_kill(thread_.native_handle(), SIGTERM);
    thread_.join();
}

} // namespace platform
