#pragma once

#include <platform/phone/phone_publisher.h>

#include <functional>
#include <memory>
#include <vector>

// ModemManager's voice calls, followed on the system bus through libmm-glib: the modems that have the
// Voice interface as they come and go, and on each the calls as they are added, change state, learn
// their number and are deleted. Read only: it never starts, accepts, ends or deletes a call, and never
// starts ModemManager (no bus activation), so it needs no privileges.
//
// Threads: construct, use and destroy on the one thread that runs the global default GLib main context
// (libmm-glib's object manager delivers its signals there); the listener is called from it.
namespace platform {

class ModemCalls {
public:
    // `present` is false while ModemManager is not on the bus (or there is no system bus); the calls are
    // then none. Called after every change, with the calls of all modems in the order they were added.
    using Listener = std::function<void(bool present, std::vector<PhoneCall> const& calls)>;

    explicit ModemCalls(Listener listener);
    ~ModemCalls();
    ModemCalls(ModemCalls const&) = delete;
    ModemCalls& operator=(ModemCalls const&) = delete;

    bool present() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// ModemManager's call state and direction (ModemManager-enums.h) as the shell shows them: a call still
// being set up dials or rings by its direction; a waiting call rings; a terminated one is no call.
CallStage call_stage(int mm_state, int mm_direction);
LineCallDirection call_direction(int mm_direction);

} // namespace platform
