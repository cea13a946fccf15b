#include "LineApp.h"

#include "CallListener.h"
#include "PhoneState.h"

#include <platform/phone/phone_state.h>
#include <platform/phone/telephony_line.h>

namespace phone {

namespace {

core::String cut(std::u16string const& text)
{
    return text.substr(0, MAX_CALLER_TEXT);
}

} // namespace

LineApp::LineApp()
    : LineApp(platform::open_telephony_line())
{
}

LineApp::LineApp(std::unique_ptr<platform::TelephonyLine> line)
    : line_(std::move(line))
{
    if (!line_)
        return;
    auto const names = line_->line_names();
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == platform::CELLULAR_LINE) {
            device_ = i;
            break;
        }
}

LineApp::~LineApp() = default;

CallKind LineApp::get_current_call_info(core::String& name, core::String& number)
{
    if (!line_ || device_ == NO_DEVICE)
        return CALL_NONE;
    auto const calls = line_->calls(device_);
    if (calls.empty())
        return CALL_NONE;
    auto const& call = calls.front();
    if (call.state != platform::LineCallState::CONNECTED || call.media != platform::LineMedia::VOICE)
        return CALL_NONE;
    CallKind kind = CALL_NONE;
    if (call.direction == platform::LineCallDirection::INCOMING)
        kind = CALL_INCOMING;
    else if (call.direction == platform::LineCallDirection::OUTGOING)
        kind = CALL_OUTGOING;
    else
        return CALL_NONE;
    name = cut(call.name);
    number = cut(call.number);
    return kind;
}

CallKind get_current_call_info(core::String& name, core::String& number)
{
    LineApp line;
    return line.get_current_call_info(name, number);
}

} // namespace phone
