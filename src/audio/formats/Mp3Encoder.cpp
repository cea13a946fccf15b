#include "Mp3Encoder.h"

#include <algorithm>
#include <cstring>
#include <platform/riff.h>

namespace audio {

Mp3Encoder::Mp3Encoder(int32_t bit_rate)
    : bit_rate_(bit_rate)
{
}

Mp3Encoder::~Mp3Encoder()
{
    core::Lock guard(lock());
    finish();
    AudioBuffer const last = take_coded();
    if (!last.empty())
        feed_consumer(*this, last);
}

AudioBuffer Mp3Encoder::transform(AudioBuffer const& input)
{
    AudioFormat const& f = input.format;
    if (input.empty() || f.bits_per_sample == 0 || f.samples_per_second == 0 || (f.channels != 1 && f.channels != 2))
        return {};
    // A change of sample size counts as well: the staged bytes are only meaningful in their own format.
    if (f != format_)
        finish();
    if (!encoder_.is_open()) {
        staged_.clear();
        if (!encoder_.open(f.samples_per_second, f.channels, bit_rate_ / 1000))
            return take_coded();
        format_ = f;
        ++encoders_;
        frame_samples_ = encoder_.frame_size();
        left_.assign(static_cast<size_t>(frame_samples_), 0);
        right_.assign(static_cast<size_t>(frame_samples_), 0);
    }

    size_t const frame_bytes = static_cast<size_t>(frame_samples_) * static_cast<size_t>(f.frame_size());
    uint8_t const* p = input.data.data();
    size_t rest = input.length();
    while (staged_.size() + rest >= frame_bytes) {
        uint8_t const* frame = p;
        size_t taken = frame_bytes;
        if (!staged_.empty()) {
            taken = frame_bytes - staged_.size();
            staged_.insert(staged_.end(), p, p + taken);
            frame = staged_.data();
        }
        split(frame, frame_samples_);
        code(frame_samples_);
        staged_.clear();
        p += taken;
        rest -= taken;
    }
    staged_.insert(staged_.end(), p, p + rest);
    return take_coded();
}

void Mp3Encoder::split(uint8_t const* bytes, int32_t frames)
{
    int32_t const channels = format_.channels;
    bool const wide = format_.bits_per_sample == 16;
    int32_t const step = channels * (wide ? 2 : 1);
    for (int32_t i = 0; i < frames; ++i, bytes += step) {
        auto sample = [&](int c) {
            return wide ? platform::riff::s16(bytes + 2 * c) : static_cast<int16_t>((bytes[c] - 128) * 256);
        };
        left_[static_cast<size_t>(i)] = sample(0);
        right_[static_cast<size_t>(i)] = channels == 2 ? sample(1) : 0;
    }
}

void Mp3Encoder::code(int32_t frames)
{
    size_t const used = coded_.size();
    coded_.resize(used + OUTPUT_AREA);
    int32_t const n = encoder_.encode(left_.data(), right_.data(), frames, coded_.data() + used, OUTPUT_AREA);
    coded_.resize(used + static_cast<size_t>(std::max(n, 0)));
}

void Mp3Encoder::finish()
{
    if (!encoder_.is_open())
        return;
    // The last part of a frame is coded too: the encoder pads it, so no captured sound is lost at a stop.
    int32_t const frame_size = format_.frame_size();
    if (frame_size > 0 && staged_.size() >= static_cast<size_t>(frame_size)) {
        int32_t const frames = static_cast<int32_t>(staged_.size()) / frame_size;
        split(staged_.data(), frames);
        code(frames);
    }
    staged_.clear();
    size_t const used = coded_.size();
    coded_.resize(used + OUTPUT_AREA);
    int32_t const n = encoder_.flush(coded_.data() + used, OUTPUT_AREA);
    coded_.resize(used + static_cast<size_t>(std::max(n, 0)));
    if (encoders_ == 1) {
        summary_.resize(OUTPUT_AREA);
        summary_.resize(static_cast<size_t>(encoder_.summary_frame(summary_.data(), OUTPUT_AREA)));
    } else {
        summary_.clear();
    }
    encoder_.close();
    format_ = {};
}

std::vector<uint8_t> Mp3Encoder::summary_frame()
{
    core::Lock guard(lock());
    finish();
    AudioBuffer const last = take_coded();
    if (!last.empty())
        feed_consumer(*this, last);
    return summary_;
}

AudioBuffer Mp3Encoder::take_coded()
{
    if (coded_.empty())
        return {};
    AudioBuffer out(core::SharedBuffer(coded_.size(), coded_.data()), format_);
    coded_.clear();
    return out;
}

} // namespace audio
