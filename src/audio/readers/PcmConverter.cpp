#include "PcmConverter.h"

#include <algorithm>
#include <vector>

namespace audio {

namespace riff = platform::riff;

PcmConverter::PcmConverter(riff::Format const& source)
    : source_(source)
{
}

AudioBuffer PcmConverter::transform(AudioBuffer const& input)
{
    unsigned const channels = source_.channels;
    size_t const frame_bytes = source_.block_align;
    if (input.empty() || channels == 0 || frame_bytes != size_t(channels) * (source_.bits / 8))
        return {};
    unsigned const out_channels = std::min(channels, 2u);
    size_t const frames = input.length() / frame_bytes;
    core::SharedBuffer data(frames * out_channels * 2);
    uint8_t* out = data.writable();
    uint8_t const* in = input.data.data();
    std::vector<int32_t> samples(channels);
    size_t const sample_bytes = source_.bits / 8;
    for (size_t f = 0; f < frames; ++f, in += frame_bytes) {
        for (unsigned c = 0; c < channels; ++c)
            samples[c] = riff::sample16(in + c * sample_bytes, source_);
        int32_t stereo[2];
        riff::mix_to_stereo(samples.data(), channels, source_.channel_mask, stereo);
        for (unsigned c = 0; c < out_channels; ++c, out += 2)
            riff::put_s16(out, static_cast<int16_t>(stereo[c]));
    }
    return AudioBuffer(std::move(data), { static_cast<int32_t>(out_channels), 16, input.format.samples_per_second });
}

} // namespace audio
