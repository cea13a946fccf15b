#include "accessibility_bridge.h"

#include "atspi_objects.h"

#include <platform/messages.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <functional>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

// How long the bridge waits for an answer of the session bus or the registry.
constexpr uint64_t CALL_TIMEOUT_USEC = 2'000'000;

uint64_t now_usec()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1'000'000 + static_cast<uint64_t>(now.tv_nsec) / 1000;
}

bool status_flag(sd_bus* session, char const* name)
{
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int flag = 0;
    int const got = sd_bus_get_property_trivial(
        session, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Status", name, &error, 'b', &flag);
    sd_bus_error_free(&error);
    return got >= 0 && flag;
}

// The accessibility bus's address when an assistive technology is on; empty otherwise. The launcher is
// asked only when it runs already: the question never starts it.
std::string accessibility_bus_address(sd_bus* session)
{
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    int owned = 0;
    if (sd_bus_call_method(session, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "NameHasOwner", &error, &reply, "s", "org.a11y.Bus")
            < 0
        || sd_bus_message_read(reply, "b", &owned) < 0)
        owned = 0;
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    if (!owned || (!status_flag(session, "IsEnabled") && !status_flag(session, "ScreenReaderEnabled")))
        return {};
    reply = nullptr;
    char const* address = nullptr;
    std::string result;
    if (sd_bus_call_method(session, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", &error, &reply, "")
            >= 0
        && sd_bus_message_read(reply, "s", &address) >= 0 && address)
        result = address;
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    return result;
}

} // namespace

class AccessibilityBridge::Impl {
public:
    Impl(uint32_t owner, uint32_t message, std::string name)
        : owner_(owner)
        , message_(message)
        , objects_(std::move(name))
    {
        objects_.on_request = [this](AccessibleRequest request) {
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(std::move(request));
            }
            post_thread_message(owner_, message_, 0, 0);
        };
    }

    ~Impl()
    {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake();
        if (thread_.joinable())
            thread_.join();
        if (wake_fd_ >= 0)
            close(wake_fd_);
    }

    void start()
    {
        wake_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        thread_ = std::thread([this] { run(); });
    }

    void post(std::function<void()> job)
    {
        {
            std::lock_guard lock(mutex_);
            jobs_.push_back(std::move(job));
        }
        wake();
    }

    bool take(AccessibleRequest& request)
    {
        std::lock_guard lock(mutex_);
        if (requests_.empty())
            return false;
        request = std::move(requests_.front());
        requests_.pop_front();
        return true;
    }

private:
    uint32_t owner_;
    uint32_t message_;

public:
    std::atomic<bool> active { false };
    AtspiObjects objects_;

private:
    void wake()
    {
        if (wake_fd_ >= 0) {
            uint64_t const one = 1;
            [[maybe_unused]] auto const written = write(wake_fd_, &one, sizeof one);
        }
    }

    bool connect()
    {
        sd_bus* session = nullptr;
        if (sd_bus_open_user(&session) < 0)
            return false;
        // A session bus that does not answer must not hold up the program's end for sd-bus's 25 s.
        sd_bus_set_method_call_timeout(session, CALL_TIMEOUT_USEC);
        std::string const address = accessibility_bus_address(session);
        sd_bus_flush_close_unref(session);
        if (address.empty())
            return false;
        sd_bus* bus = nullptr;
        if (sd_bus_new(&bus) < 0)
            return false;
        sd_bus_set_address(bus, address.c_str());
        sd_bus_set_method_call_timeout(bus, CALL_TIMEOUT_USEC);
        sd_bus_set_bus_client(bus, 1);
        if (sd_bus_start(bus) < 0) {
            std::fprintf(stderr, "ravelin: the accessibility bus at %s cannot be reached\n", address.c_str());
            sd_bus_close_unref(bus);
            return false;
        }
        bus_ = bus;
        if (!objects_.attach(bus_)) {
            std::fprintf(stderr, "ravelin: the accessibility registry did not take the program\n");
            return false;
        }
        return true;
    }

    void run()
    {
        if (!connect()) {
            if (bus_)
                sd_bus_flush_close_unref(std::exchange(bus_, nullptr));
            return;
        }
        active = true;
        // The owner answers with the screen as it is.
        post_thread_message(owner_, message_, 0, 0);
        for (;;) {
            std::deque<std::function<void()>> jobs;
            {
                std::lock_guard lock(mutex_);
                jobs.swap(jobs_);
                if (stopping_)
                    break;
            }
            for (auto& job : jobs)
                job();
            objects_.announce_due(now_usec());
            if (!wait()) {
                // The accessibility bus went away (the session's end, or its launcher ended): nobody listens.
                active = false;
                break;
            }
        }
        objects_.detach();
        sd_bus_flush_close_unref(bus_);
    }

    // Serves the bus, then sleeps until a job, a message or a held-back announcement; false once the bus
    // is gone.
    bool wait()
    {
        int processed = 0;
        while ((processed = sd_bus_process(bus_, nullptr)) > 0) { }
        if (processed < 0)
            return false;
        pollfd fds[2] { { wake_fd_, POLLIN, 0 },
            { sd_bus_get_fd(bus_), static_cast<short>(sd_bus_get_events(bus_)), 0 } };
        uint64_t until = objects_.next_announcement();
        uint64_t bus_until = UINT64_MAX;
        if (sd_bus_get_timeout(bus_, &bus_until) >= 0 && bus_until < until)
            until = bus_until;
        int wait_ms = -1;
        if (until != UINT64_MAX) {
            uint64_t const now = now_usec();
            wait_ms = until > now ? static_cast<int>(std::min<uint64_t>((until - now + 999) / 1000, 60'000)) : 0;
        }
        if (poll(fds, 2, wait_ms) > 0 && (fds[0].revents & POLLIN)) {
            uint64_t value = 0;
            [[maybe_unused]] auto const got = read(wake_fd_, &value, sizeof value);
        }
        return true;
    }

    std::mutex mutex_;
    std::deque<std::function<void()>> jobs_;
    std::deque<AccessibleRequest> requests_;
    bool stopping_ = false;
    int wake_fd_ = -1;
    sd_bus* bus_ = nullptr;
    std::thread thread_;
};

AccessibilityBridge::AccessibilityBridge(uint32_t owner_thread, uint32_t message, std::string application_name)
    : impl_(std::make_unique<Impl>(owner_thread, message, std::move(application_name)))
{
}

AccessibilityBridge::~AccessibilityBridge() = default;

void AccessibilityBridge::start()
{
    if (char const* off = std::getenv("NO_AT_BRIDGE"); off && std::strcmp(off, "1") == 0)
        return;
    impl_->start();
}

bool AccessibilityBridge::active() const
{
    return impl_->active;
}

void AccessibilityBridge::update(AccessibleTree tree)
{
    if (!impl_->active)
        return;
    impl_->post(
        [impl = impl_.get(), tree = std::move(tree)]() mutable { impl->objects_.update(std::move(tree), now_usec()); });
}

bool AccessibilityBridge::take_request(AccessibleRequest& request)
{
    return impl_->take(request);
}

} // namespace platform
