#include "DurationCounter.h"

namespace audio {

double DurationCounter::duration()
{
    core::Lock guard(lock());
    return seconds_;
}

void DurationCounter::reset()
{
    core::Lock guard(lock());
    seconds_ = 0.0;
}

AudioBuffer DurationCounter::transform(AudioBuffer const& input)
{
    if (input.format.samples_per_second > 0)
        seconds_ += static_cast<double>(input.frames()) / input.format.samples_per_second;
    return input;
}

} // namespace audio
