#pragma once

#include "WaveDevice.h"

namespace audio {

// The wave-input calls that capture makes; the base forwards to the platform.
//
// Threads: as the platform's calls: any.
class WaveIn : public WaveDevice {
public:
    WaveIn();

    virtual uint32_t add_buffer(platform::WaveHandle handle, platform::WaveBlock& block);
    virtual uint32_t start(platform::WaveHandle handle);
    virtual uint32_t stop(platform::WaveHandle handle);

    // The platform's device.
    static WaveIn& platform_device();
};

} // namespace audio
