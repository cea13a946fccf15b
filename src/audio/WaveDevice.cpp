#include "WaveDevice.h"

namespace audio {

WaveDevice::WaveDevice(Calls const& calls)
    : calls_(calls)
{
}

WaveDevice::~WaveDevice() = default;

uint32_t WaveDevice::open(platform::WaveHandle& handle, int device, platform::WaveFormat const& format,
    uint32_t thread_id, uintptr_t instance)
{
    return calls_.open(handle, device, format, thread_id, instance, platform::CALLBACK_THREAD);
}

uint32_t WaveDevice::prepare_header(platform::WaveHandle handle, platform::WaveBlock& block)
{
    return calls_.prepare_header(handle, block);
}

uint32_t WaveDevice::unprepare_header(platform::WaveHandle handle, platform::WaveBlock& block)
{
    return calls_.unprepare_header(handle, block);
}

uint32_t WaveDevice::reset(platform::WaveHandle handle)
{
    return calls_.reset(handle);
}

uint32_t WaveDevice::close(platform::WaveHandle handle)
{
    return calls_.close(handle);
}

} // namespace audio
