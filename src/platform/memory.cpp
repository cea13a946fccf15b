#include "memory.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/sysinfo.h>
#include <unistd.h>

namespace platform {

namespace {

// The value of a "Name:   123 kB" line of /proc/meminfo in bytes, or 0 when it is missing.
uint64_t meminfo_value(char const* text, char const* name)
{
    char const* line = std::strstr(text, name);
    if (!line)
        return 0;
    return std::strtoull(line + std::strlen(name), nullptr, 10) * 1024;
}

// The capture thread asks for every block; keeping the file open saves two system calls each time
// (procfs renders the figures afresh on every read from offset 0).
ssize_t read_meminfo(char* text, size_t size)
{
    static int const fd = ::open("/proc/meminfo", O_RDONLY | O_CLOEXEC);
    return fd >= 0 ? ::pread(fd, text, size, 0) : -1;
}

MemoryStatus read_memory_status()
{
    MemoryStatus status;
    char text[8192];
    ssize_t const length = read_meminfo(text, sizeof text - 1);
    if (length > 0) {
        text[length] = 0;
        status.total_phys = meminfo_value(text, "MemTotal:");
        status.avail_phys = meminfo_value(text, "MemAvailable:");
    }
    if (status.total_phys == 0 || status.avail_phys == 0) {
        // Without /proc (or on an old kernel) the free and buffer memory is the nearest figure.
        struct sysinfo info { };
        if (::sysinfo(&info) == 0) {
            status.total_phys = uint64_t(info.totalram) * info.mem_unit;
            status.avail_phys = (uint64_t(info.freeram) + info.bufferram) * info.mem_unit;
        }
    }
    if (status.total_phys > 0 && status.avail_phys <= status.total_phys)
        status.memory_load = static_cast<uint32_t>(100 - status.avail_phys * 100 / status.total_phys);
    return status;
}

} // namespace

MemoryStatusCache::MemoryStatusCache(Source source, std::chrono::steady_clock::duration max_age)
    : source_(std::move(source))
    , max_age_(max_age)
{
}

MemoryStatus MemoryStatusCache::get()
{
    auto const now = std::chrono::steady_clock::now();
    std::lock_guard lock(mutex_);
    if (!read_at_ || now - *read_at_ >= max_age_) {
        last_ = source_();
        read_at_ = now;
    }
    return last_;
}

MemoryStatus global_memory_status()
{
    static MemoryStatusCache cache(read_memory_status, MEMORY_STATUS_MAX_AGE);
    return cache.get();
}

} // namespace platform
