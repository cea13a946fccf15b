#pragma once

#include "DecoderFilter.h"

namespace audio {

// IMA ADPCM blocks (WAV coding 17, as dictation recorders and telephone systems write them; 1 or 2
// channels, 4 bits per sample) to 16-bit PCM. Each block of block-align bytes starts with a 4-byte header
// per channel (the first sample and the step index), then words of 4 bytes (8 samples) per channel in
// turn: (block align - 4 x channels) x 2 / channels + 1 frames. The block size comes with each buffer.
//
// Threads: as DecoderFilter.
class ImaAdpcmDecoder final : public DecoderFilter {
protected:
    AudioBuffer transform(AudioBuffer const& input) override;
};

} // namespace audio
