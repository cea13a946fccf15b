#pragma once

#include <atomic>
#include <cstdint>

namespace core {

// An object that issues a request and is run on the main thread once the request has completed.
// Usage: issue the request; set_active(); later, from whatever thread completes it, notify(); the
// scheduler then calls run() on the main thread.
//
// Threads: set_active and cancel on the main thread; notify from any thread.
class CActive {
public:
    CActive();
    virtual ~CActive();
    CActive(CActive const&) = delete;
    CActive& operator=(CActive const&) = delete;

    void set_active();
    void notify();
    // Withdraws the outstanding request so that run() is never called for it; blocks until the request
    // has completed, which do_cancel() must bring about promptly.
    void cancel();

    bool is_active() const { return active_.load(std::memory_order_acquire); }
    uint32_t id() const { return id_; }

protected:
    virtual void run() = 0;
    virtual void do_cancel() = 0;

private:
    friend class CActiveScheduler;
    std::atomic<bool> active_ { false };
    uint32_t const id_;
};

} // namespace core
