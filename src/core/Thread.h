#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace core {

// Base of every worker thread. The owner stops one by request_stop(), then wakes it from whatever it
// waits on (a thread message, resume() or an Event), then join(); run() checks stop_requested() each
// time it wakes.
//
// Threads: start, join and request_stop on the owner's thread; suspend only on the thread itself;
// resume and stop_requested from any thread.
class Thread {
public:
    Thread();
    virtual ~Thread();
    Thread(Thread const&) = delete;
    Thread& operator=(Thread const&) = delete;

    // False when a thread is already running; the thread has a message queue before this returns.
    bool start();
    void join();
    void request_stop();
    bool stop_requested() const;

    // Level -2 (lowest) to 2 (highest), clamped; answers whether the system accepted it.
    bool set_priority(int level);
    // The platform priority last asked for: 5 (lowest) to 1 (highest), 3 normal.
    int priority() const { return priority_.load(); }

    // A resume that arrives before the matching suspend is kept, so the thread does not sleep
    // with work waiting. Both log their result.
    void resume();
    void suspend();

    // The id that thread messages are posted to; 0 before the first start.
    uint32_t thread_id() const { return thread_id_.load(); }
    bool is_running() const;

protected:
    virtual void run() = 0;

private:
    void body();

    std::thread thread_;
    std::atomic<bool> finished_ { true };
    std::atomic<bool> stop_requested_ { false };
    std::atomic<uint32_t> thread_id_ { 0 };
    std::atomic<int64_t> native_id_ { 0 };
    std::atomic<int> priority_ { 3 };

    std::mutex wake_mutex_;
    std::condition_variable wake_;
    bool resumed_ = false;
    bool suspended_ = false;
    bool started_ = false;
};

// Sleeps seconds x 1000 milliseconds, truncated.
void sleep(double seconds);

} // namespace core
