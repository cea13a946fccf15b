#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

namespace platform {

// The machine's memory as the handheld's memory status reports it. Figures are 64-bit: a desktop has
// more than 4 GB, and a count cut to 32 bits could look like almost nothing free.
struct MemoryStatus {
    uint32_t memory_load = 0; // percent in use
    uint64_t total_phys = 0;
    uint64_t avail_phys = 0; // what can be had without swapping: the kernel's MemAvailable
};

// Threads: any. A reading serves for up to MEMORY_STATUS_MAX_AGE: the capture thread asks for every block,
// and the kernel renders /proc/meminfo afresh on each read.
MemoryStatus global_memory_status();

inline constexpr std::chrono::milliseconds MEMORY_STATUS_MAX_AGE { 250 };

// A source of memory status that reads at most once per `max_age`; between readings the last one stands.
// Threads: any.
class MemoryStatusCache {
public:
    using Source = std::function<MemoryStatus()>;
    MemoryStatusCache(Source source, std::chrono::steady_clock::duration max_age);
    MemoryStatus get();

private:
    Source const source_;
    std::chrono::steady_clock::duration const max_age_;
    std::mutex mutex_;
    std::optional<std::chrono::steady_clock::time_point> read_at_;
    MemoryStatus last_;
};

} // namespace platform
