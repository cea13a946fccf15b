#include "WaveIn.h"

namespace audio {

WaveIn::~WaveIn() = default;

uint32_t WaveIn::open(platform::WaveHandle& handle, int device, platform::WaveFormat const& format, uint32_t thread_id,
    uintptr_t instance)
{
    return platform::wave_in_open(handle, device, format, thread_id, instance, platform::CALLBACK_THREAD);
}

uint32_t WaveIn::prepare_header(platform::WaveHandle handle, platform::WaveBlock& block)
{
    return platform::wave_in_prepare_header(handle, block);
}

uint32_t WaveIn::unprepare_header(platform::WaveHandle handle, platform::WaveBlock& block)
{
    return platform::wave_in_unprepare_header(handle, block);
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

uint32_t WaveIn::reset(platform::WaveHandle handle)
{
    return platform::wave_in_reset(handle);
}

uint32_t WaveIn::close(platform::WaveHandle handle)
{
    return platform::wave_in_close(handle);
}

WaveIn& WaveIn::platform_device()
{
    static WaveIn device;
    return device;
}

} // namespace audio
