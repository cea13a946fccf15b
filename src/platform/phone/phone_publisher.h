#pragma once

#include "telephony_line.h"
#include <platform/services/registry_store.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What every phone publisher (the simulator, the modem service) writes into the registry store, in the
// order a reader needs: the line and the caller first, the shell's "Status" and "Active Call Count" last,
// so that a reader that sees the talking bit finds the rest ready.
//
// Threads: one thread at a time per publisher; the store itself may be shared.
namespace platform {

// A call's life as the shell shows it; NONE is no call (or an ended one).
enum class CallStage : uint32_t { NONE, RINGING, DIALING, TALKING, ON_HOLD };

struct PhoneCall {
    CallStage stage = CallStage::NONE;
    LineCallDirection direction = LineCallDirection::UNKNOWN;
    std::u16string number, name; // the other party's; empty while not known
    bool operator==(PhoneCall const&) const = default;
};

// What the shell publishes for a set of calls: the count of calls that have not ended, the "Status" bits
// of all of them, and the one call the line reports (the talking one, else a held one, else one that
// rings or dials; among equals the last one listed).
struct PhoneSummary {
    uint32_t count = 0, status = 0;
    PhoneCall current;
    bool operator==(PhoneSummary const&) const = default;
};
PhoneSummary summarise_calls(std::vector<PhoneCall> const& calls);

uint32_t status_bits(CallStage stage);

// The contact store's name for a number; empty when the number is empty or nobody has it.
std::u16string contact_name(std::u16string const& number);

// Writes of the phone state. The line's device name is made "Cellular Line" when it has none.
class PhonePublisher {
public:
    explicit PhonePublisher(RegistryStore& store = RegistryStore::instance());

    // The caller and the line's call facts (direction, voice media, party).
    void write_caller(LineCallDirection direction, std::u16string const& number, std::u16string const& name);
    // The line's call state, "Status" and "Active Call Count".
    void write_stage(CallStage stage, uint32_t status, uint32_t count);
    // No call: the stage, then the caller and the line's call facts are removed.
    void write_no_call();
    void write_speaker(bool on);
    // A pending speaker hook-switch request, removed from the store: on or off; none without one.
    std::optional<bool> take_speaker_request();
    bool has_speaker_request() const;

    // Publishes a summary, writing only what differs from the summary published last by this object.
    void publish(PhoneSummary const& summary);
    std::optional<PhoneSummary> const& published() const { return published_; }

private:
    RegistryStore& store_;
    std::optional<PhoneSummary> published_;
};

} // namespace platform
