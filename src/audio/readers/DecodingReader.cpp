#include "DecodingReader.h"

#include <algorithm>

namespace audio {

int32_t DecodingReader::channels()
{
    core::Lock guard(lock());
    return channels_;
}

int32_t DecodingReader::samples_per_second()
{
    core::Lock guard(lock());
    return rate_;
}

int64_t DecodingReader::seconds_to_units(double seconds)
{
    core::Lock guard(lock());
    return static_cast<int64_t>(double(rate_) * std::max(seconds, 0.0));
}

double DecodingReader::units_to_seconds(int64_t units)
{
    core::Lock guard(lock());
    return rate_ > 0 ? double(units) / rate_ : 0.0;
}

bool DecodingReader::at_end()
{
    core::Lock guard(lock());
    return !valid_ || tell_locked() >= length_;
}

int64_t DecodingReader::length()
{
    core::Lock guard(lock());
    return length_;
}

int64_t DecodingReader::position()
{
    core::Lock guard(lock());
    return valid_ ? std::max<int64_t>(tell_locked(), 0) : 0;
}

bool DecodingReader::seek(int64_t units)
{
    core::Lock guard(lock());
    return valid_ && seek_locked(std::clamp<int64_t>(units, 0, length_));
}

} // namespace audio
