#include "WaveIn.h"

namespace audio {

WaveIn::WaveIn()
    : WaveDevice({ &platform::wave_in_open, &platform::wave_in_prepare_header, &platform::wave_in_unprepare_header,
        &platform::wave_in_reset, &platform::wave_in_close })
{
}

uint32_t WaveIn::add_buffer(platform::WaveHandle handle, platform::WaveBlock& block)
{
    return platform::wave_in_add_buffer(handle, block);
}

uint32_t WaveIn::start(platform::WaveHandle handle)
{
    return platform::wave_in_start(handle);
}

uint32_t WaveIn::stop(platform::WaveHandle handle)
{
    return platform::wave_in_stop(handle);
}

bool WaveIn::is_fast(platform::WaveHandle handle)
{
    return platform::wave_in_is_fast(handle);
}

WaveIn& WaveIn::platform_device()
{
    static WaveIn device;
    return device;
}

} // namespace audio
