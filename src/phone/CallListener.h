#pragma once

#include <core/Strings.h>

#include <cstdint>

namespace phone {

// Call kinds: no talking call, incoming, outgoing, talking but of unknown direction.
enum CallKind : int32_t { CALL_NONE = 0, CALL_INCOMING = 1, CALL_OUTGOING = 2, CALL_UNKNOWN_DIRECTION = 3 };

// Told by the call monitor when a talking call starts and when it ends.
// Threads: called on the main thread.
class CallListener {
public:
    virtual ~CallListener();
    // name and number may be empty; kind is CALL_INCOMING, CALL_OUTGOING or CALL_UNKNOWN_DIRECTION.
    virtual void on_call_start(core::StringView name, core::StringView number, CallKind kind) = 0;
    virtual void on_call_stop() = 0;
    // The published phone state (or the speaker's) may have changed: told after every change of the store
    // that holds it, call or not.
    virtual void on_phone_changed() { }
};

} // namespace phone
