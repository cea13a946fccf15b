#include "LevelMeter.h"

#include <cstdlib>
#include <platform/riff.h>

namespace audio {

void LevelMeter::set_threshold(double threshold)
{
    core::Lock guard(lock());
    threshold_ = threshold;
}

double LevelMeter::threshold()
{
    core::Lock guard(lock());
    return threshold_;
}

double LevelMeter::level()
{
    core::Lock guard(lock());
    return level_;
}

double LevelMeter::silence()
{
    core::Lock guard(lock());
    return silence_;
}

bool LevelMeter::is_silent()
{
    core::Lock guard(lock());
    return silence_ > MAX_SILENCE;
}

AudioBuffer LevelMeter::transform(AudioBuffer const& input)
{
    size_t const frames = input.frames();
    int32_t const bits = input.format.bits_per_sample;
    if (frames == 0 || (bits != 8 && bits != 16))
        return input;
    double const full_scale = bits == 8 ? 128.0 : 32768.0;
    auto const threshold = static_cast<int32_t>(threshold_ * full_scale);
    size_t const stride = static_cast<size_t>(input.format.frame_size());
    uint8_t const* p = input.data.data();

    int32_t peak = 0;
    int64_t last_loud = -1;
    for (size_t i = 0; i < frames; ++i, p += stride) {
        int32_t const value = bits == 8 ? std::abs(int32_t(p[0]) - 128) : std::abs(int32_t(platform::riff::s16(p)));
        if (value > peak)
            peak = value;
        if (value >= threshold)
            last_loud = static_cast<int64_t>(i);
    }
    level_ = peak * (1.0 / full_scale);
    double const rate = input.format.samples_per_second;
    if (rate > 0) {
        if (threshold_ <= 0.0)
            silence_ = 0.0;
        else if (last_loud < 0)
            silence_ += frames / rate;
        else
            silence_ = (static_cast<double>(frames) - static_cast<double>(last_loud) - 1) / rate;
    }
    return input;
}

} // namespace audio
