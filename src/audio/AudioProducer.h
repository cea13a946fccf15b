#pragma once

#include "AudioBuffer.h"

#include <atomic>

namespace audio {

class AudioConsumer;

// Something that is pulled from, and the sending side of a link to one consumer.
//
// Threads: get_data on the thread that pulls (under the puller's lock); the link is changed by connect
// on the main thread and read by feed_consumer on the delivering thread.
class AudioProducer {
public:
    AudioProducer() = default;
    AudioProducer(AudioProducer const&) = delete;
    AudioProducer& operator=(AudioProducer const&) = delete;

    // A producer deleted while linked unlinks itself, so its consumer never pulls from freed memory.
    virtual ~AudioProducer();
    // Up to `frames` frames; the empty buffer (length 0, no format) when nothing more is available.
    virtual AudioBuffer get_data(int32_t frames);

    AudioConsumer* consumer() const { return consumer_.load(std::memory_order_acquire); }

private:
    friend void connect(AudioProducer& producer, AudioConsumer* consumer);

    std::atomic<AudioConsumer*> consumer_ { nullptr };
};

// Unlinks `producer` from its consumer (under that consumer's lock), then links it to `consumer` (under
// the new one's lock). None only unlinks.
void connect(AudioProducer& producer, AudioConsumer* consumer);

// Hands `buffer` to the linked consumer under its lock; with no consumer it is dropped.
void feed_consumer(AudioProducer& producer, AudioBuffer const& buffer);

} // namespace audio
