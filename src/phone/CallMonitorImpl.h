#pragma once

#include "CallListener.h"

#include <core/Timer.h>

namespace phone {

// Notices calls by polling the published phone state every 0.1 s and tells its listener once when a
// talking call starts and once when it ends. A call put on hold has not ended: it ends when no call is
// active. A change of kind or caller during a call is not told, and two calls back to back without a
// silent poll between them are one call.
//
// Threads: main thread only, with the scheduler running (the poll is its timer).
class CallMonitorImpl final : private core::TimerListener {
public:
    static constexpr double POLL_SECONDS = 0.1;

    // The listener may be none: then nothing is asked of the phone.
    explicit CallMonitorImpl(CallListener* listener);
    ~CallMonitorImpl() override;
    CallMonitorImpl(CallMonitorImpl const&) = delete;
    CallMonitorImpl& operator=(CallMonitorImpl const&) = delete;

    // The last state told: a talking call is on.
    bool call() const { return call_; }

private:
    void on_timer(core::Timer& timer) override;

    CallListener* listener_;
    bool call_ = false;
    core::Timer timer_;
};

} // namespace phone
