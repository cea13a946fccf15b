#pragma once

#include "AudioBuffer.h"

#include <core/CriticalSection.h>

namespace audio {

class AudioProducer;

// Something that is pushed to. Its lock guards the link from its producer and every delivery to it, so a
// link is never cut in the middle of on_data.
//
// Threads: on_data on whichever thread feeds it (capture, drain, playback), under the lock; linking
// and unlinking on the main thread, under the same lock.
class AudioConsumer {
public:
    AudioConsumer() = default;
    AudioConsumer(AudioConsumer const&) = delete;
    AudioConsumer& operator=(AudioConsumer const&) = delete;

    // Takes one buffer; the base drops it.
    virtual void on_data(AudioBuffer const& buffer);
    // A consumer deleted while linked unlinks itself, so its producer never feeds freed memory.
    virtual ~AudioConsumer();

    core::CriticalSection& lock() { return lock_; }
    // The producer side linked to this consumer, or none.
    AudioProducer* producer();

private:
    friend void connect(AudioProducer& producer, AudioConsumer* consumer);

    core::CriticalSection lock_;
    AudioProducer* producer_ = nullptr;
};

// Pulls up to `frames` frames from the producer linked to `consumer`; the empty buffer when none is.
AudioBuffer pull_upstream(AudioConsumer& consumer, int32_t frames);

} // namespace audio
