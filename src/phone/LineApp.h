#pragma once

#include "CallListener.h"

#include <core/Strings.h>

#include <cstdint>
#include <memory>

namespace platform {
class TelephonyLine;
}

namespace phone {

// A short-lived connection to the telephony line service, made for one query: it finds the line device
// named "Cellular Line" and reads the first call on it.
// Threads: main thread; one query per object.
class LineApp {
public:
    static constexpr size_t NO_DEVICE = static_cast<size_t>(-1);

    LineApp();
    // For tests: a line service of their own.
    explicit LineApp(std::unique_ptr<platform::TelephonyLine> line);
    ~LineApp();
    LineApp(LineApp const&) = delete;
    LineApp& operator=(LineApp const&) = delete;

    // CALL_INCOMING or CALL_OUTGOING for a connected voice call, with the other party's name and number
    // (at most 255 characters each); CALL_NONE for anything else, leaving the outputs alone.
    CallKind get_current_call_info(core::String& name, core::String& number);

private:
    std::unique_ptr<platform::TelephonyLine> line_;
    size_t device_ = NO_DEVICE;
};

// The current call's direction as the telephony line tells it (a LineApp for this one query).
CallKind get_current_call_info(core::String& name, core::String& number);

} // namespace phone
