#include "bus_thread.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <string_view>
#include <sys/eventfd.h>
#include <unistd.h>

namespace platform {

namespace {

// Without a wake-up descriptor (none could be made) the thread looks for jobs this often.
constexpr int FALLBACK_WAIT_MS = 100;

uint64_t monotonic_usec()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1'000'000 + static_cast<uint64_t>(now.tv_nsec) / 1000;
}

} // namespace

BusThread::~BusThread()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    if (wake_fd_ >= 0) {
        uint64_t const one = 1;
        [[maybe_unused]] auto const written = write(wake_fd_, &one, sizeof one);
    }
    if (thread_.joinable())
        thread_.join();
    if (wake_fd_ >= 0)
        close(wake_fd_);
}

void BusThread::post(std::function<void()> job)
{
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
    if (!thread_.joinable()) {
        wake_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        thread_ = std::thread([this] { run(); });
    }
    if (wake_fd_ >= 0) {
        uint64_t const one = 1;
        [[maybe_unused]] auto const written = write(wake_fd_, &one, sizeof one);
    }
}

void BusThread::run()
{
    for (;;) {
        std::deque<std::function<void()>> jobs;
        bool stopping = false;
        {
            std::lock_guard lock(mutex_);
            jobs.swap(jobs_);
            stopping = stopping_;
        }
        for (auto& job : jobs)
            job();
        if (stopping && jobs.empty())
            break;
        if (!stopping)
            wait_for_work();
    }
    for (size_t i = 0; i < 2; ++i)
        if (buses_[i])
            buses_[i] = sd_bus_flush_close_unref(buses_[i]);
}

void BusThread::wait_for_work()
{
    pollfd fds[3] {};
    nfds_t count = 0;
    if (wake_fd_ >= 0)
        fds[count++] = { wake_fd_, POLLIN, 0 };
    uint64_t until = UINT64_MAX;
    for (size_t i = 0; i < 2; ++i) {
        if (!buses_[i])
            continue;
        int processed = 0;
        while ((processed = sd_bus_process(buses_[i], nullptr)) > 0) { }
        if (processed < 0) {
            drop(i);
            continue;
        }
        fds[count++] = { sd_bus_get_fd(buses_[i]), static_cast<short>(sd_bus_get_events(buses_[i])), 0 };
        uint64_t timeout = UINT64_MAX;
        if (sd_bus_get_timeout(buses_[i], &timeout) >= 0 && timeout < until)
            until = timeout;
    }
    int wait_ms = wake_fd_ >= 0 ? -1 : FALLBACK_WAIT_MS;
    if (until != UINT64_MAX) {
        uint64_t const now = monotonic_usec();
        int const due = until > now ? static_cast<int>(std::min<uint64_t>((until - now + 999) / 1000, 60'000)) : 0;
        wait_ms = wait_ms < 0 ? due : std::min(wait_ms, due);
    }
    if (poll(fds, count, wait_ms) > 0 && wake_fd_ >= 0 && (fds[0].revents & POLLIN)) {
        uint64_t value = 0;
        [[maybe_unused]] auto const got = read(wake_fd_, &value, sizeof value);
    }
}

void BusThread::drop(size_t which)
{
    buses_[which] = sd_bus_close_unref(buses_[which]);
}

sd_bus* BusThread::bus(Bus which, std::string& problem, bool* fresh)
{
    size_t const index = which == Bus::SYSTEM ? 0 : 1;
    if (fresh)
        *fresh = false;
    if (buses_[index] && !sd_bus_is_open(buses_[index]))
        drop(index);
    if (buses_[index])
        return buses_[index];
    sd_bus* bus = nullptr;
    int const opened = which == Bus::SYSTEM ? sd_bus_open_system(&bus) : sd_bus_open_user(&bus);
    if (opened < 0) {
        problem = std::string(which == Bus::SYSTEM ? "no system bus: " : "no session bus: ") + std::strerror(-opened);
        return nullptr;
    }
    sd_bus_set_method_call_timeout(bus, CALL_TIMEOUT_USEC);
    buses_[index] = bus;
    if (fresh)
        *fresh = true;
    return bus;
}

std::string BusError::text(int result) const
{
    if (sd_bus_error_is_set(&error_))
        return std::string(error_.name) + ": " + (error_.message ? error_.message : "");
    return std::strerror(result < 0 ? -result : result);
}

bool BusError::missing_service() const
{
    if (!sd_bus_error_is_set(&error_))
        return false;
    std::string_view const name = error_.name;
    for (std::string_view missing : { SD_BUS_ERROR_SERVICE_UNKNOWN, SD_BUS_ERROR_NAME_HAS_NO_OWNER,
             SD_BUS_ERROR_UNKNOWN_OBJECT, SD_BUS_ERROR_UNKNOWN_INTERFACE, SD_BUS_ERROR_UNKNOWN_METHOD })
        if (name == missing)
            return true;
    return false;
}

} // namespace platform
