#pragma once

#include "CActive.h"
#include "Singleton.h"
#include "Strings.h"

#include <memory>
#include <platform/messages.h>

namespace core {

// An active object that the scheduler completes itself when its due tick count has come (a timer's).
class TimedActive : public CActive {
public:
    uint32_t due = 0;
};

// Runs completed active objects on the main thread from its hidden window's wake-up message (WM_USER+5)
// and fires one-shot timers from the window timer armed for the nearest of them.
//
// Threads: notify from any thread; everything else on the main thread, which owns the hidden window
// and must dispatch its messages.
class CActiveScheduler : public Singleton<CActiveScheduler> {
public:
    static constexpr uint32_t WAKE_UP = platform::WM_USER + 5;
    static constexpr uint32_t NO_TIMER_AHEAD = 10'000'000; // ms

    // `window_class` is the application's own window-class name; the hidden window's class is "CActive"
    // followed by it.
    explicit CActiveScheduler(String const& window_class);
    virtual ~CActiveScheduler();

    void set_active(CActive& object);
    void notify(CActive& object);
    bool process_actives();
    void cancel(CActive& object);
    void check_timers();

    int32_t active_counter() const;
    platform::Hwnd window() const;

    // Appends a timer that has been set active; check_timers() completes it when it is due.
    void add_timer(TimedActive& timer);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Dispatches the calling thread's messages until `done` answers true or WM_QUIT arrives; answers
// whether `done` was reached. The headless loop of the command-line tools and tests.
template <typename Done> bool run_messages_until(Done done)
{
    platform::Message message;
    while (!done()) {
        if (platform::get_message(message, 0, 0, 0) == 0) {
            platform::post_quit_message(static_cast<int>(message.wparam));
            return false;
        }
        platform::dispatch_message(message);
    }
    return true;
}

} // namespace core
