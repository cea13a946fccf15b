#pragma once

#include "CallListener.h"

#include <memory>

namespace platform {
class RegistryChangeWatch;
}

namespace phone {

// Notices calls from the published phone state and tells its listener once when a talking call starts and
// once when it ends. A call put on hold has not ended: it ends when no call is active. A change of kind or
// caller during a call is not told, and two calls back to back that no look at the state saw apart are one
// call.
//
// The state is read once after construction and then only when the registry store has changed: a thread
// watches the store and hands each change to the main thread, so nothing runs while the phone is quiet.
//
// Threads: main thread only, with the scheduler running (a change is handed over as an active object).
class CallMonitorImpl final {
public:
    // The listener may be none: then nothing is asked of the phone.
    explicit CallMonitorImpl(CallListener* listener);
    ~CallMonitorImpl();
    CallMonitorImpl(CallMonitorImpl const&) = delete;
    CallMonitorImpl& operator=(CallMonitorImpl const&) = delete;

    // The last state told: a talking call is on.
    bool call() const { return call_; }

private:
    class Changes;
    // Reads the state and tells what changed.
    void check();

    CallListener* listener_;
    bool call_ = false;
    bool checking_ = false;
    bool check_again_ = false;
    std::unique_ptr<Changes> changes_;
    std::unique_ptr<platform::RegistryChangeWatch> watch_;
};

} // namespace phone
