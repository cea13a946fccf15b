#pragma once

#include "CallListener.h"

#include <core/Strings.h>

#include <cstdint>

// The phone's state as the shell publishes it in the registry, read afresh at every call: whether a call
// exists and is talking, who is on the other end and in which direction, and whether the speaker is on.
// A value that cannot be read counts as "no call" (and "speaker off").
// Threads: any; the program asks on the main thread.
namespace phone {

inline constexpr char16_t PHONE_STATE_KEY[] = u"HKEY_LOCAL_MACHINE\\System\\State\\Phone";
inline constexpr char16_t HARDWARE_STATE_KEY[] = u"HKEY_LOCAL_MACHINE\\System\\State\\Hardware";
// "Status" has this bit while a call is talking (not while it rings, dials or is held).
inline constexpr uint32_t STATUS_TALKING = 0x20000000;
// Names and numbers are cut to this many characters, wherever they come from.
inline constexpr size_t MAX_CALLER_TEXT = 255;

// "Active Call Count" can be read and is not 0.
bool is_call_active();
// A call is active and "Status" has the talking bit.
bool is_talking();
// The kind of the talking call, or CALL_NONE (leaving both outputs alone). "Caller Number" and "Caller
// Name" fill the outputs when they can be read; the telephony line's own name and number only fill what
// the registry left empty. A talking call whose direction the line cannot tell is CALL_UNKNOWN_DIRECTION.
CallKind get_call_info(core::String& name, core::String& number);
// "Speaker" under the hardware state can be read and is not 0.
bool is_speaker_on();

} // namespace phone
