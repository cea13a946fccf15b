#pragma once

#include <cstdint>

namespace platform {

// The machine's memory as the handheld's memory status reports it. Figures are 64-bit: a desktop has
// more than 4 GB, and a count cut to 32 bits could look like almost nothing free.
struct MemoryStatus {
    uint32_t memory_load = 0; // percent in use
    uint64_t total_phys = 0;
    uint64_t avail_phys = 0; // what can be had without swapping: the kernel's MemAvailable
};

// Threads: any.
MemoryStatus global_memory_status();

} // namespace platform
