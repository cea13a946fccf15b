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
    // Whether the device fills blocks as fast as they are queued rather than in real time.
    virtual bool is_fast(platform::WaveHandle handle);

    // The platform's device.
    static WaveIn& platform_device();
};

} // namespace audio
