#include "ticks.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace platform {

namespace {

std::atomic<uint32_t>& tick_offset()
{
    static std::atomic<uint32_t> offset { 0 };
    return offset;
}

std::chrono::steady_clock::time_point process_start()
{
    static auto const start = std::chrono::steady_clock::now();
    return start;
}

} // namespace

uint32_t tick_count()
{
    auto const elapsed = std::chrono::steady_clock::now() - process_start();
    auto const ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    return static_cast<uint32_t>(ms) + tick_offset().load(std::memory_order_relaxed);
}

void set_tick_offset(uint32_t offset)
{
    process_start();
    tick_offset().store(offset, std::memory_order_relaxed);
}

void sleep_ms(uint32_t milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace platform
