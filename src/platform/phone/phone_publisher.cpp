#include "phone_publisher.h"

#include "contacts.h"
#include "phone_state.h"
#include <platform/services/registry_values.h>

namespace platform {

namespace {

LineCallState line_state(CallStage stage)
{
    switch (stage) {
    case CallStage::NONE:
        break;
    case CallStage::RINGING:
        return LineCallState::OFFERING;
    case CallStage::DIALING:
        return LineCallState::DIALING;
    case CallStage::TALKING:
        return LineCallState::CONNECTED;
    case CallStage::ON_HOLD:
        return LineCallState::ON_HOLD;
    }
    return LineCallState::IDLE;
}

// Which call the line reports: a talking one before a held one before one that rings or dials.
int rank(CallStage stage)
{
    switch (stage) {
    case CallStage::NONE:
        return 0;
    case CallStage::RINGING:
    case CallStage::DIALING:
        return 1;
    case CallStage::ON_HOLD:
        return 2;
    case CallStage::TALKING:
        return 3;
    }
    return 0;
}

} // namespace

uint32_t status_bits(CallStage stage)
{
    switch (stage) {
    case CallStage::NONE:
        return 0;
    case CallStage::RINGING:
        return STATUS_RINGING;
    case CallStage::DIALING:
        return STATUS_DIALING;
    case CallStage::TALKING:
        return STATUS_TALKING;
    case CallStage::ON_HOLD:
        return STATUS_ON_HOLD;
    }
    return 0;
}

PhoneSummary summarise_calls(std::vector<PhoneCall> const& calls)
{
    PhoneSummary summary;
    for (auto const& call : calls) {
        if (call.stage == CallStage::NONE)
            continue;
        ++summary.count;
        summary.status |= status_bits(call.stage);
        if (rank(call.stage) >= rank(summary.current.stage))
            summary.current = call;
    }
    return summary;
}

std::u16string contact_name(std::u16string const& number)
{
    if (number.empty())
        return {};
    if (auto store = open_contact_store())
        if (auto contact = store->find_by_phone(number))
            return contact->card.formatted_name;
    return {};
}

PhonePublisher::PhonePublisher(RegistryStore& store)
    : store_(store)
{
    if (!read_text(store_, RegistryRoot::LOCAL_MACHINE, LINE_KEY, LINE_NAME))
        write_text(store_, RegistryRoot::LOCAL_MACHINE, LINE_KEY, LINE_NAME, CELLULAR_LINE);
}

void PhonePublisher::write_caller(LineCallDirection direction, std::u16string const& number, std::u16string const& name)
{
    write_dword(store_, RegistryRoot::LOCAL_MACHINE, LINE_KEY, LINE_CALL_DIRECTION, static_cast<uint32_t>(direction));
    write_dword(store_, RegistryRoot::LOCAL_MACHINE, LINE_KEY, LINE_MEDIA, static_cast<uint32_t>(LineMedia::VOICE));
    write_text(store_, RegistryRoot::LOCAL_MACHINE, LINE_KEY, LINE_PARTY_NAME, name);
    write_text(store_, RegistryRoot::LOCAL_MACHINE, LINE_KEY, LINE_PARTY_NUMBER, number);
    write_text(store_, RegistryRoot::LOCAL_MACHINE, PHONE_STATE_KEY, CALLER_NUMBER, number);
    write_text(store_, RegistryRoot::LOCAL_MACHINE, PHONE_STATE_KEY, CALLER_NAME, name);
}

void PhonePublisher::write_stage(CallStage stage, uint32_t status, uint32_t count)
{
    write_dword(
        store_, RegistryRoot::LOCAL_MACHINE, LINE_KEY, LINE_CALL_STATE, static_cast<uint32_t>(line_state(stage)));
    write_dword(store_, RegistryRoot::LOCAL_MACHINE, PHONE_STATE_KEY, STATUS, status);
    write_dword(store_, RegistryRoot::LOCAL_MACHINE, PHONE_STATE_KEY, ACTIVE_CALL_COUNT, count);
}

void PhonePublisher::write_no_call()
{
    write_stage(CallStage::NONE, 0, 0);
    for (auto const* name : { CALLER_NUMBER, CALLER_NAME })
        store_.remove_value(RegistryRoot::LOCAL_MACHINE, PHONE_STATE_KEY, name);
    for (auto const* name : { LINE_PARTY_NAME, LINE_PARTY_NUMBER, LINE_CALL_DIRECTION, LINE_MEDIA })
        store_.remove_value(RegistryRoot::LOCAL_MACHINE, LINE_KEY, name);
}

void PhonePublisher::write_speaker(bool on)
{
    write_dword(store_, RegistryRoot::LOCAL_MACHINE, HARDWARE_STATE_KEY, SPEAKER, on ? 1 : 0);
}

std::optional<bool> PhonePublisher::take_speaker_request()
{
    auto const request = read_dword(store_, RegistryRoot::LOCAL_MACHINE, PHONE_DEVICE_KEY, SPEAKER_REQUEST);
    if (!request)
        return std::nullopt;
    store_.remove_value(RegistryRoot::LOCAL_MACHINE, PHONE_DEVICE_KEY, SPEAKER_REQUEST);
    return *request != 0;
}

bool PhonePublisher::has_speaker_request() const
{
    return read_dword(store_, RegistryRoot::LOCAL_MACHINE, PHONE_DEVICE_KEY, SPEAKER_REQUEST).has_value();
}

void PhonePublisher::publish(PhoneSummary const& summary)
{
    if (published_ == summary)
        return;
    if (summary.count == 0) {
        write_no_call();
    } else {
        auto const& call = summary.current;
        if (!published_ || published_->count == 0 || published_->current.direction != call.direction
            || published_->current.number != call.number || published_->current.name != call.name)
            write_caller(call.direction, call.number, call.name);
        write_stage(call.stage, summary.status, summary.count);
    }
    published_ = summary;
}

} // namespace platform
