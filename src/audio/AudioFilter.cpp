#include "AudioFilter.h"

namespace audio {

void AudioFilter::on_data(AudioBuffer const& buffer)
{
    core::Lock guard(lock());
    AudioBuffer const output = transform(buffer);
    if (!output.empty())
        feed_consumer(*this, output);
}

AudioBuffer AudioFilter::get_data(int32_t frames)
{
    core::Lock guard(lock());
    return transform(pull_upstream(*this, frames));
}

} // namespace audio
