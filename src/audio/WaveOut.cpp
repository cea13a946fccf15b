#include "WaveOut.h"

namespace audio {

WaveOut::~WaveOut() = default;

uint32_t WaveOut::open(platform::WaveHandle& handle, int device, platform::WaveFormat const& format, uint32_t thread_id,
    uintptr_t instance)
{
    return platform::wave_out_open(handle, device, format, thread_id, instance, platform::CALLBACK_THREAD);
}

uint32_t WaveOut::prepare_header(platform::WaveHandle handle, platform::WaveBlock& block)
{
    return platform::wave_out_prepare_header(handle, block);
}

uint32_t WaveOut::unprepare_header(platform::WaveHandle handle, platform::WaveBlock& block)
{
    return platform::wave_out_unprepare_header(handle, block);
}

uint32_t WaveOut::write(platform::WaveHandle handle, platform::WaveBlock& block)
{
    return platform::wave_out_write(handle, block);
}

uint32_t WaveOut::pause(platform::WaveHandle handle)
{
    return platform::wave_out_pause(handle);
}

uint32_t WaveOut::restart(platform::WaveHandle handle)
{
    return platform::wave_out_restart(handle);
}

uint32_t WaveOut::reset(platform::WaveHandle handle)
{
    return platform::wave_out_reset(handle);
}

uint32_t WaveOut::close(platform::WaveHandle handle)
{
    return platform::wave_out_close(handle);
}

uint32_t WaveOut::set_volume(platform::WaveHandle handle, uint32_t volume)
{
    return platform::wave_out_set_volume(handle, volume);
}

WaveOut& WaveOut::platform_device()
{
    static WaveOut device;
    return device;
}

} // namespace audio
