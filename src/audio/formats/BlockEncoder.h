#pragma once

#include <audio/AudioFilter.h>
#include <vector>

namespace audio {

// Base of the encoders that code fixed blocks of samples (ADPCM, GSM): collects input until it holds
// exactly one block, codes each full block into `block_align` bytes and hands the blocks on in one
// buffer tagged with the coded format and block size. Only input in the format of the first buffer is
// taken; pushed input that does not fill a block waits for the next buffer, pulled input is pulled until
// a block is full or the upstream has no more.
//
// Threads: transform and get_data on the thread that drives the chain, under the filter's lock.
class BlockEncoder : public AudioFilter {
public:
    AudioBuffer get_data(int32_t frames) override;

protected:
    // Whether the coder takes input of this format; fixes the block geometry when it does.
    virtual bool configure(AudioFormat const& input) = 0;
    // Codes one block of `samples_per_block()` frames into `block_align()` bytes.
    virtual void encode_block(int16_t const* samples, uint8_t* out) = 0;

    AudioBuffer transform(AudioBuffer const& input) override;

    void set_geometry(int32_t samples_per_block, int32_t block_align, AudioFormat const& coded);
    int32_t samples_per_block() const { return samples_per_block_; }
    int32_t block_align() const { return block_align_; }

private:
    // Takes what it can of `input` and answers the full blocks coded, if any.
    AudioBuffer code(AudioBuffer const& input);

    bool configured_ = false;
    bool refused_ = false;
    AudioFormat input_format_;
    AudioFormat coded_format_;
    int32_t samples_per_block_ = 0;
    int32_t block_align_ = 0;
    std::vector<int16_t> staged_; // interleaved samples of the block being collected
};

} // namespace audio
