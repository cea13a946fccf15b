#include "phone_simulator.h"

#include "phone_state.h"
#include "telephony_line.h"
#include <platform/services/registry_values.h>

namespace platform {

namespace {

// The simulator's own record of the call, beside the values a phone publishes.
constexpr char16_t SIMULATED_CALL[] = u"Simulated Call";

} // namespace

PhoneSimulator::PhoneSimulator(RegistryStore& store)
    : store_(store)
    , publisher_(store)
{
}

PhoneSnapshot PhoneSimulator::state()
{
    PhoneSnapshot s;
    auto const call = read_dword(store_, RegistryRoot::LOCAL_MACHINE, LINE_KEY, SIMULATED_CALL).value_or(0);
    s.call = call <= static_cast<uint32_t>(SimulatedCall::ON_HOLD) ? static_cast<SimulatedCall>(call)
                                                                   : SimulatedCall::NONE;
    s.active_call_count
        = read_dword(store_, RegistryRoot::LOCAL_MACHINE, PHONE_STATE_KEY, ACTIVE_CALL_COUNT).value_or(0);
    s.status = read_dword(store_, RegistryRoot::LOCAL_MACHINE, PHONE_STATE_KEY, STATUS).value_or(0);
    s.caller_number = read_text(store_, RegistryRoot::LOCAL_MACHINE, PHONE_STATE_KEY, CALLER_NUMBER).value_or(u"");
    s.caller_name = read_text(store_, RegistryRoot::LOCAL_MACHINE, PHONE_STATE_KEY, CALLER_NAME).value_or(u"");
    s.speaker = read_dword(store_, RegistryRoot::LOCAL_MACHINE, HARDWARE_STATE_KEY, SPEAKER).value_or(0) != 0;
    return s;
}

void PhoneSimulator::publish(SimulatedCall call)
{
    write_dword(store_, RegistryRoot::LOCAL_MACHINE, LINE_KEY, SIMULATED_CALL, static_cast<uint32_t>(call));
    publisher_.write_stage(call, status_bits(call), call == SimulatedCall::NONE ? 0 : 1);
}

bool PhoneSimulator::begin(
    LineCallDirection direction, std::u16string const& number, std::u16string name, std::string& problem)
{
    if (state().call != SimulatedCall::NONE) {
        problem = "a call is already in progress";
        return false;
    }
    if (name.empty())
        name = contact_name(number);
    publisher_.write_caller(direction, number, name);
    publish(direction == LineCallDirection::INCOMING ? SimulatedCall::RINGING : SimulatedCall::DIALING);
    return true;
}

bool PhoneSimulator::ring(std::u16string const& number, std::u16string const& name, std::string& problem)
{
    return begin(LineCallDirection::INCOMING, number, name, problem);
}

bool PhoneSimulator::dial(std::u16string const& number, std::u16string const& name, std::string& problem)
{
    if (number.empty()) {
        problem = "a number to dial is needed";
        return false;
    }
    return begin(LineCallDirection::OUTGOING, number, name, problem);
}

bool PhoneSimulator::answer(std::string& problem)
{
    auto const call = state().call;
    if (call == SimulatedCall::NONE || call == SimulatedCall::TALKING) {
        problem = call == SimulatedCall::NONE ? "no call to answer" : "the call is already talking";
        return false;
    }
    publish(SimulatedCall::TALKING);
    return true;
}

bool PhoneSimulator::hold(std::string& problem)
{
    auto const call = state().call;
    if (call == SimulatedCall::TALKING) {
        publish(SimulatedCall::ON_HOLD);
        return true;
    }
    if (call == SimulatedCall::ON_HOLD) {
        publish(SimulatedCall::TALKING);
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
    write_dword(store_, RegistryRoot::LOCAL_MACHINE, LINE_KEY, SIMULATED_CALL, 0);
    publisher_.write_no_call();
    publisher_.write_speaker(false);
    return true;
}

bool PhoneSimulator::carry_out_requests()
{
    auto const request = publisher_.take_speaker_request();
    if (!request)
        return false;
    publisher_.write_speaker(*request);
    return true;
}

} // namespace platform
