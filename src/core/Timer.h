#pragma once

#include <cstdint>
#include <memory>

namespace core {

class Timer;

class TimerListener {
public:
    // Called on the main thread when `timer` fires; a listener acts only for timers of its own.
    virtual void on_timer(Timer& timer) = 0;
    virtual ~TimerListener();
};

// A one-shot timer of the scheduler; periodic only by its listener starting it again from on_timer.
// Threads: main thread only.
class Timer {
public:
    explicit Timer(TimerListener* listener);
    ~Timer();
    Timer(Timer const&) = delete;
    Timer& operator=(Timer const&) = delete;

    // (Re)starts the timer: it fires once, `seconds` from now (rounded to milliseconds).
    void start(double seconds);
    void cancel();
    bool is_running() const;
    // The tick count at which it fires.
    uint32_t due() const;

private:
    class Active;
    std::unique_ptr<Active> active_;
};

} // namespace core
