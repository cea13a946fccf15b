#include "FileReaderFLAC.h"

#include <algorithm>
#include <audio/formats/FlacCodec.h>
#include <audio/formats/FlacStream.h>
#include <platform/riff.h>

namespace audio {

FileReaderFLAC::FileReaderFLAC(std::unique_ptr<os::InStream> in)
    : DecodingReader(std::move(in))
{
    // The library's search for a stream marker is left to files that have one where FLAC puts it.
    flac::Layout layout;
    if (!in_ || !in_->is_open() || !layout.read(*in_))
        return;
    decoder_ = std::make_unique<FlacDecoder>(*in_);
    if (!decoder_->open() || decoder_->channels() > 8)
        return;
    channels_ = static_cast<int32_t>(decoder_->channels());
    rate_ = static_cast<int32_t>(decoder_->rate());
    bits_ = decoder_->bits();
    length_ = static_cast<int64_t>(std::min<uint64_t>(decoder_->total_samples(), INT64_MAX));
    if (length_ == 0) {
        flac::FrameAt last;
        uint32_t const resume = in_->tell();
        if (flac::find_last_frame(*in_, layout, last))
            length_ = static_cast<int64_t>(last.end_sample());
        in_->seek(resume);
    }
    bytes_read_ = in_->tell();
    valid_ = true;
}

FileReaderFLAC::~FileReaderFLAC() = default;

AudioBuffer FileReaderFLAC::get_data(int32_t frames)
{
    core::Lock guard(lock());
    if (!valid_ || frames <= 0)
        return {};
    size_t const channels = size_t(channels_);
    if (pending_at_ >= pending_.size()) {
        uint64_t first = 0;
        pending_at_ = 0;
        if (!decoder_->next(pending_, first))
            return {};
        position_ = static_cast<int64_t>(first);
        bytes_read_ = in_->tell();
    }
    size_t const count = std::min(size_t(frames), (pending_.size() - pending_at_) / channels);
    core::SharedBuffer data(count * channels * 2);
    uint8_t* p = data.writable();
    int const shift = int(bits_) - 16;
    for (size_t i = 0; i < count * channels; ++i, p += 2) {
        int32_t const v = pending_[pending_at_ + i];
        platform::riff::put_s16(p, static_cast<int16_t>(shift >= 0 ? v >> shift : v * (1 << -shift)));
    }
    pending_at_ += count * channels;
    position_ += static_cast<int64_t>(count);
    return AudioBuffer(std::move(data), { channels_, 16, rate_ });
}

int32_t FileReaderFLAC::bit_rate()
{
    core::Lock guard(lock());
    if (!valid_ || length_ <= 0)
        return 0;
    double const rate = double(in_->size()) * 8 * rate_ / double(length_);
    return static_cast<int32_t>(std::clamp(rate, 0.0, double(INT32_MAX)));
}

bool FileReaderFLAC::seek_locked(int64_t frame)
{
    pending_.clear();
    pending_at_ = 0;
    if (frame >= length_) {
        position_ = length_;
        return true;
    }
    if (!decoder_->seek(static_cast<uint64_t>(frame), pending_))
        return false;
    position_ = frame;
    return true;
}

} // namespace audio
