#pragma once

#include <mutex>

namespace core {

// A lock that the owning thread may take again while it holds it, as the handheld's critical sections.
class CriticalSection {
public:
    void enter() { mutex_.lock(); }
    void leave() { mutex_.unlock(); }
    // For std::lock_guard and std::unique_lock.
    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }

private:
    std::recursive_mutex mutex_;
};

using Lock = std::lock_guard<CriticalSection>;

} // namespace core
