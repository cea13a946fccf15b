#pragma once

#include "LameEncoder.h"

#include <audio/AudioFilter.h>
#include <vector>

namespace audio {

// Codes PCM (8 or 16 bits, 1 or 2 channels) into MP3 at a constant bit rate, a whole encoder frame at a
// time; the part of a frame that is left waits for the next buffer. A change of channels or rate
// finishes the encoder and starts a new one; so does destruction, whose last bytes go down the link
// before the filter is gone.
//
// Threads: made and destroyed on the main thread; transform on the drain thread under the filter's lock.
class Mp3Encoder final : public AudioFilter {
public:
    static constexpr int32_t OUTPUT_AREA = 2500;

    // Bits per second.
    explicit Mp3Encoder(int32_t bit_rate);
    ~Mp3Encoder() override;

    int32_t bit_rate() const { return bit_rate_; }
    // The summary frame of the first encoder, once it is finished: written over the first coded frame,
    // it lets players leave out the encoder's delay and padding. Empty when the format changed on the way.
    std::vector<uint8_t> summary_frame();

protected:
    AudioBuffer transform(AudioBuffer const& input) override;

private:
    // Codes the staged samples, empties the encoder into `coded_` and forgets it.
    void finish();
    // Splits `frames` frames of interleaved input into the left and right arrays.
    void split(uint8_t const* bytes, int32_t frames);
    void code(int32_t frames);
    AudioBuffer take_coded();

    int32_t const bit_rate_;
    LameEncoder encoder_;
    AudioFormat format_; // of the encoder's input
    int32_t frame_samples_ = 0;
    std::vector<uint8_t> staged_; // less than one frame of input bytes
    std::vector<int16_t> left_;
    std::vector<int16_t> right_;
    std::vector<uint8_t> coded_; // bytes coded from the current input
    int encoders_ = 0;
    std::vector<uint8_t> summary_;
};

} // namespace audio
