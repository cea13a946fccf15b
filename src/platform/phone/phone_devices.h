#pragma once

#include <cstddef>
#include <memory>

// The phone device service: the phone devices and their speaker hook switch.
//
// Threads: main thread. The registry-backed devices may be used from any thread.
namespace platform {

class PhoneDevices {
public:
    virtual ~PhoneDevices() = default;
    virtual size_t device_count() = 0;
    // Switches the device's hook switch to microphone-and-speaker (on) or on-hook (off); false when the
    // device cannot be opened as its owner.
    virtual bool set_speaker(size_t device, bool on) = 0;
};

// One phone device whose hook switch is a request ("Speaker Request" under "System\Telephony\Phone")
// that the phone publisher carries out and then shows in "Speaker"; none when the registry store cannot
// be opened.
std::unique_ptr<PhoneDevices> open_phone_devices();

} // namespace platform
