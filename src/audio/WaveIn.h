#pragma once

#include <platform/wave/wave.h>

namespace audio {

// The wave-input calls that capture makes, gathered in one place so that a test can stand in for the
// device (to make it fail, or to count its calls). The base forwards to the platform.
//
// Threads: as the platform's calls: any.
class WaveIn {
public:
    virtual ~WaveIn();

    // With the given thread as notification target.
    virtual uint32_t open(platform::WaveHandle& handle, int device, platform::WaveFormat const& format,
        uint32_t thread_id, uintptr_t instance);
    virtual uint32_t prepare_header(platform::WaveHandle handle, platform::WaveBlock& block);
    virtual uint32_t unprepare_header(platform::WaveHandle handle, platform::WaveBlock& block);
    virtual uint32_t add_buffer(platform::WaveHandle handle, platform::WaveBlock& block);
    virtual uint32_t start(platform::WaveHandle handle);
    virtual uint32_t stop(platform::WaveHandle handle);
    virtual uint32_t reset(platform::WaveHandle handle);
    virtual uint32_t close(platform::WaveHandle handle);

    // The platform's device.
    static WaveIn& platform_device();
};

} // namespace audio
