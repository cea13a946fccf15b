#include "AudioBuffer.h"

namespace audio {

size_t AudioBuffer::frames() const
{
    int32_t const size = format.frame_size();
    if (data.empty() || size <= 0)
        return 0;
    return data.length() / static_cast<size_t>(size);
}

double AudioBuffer::duration() const
{
    if (format.samples_per_second <= 0)
        return 0.0;
    return static_cast<double>(frames()) / format.samples_per_second;
}

} // namespace audio
