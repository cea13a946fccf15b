#pragma once

#include <platform/wave/wave.h>

namespace audio {

// The wave calls that capture and playback make, gathered in one place so that a test can stand in for
// the device (to make it fail, or to count its calls). This base holds the calls both directions have and
// forwards them to the platform's calls of its direction.
//
// Threads: as the platform's calls: any.
class WaveDevice {
public:
    virtual ~WaveDevice();

    // With the given thread as notification target.
    virtual uint32_t open(platform::WaveHandle& handle, int device, platform::WaveFormat const& format,
        uint32_t thread_id, uintptr_t instance);
    virtual uint32_t prepare_header(platform::WaveHandle handle, platform::WaveBlock& block);
    virtual uint32_t unprepare_header(platform::WaveHandle handle, platform::WaveBlock& block);
    virtual uint32_t reset(platform::WaveHandle handle);
    virtual uint32_t close(platform::WaveHandle handle);

protected:
    // The platform's calls of one direction.
    struct Calls {
        uint32_t (*open)(platform::WaveHandle&, int, platform::WaveFormat const&, uint32_t, uintptr_t, uint32_t);
        uint32_t (*prepare_header)(platform::WaveHandle, platform::WaveBlock&);
        uint32_t (*unprepare_header)(platform::WaveHandle, platform::WaveBlock&);
        uint32_t (*reset)(platform::WaveHandle);
        uint32_t (*close)(platform::WaveHandle);
    };
    explicit WaveDevice(Calls const& calls);

private:
    Calls const calls_;
};

} // namespace audio
