#pragma once

#include "WaveDevice.h"

namespace audio {

// The wave-output calls that playback makes; the base forwards to the platform.
//
// Threads: as the platform's calls: any.
class WaveOut : public WaveDevice {
public:
    WaveOut();

    virtual uint32_t write(platform::WaveHandle handle, platform::WaveBlock& block);
    virtual uint32_t pause(platform::WaveHandle handle);
    virtual uint32_t restart(platform::WaveHandle handle);
    virtual uint32_t set_volume(platform::WaveHandle handle, uint32_t volume);
    virtual uint32_t get_position(platform::WaveHandle handle, platform::WaveTime& time);

    // The platform's device.
    static WaveOut& platform_device();
};

} // namespace audio
