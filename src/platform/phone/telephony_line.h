#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The telephony line service: the line devices and the calls on them, with their state, direction,
// media and the other party. Each query reads afresh; nothing is kept between queries.
//
// Threads: main thread (the program asks it from the call monitor's poll). The registry-backed line may
// be used from any thread, one query at a time per object.
namespace platform {

enum class LineCallState : uint32_t { IDLE = 0, OFFERING = 1, DIALING = 2, CONNECTED = 3, ON_HOLD = 4 };
enum class LineCallDirection : uint32_t { UNKNOWN = 0, INCOMING = 1, OUTGOING = 2 };
enum class LineMedia : uint32_t { NONE = 0, VOICE = 1, DATA = 2 };

struct LineCall {
    LineCallState state = LineCallState::IDLE;
    LineCallDirection direction = LineCallDirection::UNKNOWN;
    LineMedia media = LineMedia::NONE;
    std::u16string name; // the other party's
    std::u16string number;
};

class TelephonyLine {
public:
    virtual ~TelephonyLine() = default;
    // The names of the line devices, in device order.
    virtual std::vector<std::u16string> line_names() = 0;
    // The calls on a device, the first one first; none for an unknown device.
    virtual std::vector<LineCall> calls(size_t device) = 0;
};

// The line as a phone publisher keeps it in the registry store: one device, named by "Line Name" under
// "System\Telephony\Line" (none while that is missing), with at most one call ("Call State" not IDLE)
// described by "Call Direction", "Media", "Party Name" and "Party Number".
std::unique_ptr<TelephonyLine> open_telephony_line();

inline constexpr char16_t LINE_NAME[] = u"Line Name";
inline constexpr char16_t LINE_CALL_STATE[] = u"Call State";
inline constexpr char16_t LINE_CALL_DIRECTION[] = u"Call Direction";
inline constexpr char16_t LINE_MEDIA[] = u"Media";
inline constexpr char16_t LINE_PARTY_NAME[] = u"Party Name";
inline constexpr char16_t LINE_PARTY_NUMBER[] = u"Party Number";

} // namespace platform
