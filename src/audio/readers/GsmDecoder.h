#pragma once

#include "DecoderFilter.h"

#include <audio/formats/GsmCodec.h>

namespace audio {

// GSM 06.10 blocks in the WAV49 packing to 16-bit PCM: 65 bytes give 320 samples, mono, 8000 Hz. The
// decoder's state runs on from block to block, as the coder's did.
//
// Threads: as DecoderFilter.
class GsmDecoder final : public DecoderFilter {
protected:
    AudioBuffer transform(AudioBuffer const& input) override;

private:
    GsmCodec codec_;
};

} // namespace audio
