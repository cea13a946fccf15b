#include "PlayerPCM.h"

#include "PlayerPCMImpl.h"

#include <core/Log.h>

namespace audio {

PlayerPCM::PlayerPCM(WaveOut& device)
    : impl_(std::make_unique<PlayerPCMImpl>(*this, device))
{
}

PlayerPCM::~PlayerPCM()
{
    impl_.reset();
}

void PlayerPCM::on_data(AudioBuffer const&)
{
    core::fatal_error(u"PlayerPCM::on_data", u"on_data unexpected - player is active object");
}

bool PlayerPCM::play()
{
    return impl_->play();
}

OutputRefusal PlayerPCM::refusal()
{
    return impl_->refusal();
}

bool PlayerPCM::stop()
{
    return impl_->stop();
}

bool PlayerPCM::pause()
{
    return impl_->pause();
}

bool PlayerPCM::is_finished()
{
    return impl_->is_finished();
}

void PlayerPCM::set_volume(double volume)
{
    impl_->set_volume(volume);
}

double PlayerPCM::volume()
{
    return impl_->volume();
}

double PlayerPCM::level(int channel)
{
    return impl_->level(channel);
}

double PlayerPCM::queued_seconds()
{
    return impl_->queued_seconds();
}

void PlayerPCM::seek(std::function<void()> const& reposition)
{
    impl_->seek(reposition);
}

} // namespace audio
