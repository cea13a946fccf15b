#include "LevelMeter.h"

#include <algorithm>
#include <array>
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

namespace {

// Magnitude of the first channel's sample at `p`.
template <int BITS> int32_t magnitude(uint8_t const* p)
{
    if constexpr (BITS == 8)
        return std::abs(int32_t(p[0]) - 128);
    else
        return std::abs(int32_t(platform::riff::s16(p)));
}

struct Scan {
    int32_t peak = 0;
    int64_t last_loud = -1; // the last frame at or above the threshold
};

// The peak in one pass the compiler can vectorise; the last loud frame, found only when there is one,
// by a walk back from the end that a voiced block ends after a few steps.
template <int BITS> Scan scan(uint8_t const* p, size_t frames, size_t stride, int32_t threshold)
{
    Scan s;
    int32_t peak = 0;
    size_t i = 0;
    if (stride == BITS / 8) {
        // One channel: the samples lie side by side. Runs of a fixed length, each with its own peaks, are
        // what the compiler vectorises at -O2.
        constexpr size_t RUN = 32;
        std::array<int32_t, RUN> peaks {};
        for (; i + RUN <= frames; i += RUN)
            for (size_t k = 0; k < RUN; ++k)
                peaks[k] = std::max(peaks[k], magnitude<BITS>(p + (i + k) * (BITS / 8)));
        peak = *std::max_element(peaks.begin(), peaks.end());
    }
    for (; i < frames; ++i)
        peak = std::max(peak, magnitude<BITS>(p + i * stride));
    s.peak = peak;
    if (peak < threshold)
        return s;
    for (size_t i = frames; i-- > 0;) {
        if (magnitude<BITS>(p + i * stride) >= threshold) {
            s.last_loud = static_cast<int64_t>(i);
            break;
        }
    }
    return s;
}

} // namespace

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

    Scan const s = bits == 8 ? scan<8>(p, frames, stride, threshold) : scan<16>(p, frames, stride, threshold);
    level_ = s.peak * (1.0 / full_scale);
    double const rate = input.format.samples_per_second;
    if (rate > 0) {
        if (threshold_ <= 0.0)
            silence_ = 0.0;
        else if (s.last_loud < 0)
            silence_ += frames / rate;
        else
            silence_ = (static_cast<double>(frames) - static_cast<double>(s.last_loud) - 1) / rate;
    }
    return input;
}

} // namespace audio
