#include "GsmDecoder.h"

#include <algorithm>
#include <platform/riff.h>

namespace audio {

AudioBuffer GsmDecoder::transform(AudioBuffer const& input)
{
    size_t const blocks = input.length() / GsmCodec::BYTES_PER_BLOCK;
    if (blocks == 0 || !codec_.is_open())
        return {};
    core::SharedBuffer out(blocks * GsmCodec::SAMPLES_PER_BLOCK * 2);
    uint8_t* bytes = out.writable();
    int16_t samples[GsmCodec::SAMPLES_PER_BLOCK];
    for (size_t b = 0; b < blocks; ++b) {
        // A block that is not valid GSM decodes to silence rather than to what the last one left.
        if (!codec_.decode(input.data.data() + b * GsmCodec::BYTES_PER_BLOCK, samples))
            std::fill(std::begin(samples), std::end(samples), int16_t(0));
        for (int i = 0; i < GsmCodec::SAMPLES_PER_BLOCK; ++i, bytes += 2)
            platform::riff::put_s16(bytes, samples[i]);
    }
    return AudioBuffer(std::move(out), { 1, 16, 8000 });
}

} // namespace audio
