#include "phone_simulator.h"

#include "contacts.h"
#include "phone_state.h"
#include "registry_values.h"
#include "telephony_line.h"

namespace platform {

namespace {

constexpr RegistryRoot MACHINE = RegistryRoot::LOCAL_MACHINE;
// The simulator's own record of the call, beside the values a phone publishes.
constexpr char16_t SIMULATED_CALL[] = u"Simulated Call";

} // namespace

PhoneSimulator::PhoneSimulator(RegistryStore& store)
    : store_(store)
{
    if (!read_text(store_, MACHINE, LINE_KEY, LINE_NAME))
        write_text(store_, MACHINE, LINE_KEY, LINE_NAME, CELLULAR_LINE);
}

PhoneSnapshot PhoneSimulator::state()
{
    PhoneSnapshot s;
    auto const call = read_dword(store_, MACHINE, LINE_KEY, SIMULATED_CALL).value_or(0);
    s.call = call <= static_cast<uint32_t>(SimulatedCall::ON_HOLD) ? static_cast<SimulatedCall>(call)
                                                                   : SimulatedCall::NONE;
    s.active_call_count = read_dword(store_, MACHINE, PHONE_STATE_KEY, ACTIVE_CALL_COUNT).value_or(0);
    s.status = read_dword(store_, MACHINE, PHONE_STATE_KEY, STATUS).value_or(0);
    s.caller_number = read_text(store_, MACHINE, PHONE_STATE_KEY, CALLER_NUMBER).value_or(u"");
    s.caller_name = read_text(store_, MACHINE, PHONE_STATE_KEY, CALLER_NAME).value_or(u"");
    s.speaker = read_dword(store_, MACHINE, HARDWARE_STATE_KEY, SPEAKER).value_or(0) != 0;
    return s;
}

void PhoneSimulator::publish(SimulatedCall call, uint32_t status)
{
    LineCallState line = LineCallState::IDLE;
    switch (call) {
    case SimulatedCall::NONE:
        break;
    case SimulatedCall::RINGING:
        line = LineCallState::OFFERING;
        break;
    case SimulatedCall::DIALING:
        line = LineCallState::DIALING;
        break;
    case SimulatedCall::TALKING:
        line = LineCallState::CONNECTED;
        break;
    case SimulatedCall::ON_HOLD:
        line = LineCallState::ON_HOLD;
        break;
    }
    // The line first, the shell's state last: a reader that sees the talking bit finds the line ready.
    write_dword(store_, MACHINE, LINE_KEY, LINE_CALL_STATE, static_cast<uint32_t>(line));
    write_dword(store_, MACHINE, LINE_KEY, SIMULATED_CALL, static_cast<uint32_t>(call));
    write_dword(store_, MACHINE, PHONE_STATE_KEY, STATUS, status);
    write_dword(store_, MACHINE, PHONE_STATE_KEY, ACTIVE_CALL_COUNT, call == SimulatedCall::NONE ? 0 : 1);
}

bool PhoneSimulator::begin(bool incoming, std::u16string const& number, std::u16string name, std::string& problem)
{
    if (state().call != SimulatedCall::NONE) {
        problem = "a call is already in progress";
        return false;
    }
    if (name.empty() && !number.empty())
        if (auto store = open_contact_store())
            if (auto contact = store->find_by_phone(number))
                name = contact->card.formatted_name;
    auto const direction = incoming ? LineCallDirection::INCOMING : LineCallDirection::OUTGOING;
    write_dword(store_, MACHINE, LINE_KEY, LINE_CALL_DIRECTION, static_cast<uint32_t>(direction));
    write_dword(store_, MACHINE, LINE_KEY, LINE_MEDIA, static_cast<uint32_t>(LineMedia::VOICE));
    write_text(store_, MACHINE, LINE_KEY, LINE_PARTY_NAME, name);
    write_text(store_, MACHINE, LINE_KEY, LINE_PARTY_NUMBER, number);
    write_text(store_, MACHINE, PHONE_STATE_KEY, CALLER_NUMBER, number);
    write_text(store_, MACHINE, PHONE_STATE_KEY, CALLER_NAME, name);
    if (incoming)
        publish(SimulatedCall::RINGING, STATUS_RINGING);
    else
        publish(SimulatedCall::DIALING, STATUS_DIALING);
    return true;
}

bool PhoneSimulator::ring(std::u16string const& number, std::u16string const& name, std::string& problem)
{
    return begin(true, number, name, problem);
}

bool PhoneSimulator::dial(std::u16string const& number, std::u16string const& name, std::string& problem)
{
    if (number.empty()) {
        problem = "a number to dial is needed";
        return false;
    }
    return begin(false, number, name, problem);
}

bool PhoneSimulator::answer(std::string& problem)
{
    auto const call = state().call;
    if (call == SimulatedCall::NONE || call == SimulatedCall::TALKING) {
        problem = call == SimulatedCall::NONE ? "no call to answer" : "the call is already talking";
        return false;
    }
    publish(SimulatedCall::TALKING, STATUS_TALKING);
    return true;
}

bool PhoneSimulator::hold(std::string& problem)
{
    auto const call = state().call;
    if (call == SimulatedCall::TALKING) {
        publish(SimulatedCall::ON_HOLD, STATUS_ON_HOLD);
        return true;
    }
    if (call == SimulatedCall::ON_HOLD) {
        publish(SimulatedCall::TALKING, STATUS_TALKING);
        return true;
    }
    problem = "no talking or held call";
    return false;
}

bool PhoneSimulator::hangup(std::string& problem)
{
    if (state().call == SimulatedCall::NONE) {
        problem = "no call to hang up";
        return false;
    }
    publish(SimulatedCall::NONE, 0);
    for (auto const* name : { CALLER_NUMBER, CALLER_NAME })
        store_.remove_value(MACHINE, PHONE_STATE_KEY, name);
    for (auto const* name : { LINE_PARTY_NAME, LINE_PARTY_NUMBER, LINE_CALL_DIRECTION, LINE_MEDIA })
        store_.remove_value(MACHINE, LINE_KEY, name);
    set_speaker(false);
    return true;
}

void PhoneSimulator::set_speaker(bool on)
{
    write_dword(store_, MACHINE, HARDWARE_STATE_KEY, SPEAKER, on ? 1 : 0);
}

bool PhoneSimulator::carry_out_requests()
{
    auto const request = read_dword(store_, MACHINE, PHONE_DEVICE_KEY, SPEAKER_REQUEST);
    if (!request)
        return false;
    store_.remove_value(MACHINE, PHONE_DEVICE_KEY, SPEAKER_REQUEST);
    set_speaker(*request != 0);
    return true;
}

} // namespace platform
