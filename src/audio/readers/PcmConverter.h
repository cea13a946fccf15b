#pragma once

#include "DecoderFilter.h"

#include <platform/riff.h>

namespace audio {

// PCM WAV data that the player cannot take as it is (24- and 32-bit integers, float, more than two
// channels) to 16-bit samples in one or two channels: each sample rounded to the nearest 16-bit value,
// more than two channels mixed down to stereo by their speaker positions.
//
// Threads: as DecoderFilter.
class PcmConverter final : public DecoderFilter {
public:
    // The layout of the file's frames, which the buffers' AudioFormat alone does not tell (float or
    // integer, the speakers).
    explicit PcmConverter(platform::riff::Format const& source);

protected:
    AudioBuffer transform(AudioBuffer const& input) override;

private:
    platform::riff::Format const source_;
};

} // namespace audio
