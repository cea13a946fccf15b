#include "WaveOut.h"

namespace audio {

WaveOut::WaveOut()
    : WaveDevice({ &platform::wave_out_open, &platform::wave_out_prepare_header, &platform::wave_out_unprepare_header,
        &platform::wave_out_reset, &platform::wave_out_close })
{
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

uint32_t WaveOut::set_volume(platform::WaveHandle handle, uint32_t volume)
{
    return platform::wave_out_set_volume(handle, volume);
}

uint32_t WaveOut::get_position(platform::WaveHandle handle, platform::WaveTime& time)
{
    return platform::wave_out_get_position(handle, time);
}

WaveOut& WaveOut::platform_device()
{
    static WaveOut device;
    return device;
}

} // namespace audio
