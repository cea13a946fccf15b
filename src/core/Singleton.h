#pragma once

#include "Log.h"

#include <atomic>

namespace core {

// One instance of T at a time, reachable through instance(); a second is a fatal error.
// Threads: construct and destroy on the main thread; instance() from any thread.
template <typename T> class Singleton {
public:
    static T* instance() { return instance_.load(std::memory_order_acquire); }

protected:
    // The derived class passes itself: its constructor has not run yet, so the base cannot cast.
    explicit Singleton(T* self)
    {
        if (instance_.load(std::memory_order_acquire))
            fatal_error(u"Singleton::Singleton()", u"Singleton is already instantiated");
        instance_.store(self, std::memory_order_release);
    }
    ~Singleton() { instance_.store(nullptr, std::memory_order_release); }
    Singleton(Singleton const&) = delete;
    Singleton& operator=(Singleton const&) = delete;

private:
    static inline std::atomic<T*> instance_ { nullptr };
};

} // namespace core
