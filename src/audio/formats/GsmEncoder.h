#pragma once

#include "BlockEncoder.h"
#include "GsmCodec.h"

namespace audio {

// GSM 06.10 for mono 16-bit input at 8000 Hz (other input gives no output): 320 samples in 65 bytes.
//
// Threads: as BlockEncoder.
class GsmEncoder final : public BlockEncoder {
protected:
    bool configure(AudioFormat const& input) override;
    void encode_block(int16_t const* samples, uint8_t* out) override;

private:
    GsmCodec codec_;
};

} // namespace audio
