#include "AdpcmDecoder.h"

#include <algorithm>
#include <audio/formats/WaveHeader.h>
#include <platform/riff.h>

namespace audio {

namespace {

constexpr int32_t MIN_DELTA = 16;
// Damaged data could grow a step without end; no valid stream comes near this.
constexpr int64_t MAX_DELTA = 1 << 24;

using platform::riff::s16;

struct Channel {
    int32_t coefficient1 = 0;
    int32_t coefficient2 = 0;
    int64_t delta = MIN_DELTA;
    int32_t sample1 = 0; // the latest sample
    int32_t sample2 = 0; // the one before
};

} // namespace

AdpcmDecoder::AdpcmDecoder(std::vector<std::array<int16_t, 2>> coefficients)
    : coefficients_(coefficients.empty() ? std::vector<std::array<int16_t, 2>>(
                        WaveHeader::ADPCM_COEFFICIENTS.begin(), WaveHeader::ADPCM_COEFFICIENTS.end())
                                         : std::move(coefficients))
{
}

AudioBuffer AdpcmDecoder::transform(AudioBuffer const& input)
{
    int const channels = input.format.channels;
    size_t const align = static_cast<size_t>(std::max(input.coded_block_size, 0));
    if (input.empty() || (channels != 1 && channels != 2) || align <= size_t(7 * channels))
        return {};
    size_t const frames_per_block = (align - 7 * size_t(channels)) * 8 / (4 * size_t(channels)) + 2;
    size_t const blocks = input.length() / align;
    if (blocks == 0)
        return {};
    core::SharedBuffer out(blocks * frames_per_block * size_t(channels) * 2);
    std::vector<int16_t> decoded(frames_per_block * size_t(channels));
    uint8_t* bytes = out.writable();
    for (size_t b = 0; b < blocks; ++b) {
        decode_block(input.data.data() + b * align, align, channels, decoded.data());
        for (size_t i = 0; i < decoded.size(); ++i)
            platform::riff::put_s16(bytes + 2 * (b * decoded.size() + i), decoded[i]);
    }
    return AudioBuffer(std::move(out), { channels, 16, input.format.samples_per_second });
}

// Header, each field for every channel in turn: predictor index, initial step, second sample, first
// sample; then 4-bit codes, high nibble first, channels interleaved.
void AdpcmDecoder::decode_block(uint8_t const* block, size_t size, int channels, int16_t* out) const
{
    size_t const n = static_cast<size_t>(channels);
    Channel state[2];
    for (size_t c = 0; c < n; ++c) {
        size_t const index = std::min<size_t>(block[c], coefficients_.size() - 1);
        state[c].coefficient1 = coefficients_[index][0];
        state[c].coefficient2 = coefficients_[index][1];
        state[c].delta = s16(block + n + 2 * c);
        state[c].sample1 = s16(block + 3 * n + 2 * c);
        state[c].sample2 = s16(block + 5 * n + 2 * c);
        out[c] = static_cast<int16_t>(state[c].sample2);
        out[n + c] = static_cast<int16_t>(state[c].sample1);
    }
    size_t const codes = (size - 7 * n) * 2;
    uint8_t const* data = block + 7 * n;
    for (size_t i = 0; i < codes; ++i) {
        int const nibble = (i % 2 == 0) ? data[i / 2] >> 4 : data[i / 2] & 0x0F;
        Channel& ch = state[i % n];
        int64_t const code = nibble >= 8 ? nibble - 16 : nibble;
        int64_t const predicted = (int64_t(ch.sample1) * ch.coefficient1 + int64_t(ch.sample2) * ch.coefficient2) / 256;
        int32_t const sample = static_cast<int32_t>(std::clamp<int64_t>(predicted + code * ch.delta, -32768, 32767));
        ch.sample2 = ch.sample1;
        ch.sample1 = sample;
        ch.delta = std::clamp<int64_t>((WaveHeader::ADPCM_ADAPTATION[nibble] * ch.delta) >> 8, MIN_DELTA, MAX_DELTA);
        out[2 * n + i] = static_cast<int16_t>(sample);
    }
}

} // namespace audio
