#include "Thread.h"

#include "Log.h"

#include <algorithm>
#include <platform/messages.h>
#include <platform/threads.h>
#include <platform/ticks.h>

namespace core {

Thread::Thread() = default;

Thread::~Thread()
{
    // A thread must not outlive the object whose run() it executes.
    if (thread_.joinable())
        thread_.join();
}

bool Thread::start()
{
    if (thread_.joinable()) {
        if (!finished_.load())
            return false;
        thread_.join(); // it ended by itself; release it before starting again
    }
    stop_requested_.store(false);
    finished_.store(false);
    {
        std::lock_guard lock(wake_mutex_);
        started_ = false;
        resumed_ = false;
    }
    try {
        thread_ = std::thread([this] { body(); });
    } catch (std::system_error const&) {
        finished_.store(true);
        return false;
    }
    std::unique_lock lock(wake_mutex_);
    wake_.wait(lock, [this] { return started_; });
    return true;
}

void Thread::body()
{
    platform::ensure_queue();
    thread_id_.store(platform::current_thread_id());
    native_id_.store(platform::native_thread_id());
    {
        std::lock_guard lock(wake_mutex_);
        started_ = true;
    }
    wake_.notify_all();
    run();
    finished_.store(true);
}

void Thread::join()
{
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

void Thread::request_stop()
{
    stop_requested_.store(true);
}

bool Thread::stop_requested() const
{
    return stop_requested_.load();
}

bool Thread::is_running() const
{
    return thread_.joinable() && !finished_.load();
}

bool Thread::set_priority(int level)
{
    level = std::clamp(level, -2, 2);
    int const platform_priority = 3 - level;
    priority_.store(platform_priority);
    int64_t const id = native_id_.load();
    return id != 0 && platform::set_thread_priority(id, platform_priority);
}

void Thread::resume()
{
    int result = 0;
    {
        std::lock_guard lock(wake_mutex_);
        result = suspended_ ? 1 : 0; // as the handheld: the suspend count before the call
        resumed_ = true;
    }
    wake_.notify_all();
    log() << "Thread::resume() result=" << result << "\n";
}

void Thread::suspend()
{
    log() << "Thread::suspend() result=" << 0 << "\n";
    std::unique_lock lock(wake_mutex_);
    suspended_ = true;
    wake_.wait(lock, [this] { return resumed_; });
    resumed_ = false;
    suspended_ = false;
}

void sleep(double seconds)
{
    if (seconds <= 0)
        return;
    platform::sleep_ms(static_cast<uint32_t>(seconds * 1000));
}

} // namespace core
