#pragma once

#include "phone_publisher.h"
#include <platform/services/registry_store.h>

#include <cstdint>
#include <string>

// A phone publisher without a phone: it writes the phone state, the line's current call and the speaker
// exactly as a phone's shell does through a call's life, so that the program (and its tests) see real
// calls. One call at a time. On a real phone the modem service (ModemManager, in ravelin-notifier)
// publishes through the same PhonePublisher; the command line of ravelin-phone only calls this.
//
// Threads: one thread at a time; other processes read what it writes through the registry store.
namespace platform {

using SimulatedCall = CallStage;

struct PhoneSnapshot {
    SimulatedCall call = SimulatedCall::NONE;
    uint32_t active_call_count = 0;
    uint32_t status = 0;
    std::u16string caller_number, caller_name;
    bool speaker = false;
};

class PhoneSimulator {
public:
    explicit PhoneSimulator(RegistryStore& store = RegistryStore::instance());

    // Each answers false, with the reason in `problem`, when the call is not in a state that allows it.
    // A call comes in: "Active Call Count" 1, ringing, not talking. Without a name, the contact store's
    // name for the number is published, as a phone's shell does. An empty number is a withheld one.
    bool ring(std::u16string const& number, std::u16string const& name, std::string& problem);
    // A call goes out: dialling, not talking, until answer().
    bool dial(std::u16string const& number, std::u16string const& name, std::string& problem);
    // The ringing call is taken, the dialled one is taken by the other end, or the held one resumed:
    // talking.
    bool answer(std::string& problem);
    // A talking call is put on hold (not talking), a held one resumed.
    bool hold(std::string& problem);
    // The call ends: the count falls to 0, the caller is forgotten, the speaker goes on-hook.
    bool hangup(std::string& problem);

    // Carries out a pending speaker hook-switch request and shows it in "Speaker"; true when one was there.
    bool carry_out_requests();
    PhoneSnapshot state();

private:
    void publish(SimulatedCall call);
    bool begin(LineCallDirection direction, std::u16string const& number, std::u16string name, std::string& problem);

    RegistryStore& store_;
    PhonePublisher publisher_;
};

} // namespace platform
