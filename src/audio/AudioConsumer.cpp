#include "AudioConsumer.h"

#include "AudioProducer.h"

namespace audio {

void AudioConsumer::on_data(AudioBuffer const&)
{
}

AudioConsumer::~AudioConsumer()
{
    core::Lock guard(lock_);
    if (producer_)
        connect(*producer_, nullptr);
}

AudioProducer* AudioConsumer::producer()
{
    core::Lock guard(lock_);
    return producer_;
}

AudioBuffer pull_upstream(AudioConsumer& consumer, int32_t frames)
{
    core::Lock guard(consumer.lock());
    AudioProducer* producer = consumer.producer();
    return producer ? producer->get_data(frames) : AudioBuffer();
}

} // namespace audio
