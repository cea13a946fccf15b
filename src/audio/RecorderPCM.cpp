#include "RecorderPCM.h"

#include "RecorderPCMImpl.h"

#include <core/Log.h>

namespace audio {

bool RecorderPCM::takes(int32_t channels, int32_t samples_per_second, int32_t bits_per_sample)
{
    platform::WaveHandle handle = 0;
    return platform::wave_in_open(handle, platform::WAVE_MAPPER,
               RecorderPCMImpl::device_format(channels, samples_per_second, bits_per_sample), 0, 0,
               platform::CALLBACK_NULL | platform::WAVE_FORMAT_QUERY)
        == platform::MMSYSERR_NOERROR;
}

RecorderPCM::RecorderPCM(int32_t channels, int32_t samples_per_second, int32_t bits_per_sample, WaveIn& device)
    : impl_(std::make_unique<RecorderPCMImpl>(channels, samples_per_second, bits_per_sample, *this, device))
{
}

RecorderPCM::~RecorderPCM()
{
    impl_.reset();
}

AudioBuffer RecorderPCM::get_data(int32_t)
{
    core::fatal_error(u"RecorderPCM::get_data", u"get_data unexpected - recorder is active object");
}

bool RecorderPCM::start()
{
    return impl_->start();
}

bool RecorderPCM::pause()
{
    return impl_->pause();
}

bool RecorderPCM::finish(uint32_t milliseconds)
{
    return impl_->finish(milliseconds);
}

void RecorderPCM::set_room_wait(RoomWait wait)
{
    impl_->set_room_wait(std::move(wait));
}

bool RecorderPCM::is_stopped()
{
    return impl_->is_stopped();
}

bool RecorderPCM::is_running()
{
    return impl_->is_running();
}

int32_t RecorderPCM::channels()
{
    return impl_->format().channels;
}

int32_t RecorderPCM::bits_per_sample()
{
    return impl_->format().bits_per_sample;
}

int32_t RecorderPCM::samples_per_second()
{
    return impl_->format().samples_per_second;
}

int32_t RecorderPCM::bit_rate()
{
    AudioFormat const f = impl_->format();
    return f.channels * f.samples_per_second * ((f.bits_per_sample + 7) / 8) * 8;
}

int32_t RecorderPCM::block_size()
{
    return impl_->block_size();
}

} // namespace audio
