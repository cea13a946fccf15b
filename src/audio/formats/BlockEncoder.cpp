#include "BlockEncoder.h"

#include <platform/riff.h>

namespace audio {

void BlockEncoder::set_geometry(int32_t samples_per_block, int32_t block_align, AudioFormat const& coded)
{
    samples_per_block_ = samples_per_block;
    block_align_ = block_align;
    coded_format_ = coded;
}

AudioBuffer BlockEncoder::transform(AudioBuffer const& input)
{
    return code(input);
}

AudioBuffer BlockEncoder::get_data(int32_t frames)
{
    core::Lock guard(lock());
    for (;;) {
        AudioBuffer const input = pull_upstream(*this, frames);
        if (input.empty())
            return {};
        AudioBuffer output = code(input);
        if (!output.empty())
            return output;
    }
}

AudioBuffer BlockEncoder::code(AudioBuffer const& input)
{
    if (input.empty() || refused_)
        return {};
    if (!configured_) {
        configured_ = true;
        input_format_ = input.format;
        refused_ = input.format.bits_per_sample != 16 || !configure(input.format);
        if (refused_)
            return {};
    }
    if (input.format != input_format_)
        return {};

    size_t const channels = static_cast<size_t>(input_format_.channels);
    size_t const block_samples = static_cast<size_t>(samples_per_block_) * channels;
    size_t const count = input.length() / 2;
    size_t const blocks = (staged_.size() + count) / block_samples;
    AudioBuffer output;
    if (blocks > 0) {
        output = AudioBuffer(core::SharedBuffer(blocks * static_cast<size_t>(block_align_)), coded_format_);
        output.coded_block_size = block_align_;
    }
    uint8_t* out = blocks ? output.data.writable() : nullptr;
    uint8_t const* p = input.data.data();
    for (size_t i = 0; i < count; ++i) {
        staged_.push_back(platform::riff::s16(p + 2 * i));
        if (staged_.size() == block_samples) {
            encode_block(staged_.data(), out);
            out += block_align_;
            staged_.clear();
        }
    }
    return output;
}

} // namespace audio
