#include "AudioProducer.h"

#include "AudioConsumer.h"

namespace audio {

AudioProducer::~AudioProducer()
{
    connect(*this, nullptr);
}

AudioBuffer AudioProducer::get_data(int32_t)
{
    return {};
}

void connect(AudioProducer& producer, AudioConsumer* consumer)
{
    if (AudioConsumer* old = producer.consumer_.load(std::memory_order_acquire)) {
        core::Lock guard(old->lock_);
        if (old->producer_ == &producer)
            old->producer_ = nullptr;
        producer.consumer_.store(nullptr, std::memory_order_release);
    }
    if (consumer) {
        core::Lock guard(consumer->lock_);
        // A consumer has one producer: taking it over unlinks the one it had.
        if (consumer->producer_ && consumer->producer_ != &producer)
            consumer->producer_->consumer_.store(nullptr, std::memory_order_release);
        consumer->producer_ = &producer;
        producer.consumer_.store(consumer, std::memory_order_release);
    }
}

void feed_consumer(AudioProducer& producer, AudioBuffer const& buffer)
{
    AudioConsumer* consumer = producer.consumer();
    if (!consumer)
        return;
    core::Lock guard(consumer->lock());
    if (producer.consumer() == consumer)
        consumer->on_data(buffer);
}

} // namespace audio
