#include "Event.h"

#include <chrono>

namespace core {

Event::Event(EventReset reset)
    : reset_(reset)
{
}

void Event::set()
{
    {
        std::lock_guard lock(mutex_);
        signalled_ = true;
    }
    changed_.notify_all();
}

void Event::reset()
{
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

void Event::wait()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return signalled_; });
    if (reset_ == EventReset::AUTOMATIC)
        signalled_ = false;
}

bool Event::wait_for(uint32_t milliseconds)
{
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return signalled_; }))
        return false;
    if (reset_ == EventReset::AUTOMATIC)
        signalled_ = false;
    return true;
}

bool Event::is_set() const
{
    std::lock_guard lock(mutex_);
    return signalled_;
}

} // namespace core
