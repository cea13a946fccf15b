#include "GsmEncoder.h"

namespace audio {

bool GsmEncoder::configure(AudioFormat const& input)
{
    if (input.channels != 1 || input.samples_per_second != 8000 || !codec_.is_open())
        return false;
    // The coded buffers carry the file's format: mono, 8000 Hz, 0 bits per sample.
    set_geometry(GsmCodec::SAMPLES_PER_BLOCK, GsmCodec::BYTES_PER_BLOCK, { 1, 0, 8000 });
    return true;
}

void GsmEncoder::encode_block(int16_t const* samples, uint8_t* out)
{
    codec_.encode(samples, out);
}

} // namespace audio
