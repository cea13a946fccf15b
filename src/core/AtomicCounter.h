#pragma once

#include <atomic>
#include <cstdint>

namespace core {

// A 32-bit count changed only by interlocked increment and decrement. Threads: any.
class AtomicCounter {
public:
    explicit AtomicCounter(int32_t value = 0)
        : value_(value)
    {
    }
    // Both answer the new value.
    int32_t increment() { return value_.fetch_add(1, std::memory_order_acq_rel) + 1; }
    int32_t decrement() { return value_.fetch_sub(1, std::memory_order_acq_rel) - 1; }
    int32_t value() const { return value_.load(std::memory_order_acquire); }

private:
    std::atomic<int32_t> value_;
};

} // namespace core
