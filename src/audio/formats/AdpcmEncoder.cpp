#include "AdpcmEncoder.h"

#include "WaveHeader.h"

#include <algorithm>
#include <platform/riff.h>

namespace audio {

namespace {

constexpr int32_t INITIAL_DELTA = 16;

void put16(uint8_t*& p, int32_t v)
{
    platform::riff::put_u16(p, static_cast<uint16_t>(v));
    p += 2;
}

} // namespace

AdpcmEncoder::AdpcmEncoder(uint16_t block_align)
    : requested_align_(block_align)
{
}

bool AdpcmEncoder::configure(AudioFormat const& input)
{
    if (input.channels != 1 && input.channels != 2)
        return false;
    channels_ = input.channels;
    uint16_t const align
        = requested_align_ ? requested_align_ : WaveHeader::adpcm_block_align(channels_, input.samples_per_second);
    uint16_t const samples = WaveHeader::adpcm_samples_per_block(align, channels_);
    if (samples < 2)
        return false;
    set_geometry(samples, align, { channels_, 4, input.samples_per_second });
    for (auto& codes : codes_)
        codes.resize(samples);
    return true;
}

int64_t AdpcmEncoder::code_channel(int16_t const* samples, size_t step, size_t count, int index, uint8_t* nibbles) const
{
    int32_t const c1 = WaveHeader::ADPCM_COEFFICIENTS[static_cast<size_t>(index)][0];
    int32_t const c2 = WaveHeader::ADPCM_COEFFICIENTS[static_cast<size_t>(index)][1];
    Channel ch { samples[step], samples[0], INITIAL_DELTA };
    int64_t error_sum = 0;
    for (size_t i = 2; i < count; ++i) {
        int32_t const sample = samples[i * step];
        // Divided as decoders divide (toward zero), so that what is rebuilt here is what they will play.
        int32_t const predicted = (ch.sample1 * c1 + ch.sample2 * c2) / 256;
        int32_t const error = sample - predicted;
        // Nearest step, halves away from zero, within the 4-bit range.
        int32_t code = (error >= 0 ? error + ch.delta / 2 : error - ch.delta / 2) / ch.delta;
        code = std::clamp(code, -8, 7);
        int32_t const rebuilt = std::clamp(predicted + code * ch.delta, -32768, 32767);
        int64_t const miss = sample - rebuilt;
        error_sum += miss * miss;
        ch.sample2 = ch.sample1;
        ch.sample1 = rebuilt;
        ch.delta = std::max(INITIAL_DELTA, (WaveHeader::ADPCM_ADAPTATION[code & 0x0F] * ch.delta) >> 8);
        if (nibbles)
            nibbles[i - 2] = static_cast<uint8_t>(code & 0x0F);
    }
    return error_sum;
}

void AdpcmEncoder::encode_block(int16_t const* samples, uint8_t* out)
{
    size_t const count = static_cast<size_t>(samples_per_block());
    size_t const step = static_cast<size_t>(channels_);
    int best[2] = { 0, 0 };
    for (size_t c = 0; c < step; ++c) {
        int64_t least = -1;
        for (int index = 0; index < WaveHeader::ADPCM_COEFFICIENT_COUNT; ++index) {
            int64_t const e = code_channel(samples + c, step, count, index);
            if (least < 0 || e < least) {
                least = e;
                best[c] = index;
            }
        }
    }
    // Header: predictor indexes, initial deltas, second samples, first samples; each field per channel.
    uint8_t* p = out;
    for (size_t c = 0; c < step; ++c)
        *p++ = static_cast<uint8_t>(best[c]);
    for (size_t c = 0; c < step; ++c)
        put16(p, INITIAL_DELTA);
    for (size_t c = 0; c < step; ++c)
        put16(p, samples[step + c]);
    for (size_t c = 0; c < step; ++c)
        put16(p, samples[c]);

    // The codes of the remaining samples, high nibble first, channels interleaved.
    auto* codes = codes_;
    for (size_t c = 0; c < step; ++c)
        code_channel(samples + c, step, count, best[c], codes[c].data());
    size_t const total = (count - 2) * step;
    for (size_t n = 0; n < total; n += 2) {
        uint8_t const high = codes[n % step][n / step];
        uint8_t const low = codes[(n + 1) % step][(n + 1) / step];
        *p++ = static_cast<uint8_t>((high << 4) | low);
    }
}

} // namespace audio
