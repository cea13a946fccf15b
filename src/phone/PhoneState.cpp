#include "PhoneState.h"

#include "LineApp.h"

#include <core/Log.h>
#include <os/Registry.h>

namespace phone {

namespace {

bool read_number(core::StringView key, core::StringView name, uint32_t& value)
{
    return os::reg_get_dword(key, name, value);
}

// A registry text as the caller's name or number: left alone when it cannot be read, cut when too long.
void read_caller_text(core::StringView name, core::String& text)
{
    if (os::reg_get_string(PHONE_STATE_KEY, name, text) && text.size() > MAX_CALLER_TEXT)
        text.resize(MAX_CALLER_TEXT);
}

} // namespace

bool is_call_active()
{
    uint32_t count = 0;
    return read_number(PHONE_STATE_KEY, u"Active Call Count", count) && count != 0;
}

bool is_talking()
{
    uint32_t status = 0;
    return is_call_active() && read_number(PHONE_STATE_KEY, u"Status", status) && (status & STATUS_TALKING) != 0;
}

CallKind get_call_info(core::String& name, core::String& number)
{
    if (!is_talking())
        return CALL_NONE;
    read_caller_text(u"Caller Number", number);
    read_caller_text(u"Caller Name", name);
    core::String line_name, line_number;
    CallKind const direction = get_current_call_info(line_name, line_number);
    core::log() << u"TAPI ret=" << direction << u"\n";
    if (!line_name.empty() && name.empty())
        name = line_name;
    if (!line_number.empty() && number.empty())
        number = line_number;
    return direction == CALL_NONE ? CALL_UNKNOWN_DIRECTION : direction;
}

bool is_speaker_on()
{
    uint32_t speaker = 0;
    return read_number(HARDWARE_STATE_KEY, u"Speaker", speaker) && speaker != 0;
}

} // namespace phone
