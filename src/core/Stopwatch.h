#pragma once

#include <platform/ticks.h>

#include <cstdint>

namespace core {

// Seconds measured on the tick counter.
class Stopwatch {
public:
    Stopwatch()
        : start_(platform::tick_count())
    {
    }
    double elapsed() const { return static_cast<uint32_t>(platform::tick_count() - start_) / 1000.0; }
    // Seconds since the previous lap (or the start); restarts the count.
    double lap()
    {
        uint32_t const now = platform::tick_count();
        double const seconds = static_cast<uint32_t>(now - start_) / 1000.0;
        start_ = now;
        return seconds;
    }

private:
    uint32_t start_;
};

} // namespace core
