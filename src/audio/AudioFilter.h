#pragma once

#include "AudioConsumer.h"
#include "AudioProducer.h"

namespace audio {

// A stage that works in either direction: pushed to, it transforms the buffer and feeds its consumer;
// pulled from, it pulls from its own producer and transforms that. One lock (the consumer side's) serves
// both, so a filter's state is only ever touched by one thread at a time.
//
// Threads: on_data on the delivering thread, get_data on the pulling thread, both under the lock;
// subclasses' setters and queries on the main thread take the same lock.
class AudioFilter : public AudioConsumer, public AudioProducer {
public:
    void on_data(AudioBuffer const& buffer) override;
    AudioBuffer get_data(int32_t frames) override;

protected:
    // The output for one input buffer; called under the lock. An empty output is not passed on.
    virtual AudioBuffer transform(AudioBuffer const& input) = 0;
};

} // namespace audio
