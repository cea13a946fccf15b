#pragma once

#include "DecoderFilter.h"

#include <array>
#include <vector>

namespace audio {

// Microsoft ADPCM blocks (1 or 2 channels, 4 bits per sample) to 16-bit PCM: each block of block-align
// bytes gives (block align - 7 x channels) x 8 / (4 x channels) + 2 frames. The block size comes with
// each buffer (its coded block size), the predictor pairs from the file's header.
//
// Threads: as DecoderFilter.
class AdpcmDecoder final : public DecoderFilter {
public:
    explicit AdpcmDecoder(std::vector<std::array<int16_t, 2>> coefficients);

protected:
    AudioBuffer transform(AudioBuffer const& input) override;

private:
    void decode_block(uint8_t const* block, size_t size, int channels, int16_t* out) const;

    std::vector<std::array<int16_t, 2>> const coefficients_;
};

} // namespace audio
