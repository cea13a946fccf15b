#pragma once

#include "DecoderFilter.h"

#include <memory>
#include <vector>

namespace audio {

// Whole MPEG audio frames to 16-bit PCM through libmad, with the frame's channels and sample rate. The
// decoder's state (the layer III bit reservoir, the synthesis) runs on from one buffer to the next; a
// frame libmad cannot decode gives nothing and the next one is tried.
//
// The last frame of each buffer waits for the next buffer: libmad keeps the part of a frame that the
// next frame's bit reservoir needs only when it can read that next frame's header.
//
// Threads: as DecoderFilter.
class Mp3Decoder final : public DecoderFilter {
public:
    Mp3Decoder();
    ~Mp3Decoder() override;

protected:
    AudioBuffer transform(AudioBuffer const& input) override;
    AudioBuffer flush() override;

private:
    // Decodes the frames that start before `end` (an offset into input_, which ends in guard bytes).
    AudioBuffer decode(size_t end);

    struct Mad;
    std::unique_ptr<Mad> mad_;
    std::vector<uint8_t> input_; // the held frame, the new frames, libmad's guard bytes
};

} // namespace audio
