#include "ImaAdpcmDecoder.h"

#include <algorithm>
#include <audio/formats/WaveHeader.h>
#include <platform/riff.h>

namespace audio {

namespace {

constexpr int32_t STEPS[89] = { 7, 8, 9, 10, 11, 12, 13, 14, 16, 17, 19, 21, 23, 25, 28, 31, 34, 37, 41, 45, 50, 55, 60,
    66, 73, 80, 88, 97, 107, 118, 130, 143, 157, 173, 190, 209, 230, 253, 279, 307, 337, 371, 408, 449, 494, 544, 598,
    658, 724, 796, 876, 963, 1060, 1166, 1282, 1411, 1552, 1707, 1878, 2066, 2272, 2499, 2749, 3024, 3327, 3660, 4026,
    4428, 4871, 5358, 5894, 6484, 7132, 7845, 8630, 9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385,
    24623, 27086, 29794, 32767 };
constexpr int32_t INDEX_CHANGE[8] = { -1, -1, -1, -1, 2, 4, 6, 8 };

struct ImaChannel {
    int32_t sample = 0;
    int32_t index = 0;

    int16_t decode(int nibble)
    {
        int32_t const step = STEPS[index];
        int32_t difference = step >> 3;
        if (nibble & 1)
            difference += step >> 2;
        if (nibble & 2)
            difference += step >> 1;
        if (nibble & 4)
            difference += step;
        sample = std::clamp(nibble & 8 ? sample - difference : sample + difference, -32768, 32767);
        index = std::clamp(index + INDEX_CHANGE[nibble & 7], 0, 88);
        return static_cast<int16_t>(sample);
    }
};

// One block into `out`: 16-bit samples, frames x channels interleaved.
void decode_block(uint8_t const* block, size_t size, size_t channels, uint8_t* out)
{
    auto const put = [&](size_t frame, size_t c, int16_t sample) {
        platform::riff::put_s16(out + 2 * (frame * channels + c), sample);
    };
    ImaChannel state[2];
    for (size_t c = 0; c < channels; ++c) {
        state[c].sample = platform::riff::s16(block + 4 * c);
        // A damaged header's index is taken at the nearest end of the table.
        state[c].index = std::min<int32_t>(block[4 * c + 2], 88);
        put(0, c, static_cast<int16_t>(state[c].sample));
    }
    size_t const words = (size - 4 * channels) / (4 * channels);
    uint8_t const* data = block + 4 * channels;
    for (size_t w = 0; w < words; ++w)
        for (size_t c = 0; c < channels; ++c, data += 4)
            for (size_t i = 0; i < 8; ++i) {
                int const nibble = i % 2 == 0 ? data[i / 2] & 0x0F : data[i / 2] >> 4;
                put(1 + 8 * w + i, c, state[c].decode(nibble));
            }
}

} // namespace

AudioBuffer ImaAdpcmDecoder::transform(AudioBuffer const& input)
{
    size_t const channels = static_cast<size_t>(std::max(input.format.channels, 0));
    size_t const align = static_cast<size_t>(std::max(input.coded_block_size, 0));
    if (input.empty() || (channels != 1 && channels != 2) || align < 8 * channels || align > 0xFFFF)
        return {};
    size_t const block_bytes
        = 2 * channels * WaveHeader::ima_samples_per_block(static_cast<uint16_t>(align), int32_t(channels));
    size_t const blocks = input.length() / align;
    if (blocks == 0)
        return {};
    core::SharedBuffer out(blocks * block_bytes);
    uint8_t* bytes = out.writable();
    for (size_t b = 0; b < blocks; ++b)
        decode_block(input.data.data() + b * align, align, channels, bytes + b * block_bytes);
    return AudioBuffer(std::move(out), { int32_t(channels), 16, input.format.samples_per_second });
}

} // namespace audio
