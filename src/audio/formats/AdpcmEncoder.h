#pragma once

#include "BlockEncoder.h"

namespace audio {

// Microsoft ADPCM, 4 bits per sample, for 16-bit input of 1 or 2 channels (other input gives no
// output). Each block is coded with each of the 7 standard predictor pairs and keeps the one whose
// reconstruction stays closest to the input.
//
// Threads: as BlockEncoder.
class AdpcmEncoder final : public BlockEncoder {
public:
    // `block_align` 0 takes the size that goes with the rate; a continued file passes its own.
    explicit AdpcmEncoder(uint16_t block_align = 0);

protected:
    bool configure(AudioFormat const& input) override;
    void encode_block(int16_t const* samples, uint8_t* out) override;

private:
    struct Channel {
        int32_t sample1 = 0; // the latest reconstructed sample
        int32_t sample2 = 0; // the one before
        int32_t delta = 16;
    };
    // Codes `count` samples of one channel (stride `step`) with predictor `index`; writes the nibbles when
    // `nibbles` is given and answers the summed squared error.
    int64_t code_channel(
        int16_t const* samples, size_t step, size_t count, int index, uint8_t* nibbles = nullptr) const;

    uint16_t const requested_align_;
    int32_t channels_ = 0;
    std::vector<uint8_t> codes_[2]; // per channel, one block's
};

} // namespace audio
