#pragma once

#include <platform/wave/wave.h>

namespace audio {

// The wave-output calls that playback makes, gathered in one place so that a test can stand in for the
// device (to count its calls, or to make it fail). The base forwards to the platform.
//
// Threads: as the platform's calls: any.
class WaveOut {
public:
    virtual ~WaveOut();

    // With the given thread as notification target.
    virtual uint32_t open(platform::WaveHandle& handle, int device, platform::WaveFormat const& format,
        uint32_t thread_id, uintptr_t instance);
    virtual uint32_t prepare_header(platform::WaveHandle handle, platform::WaveBlock& block);
    virtual uint32_t unprepare_header(platform::WaveHandle handle, platform::WaveBlock& block);
    virtual uint32_t write(platform::WaveHandle handle, platform::WaveBlock& block);
    virtual uint32_t pause(platform::WaveHandle handle);
    virtual uint32_t restart(platform::WaveHandle handle);
    virtual uint32_t reset(platform::WaveHandle handle);
    virtual uint32_t close(platform::WaveHandle handle);
    virtual uint32_t set_volume(platform::WaveHandle handle, uint32_t volume);

    // The platform's device.
    static WaveOut& platform_device();
};

} // namespace audio
