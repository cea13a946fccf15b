#include "FlacWriter.h"

#include <algorithm>
#include <core/Log.h>
#include <os/FileSystem.h>
#include <platform/riff.h>

namespace audio {

namespace {

// Room for a longer title later, as the ID3 tag keeps.
constexpr uint32_t PADDING = 1024;

// `buffer`'s samples scaled to `bits`.
void to_samples(AudioBuffer const& buffer, uint32_t bits, std::vector<int32_t>& out)
{
    uint8_t const* p = buffer.data.data();
    bool const wide = buffer.format.bits_per_sample == 16;
    size_t const n = buffer.length() / (wide ? 2 : 1);
    out.resize(n);
    if (wide && bits == 16) {
        for (size_t i = 0; i < n; ++i)
            out[i] = platform::riff::s16(p + 2 * i);
        return;
    }
    for (size_t i = 0; i < n; ++i) {
        int32_t const v = wide ? platform::riff::s16(p + 2 * i) : (p[i] - 128) * 256;
        out[i] = bits >= 16 ? v * (1 << (bits - 16)) : v >> (16 - bits);
    }
}

} // namespace

FlacWriter::FlacWriter(
    core::StringView path, int32_t channels, int32_t bits, int32_t rate, bool append, RecordingTags const& tags)
    : path_(path)
    , append_(append)
    , channels_(static_cast<uint32_t>(std::max(channels, 1)))
    , bits_(static_cast<uint32_t>(std::max(bits, 8)))
    , rate_(static_cast<uint32_t>(std::max(rate, 1)))
    , file_(std::make_unique<os::File>(path, append ? os::FileMode::ReadWrite : os::FileMode::Write))
{
    if (!file_->is_open())
        return;
    std::vector<int32_t> tail;
    if (append && !prepare_continuation(tail))
        return;
    FlacEncoder::Setup setup;
    setup.channels = channels_;
    setup.bits = bits_;
    setup.rate = rate_;
    if (continuation_) {
        setup.metadata = false;
        setup.block_size = continuation_->layout.info.max_block;
    } else {
        setup.comments = VorbisComment::of(tags, VorbisComment::VENDOR).comments;
        if (!tags.picture.empty())
            setup.picture = flac_picture_block(tags.picture);
        setup.padding = PADDING;
    }
    good_ = encoder_.open(setup, *this);
    samples_in_ = tail.size() / channels_;
    good_ = good_ && (tail.empty() || encoder_.encode(tail.data(), uint32_t(samples_in_)));
    if (!good_)
        core::log() << u"FlacWriter: cannot start " << path_ << u"\n";
}

FlacWriter::~FlacWriter()
{
    core::Lock guard(lock());
    bool finished = good_ && !failed_ && encoder_.finish();
    if (frame_number_)
        finished = end_frame() && finished;
    finished = flush() && finished;
    if (continuation_) {
        write_stream_info(continuation_->layout.info);
    } else if (good_ && !finished) {
        // What the library could not finish: the stream information tells the whole frames there are.
        flac::Layout layout;
        if (layout.read(*file_))
            write_stream_info(layout.info);
    }
    file_.reset();
    if (!append_ && samples_in_ == 0)
        os::delete_file(path_);
}

bool FlacWriter::prepare_continuation(std::vector<int32_t>& tail)
{
    auto refuse = [&](std::string const& why) {
        core::log() << u"FlacWriter: cannot continue " << path_ << u": " << core::from_utf8(why) << u"\n";
        return false;
    };
    Continuation c;
    std::string why;
    if (!c.layout.read(*file_, &why))
        return refuse(why);
    flac::StreamInfo const& info = c.layout.info;
    if (info.bits > 24 || info.channels > 8)
        return refuse("more than 24 bits or 8 channels");
    uint32_t cut = c.layout.audio_start;
    flac::FrameAt last;
    if (flac::find_last_frame(*file_, c.layout, last)) {
        os::File in(path_, os::FileMode::Read);
        FlacDecoder decoder(in);
        if (!decoder.open() || !decoder.seek(last.first_sample, tail)
            || tail.size() != size_t(last.header.block_size) * info.channels)
            return refuse("its last frame does not decode");
        cut = last.offset;
        c.variable = last.header.variable;
        c.first_number = last.header.number;
        c.samples_before = last.first_sample;
    } else if (file_->size() > c.layout.audio_start) {
        return refuse("no whole frame found at its end");
    }
    c.min_frame = info.min_frame;
    c.max_frame = info.max_frame;
    channels_ = info.channels;
    bits_ = info.bits;
    if (info.rate != rate_)
        return refuse("another sample rate");
    continuation_ = c;
    // While the recording runs, the length is unknown: a kill leaves a file that reads to its last frame.
    flac::StreamInfo running = info;
    running.total_samples = 0;
    running.md5 = {};
    auto const bytes = running.bytes();
    uint32_t const at = c.layout.blocks.front().offset + flac::BLOCK_HEADER_SIZE;
    if (!file_->set_size(cut) || !file_->seek(at) || file_->write(bytes.data(), uint32_t(bytes.size())) != bytes.size()
        || !file_->seek(cut))
        return refuse("it cannot be written");
    end_ = cut;
    return true;
}

bool FlacWriter::write(uint8_t const* bytes, size_t size, uint32_t samples, uint32_t frame)
{
    if (failed_)
        return false;
    if (samples == 0) {
        // Metadata: the library's own when continuing (the file has its own already).
        return continuation_ || (flush() && put(bytes, size));
    }
    if (frame_number_ != frame) {
        if (frame_number_ && !end_frame())
            return false;
        frame_number_ = frame;
        frame_samples_ = samples;
    }
    auto& into = continuation_ ? frame_ : staged_;
    into.insert(into.end(), bytes, bytes + size);
    return true;
}

bool FlacWriter::end_frame()
{
    if (continuation_ && !frame_.empty()) {
        Continuation const& c = *continuation_;
        uint64_t const number
            = c.variable ? c.samples_before + samples_written_ + whole_samples_ : c.first_number + *frame_number_;
        std::vector<uint8_t> const out = flac::renumber_frame(frame_.data(), frame_.size(), number);
        frame_.clear();
        if (out.empty())
            return false;
        staged_.insert(staged_.end(), out.begin(), out.end());
        uint32_t const size = uint32_t(out.size());
        min_frame_ = min_frame_ ? std::min(min_frame_, size) : size;
        max_frame_ = std::max(max_frame_, size);
    }
    whole_ = staged_.size();
    whole_samples_ += frame_samples_;
    frame_samples_ = 0;
    return true;
}

bool FlacWriter::flush()
{
    if (whole_ == 0)
        return !failed_;
    if (!put(staged_.data(), whole_))
        return false;
    staged_.erase(staged_.begin(), staged_.begin() + long(whole_));
    whole_ = 0;
    samples_written_ += whole_samples_;
    whole_samples_ = 0;
    return true;
}

bool FlacWriter::put(uint8_t const* bytes, size_t size)
{
    if (failed_)
        return false;
    uint32_t const from = at_ ? *at_ : file_->tell();
    bool const appending = from >= end_;
    if (file_->write(bytes, uint32_t(size)) == size) {
        at_ = from + uint32_t(size);
        end_ = std::max(end_, *at_);
        return true;
    }
    at_.reset();
    core::log() << u"FlacWriter::write error=" << platform::last_error() << u"\n";
    // Only whole frames stay: a decoder that meets half a frame would report the file damaged.
    if (appending)
        file_->set_size(end_);
    failed_ = true;
    return false;
}

bool FlacWriter::seek(uint64_t position)
{
    // The library goes back only when it has coded everything: its last frame is whole.
    if (frame_number_ && !end_frame())
        return false;
    frame_number_.reset();
    if (!flush() || position > UINT32_MAX)
        return false;
    at_.reset();
    if (!file_->seek(static_cast<uint32_t>(position)))
        return false;
    at_ = static_cast<uint32_t>(position);
    return true;
}

bool FlacWriter::tell(uint64_t& position)
{
    position = (at_ ? *at_ : file_->tell()) + staged_.size();
    return true;
}

void FlacWriter::write_stream_info(flac::StreamInfo info)
{
    uint64_t const before = continuation_ ? continuation_->samples_before : 0;
    info.total_samples = before + samples_written_;
    info.md5 = {};
    if (continuation_) {
        // Frame sizes only where the old stream knew its own.
        bool const known = continuation_->min_frame != 0 && min_frame_ != 0;
        info.min_frame = known ? std::min(continuation_->min_frame, min_frame_) : 0;
        info.max_frame = continuation_->max_frame != 0 ? std::max(continuation_->max_frame, max_frame_) : 0;
    }
    flac::Layout layout;
    auto const bytes = info.bytes();
    if (!layout.read(*file_) || !file_->seek(layout.blocks.front().offset + flac::BLOCK_HEADER_SIZE)
        || file_->write(bytes.data(), uint32_t(bytes.size())) != bytes.size())
        core::log() << u"FlacWriter: the stream information of " << path_ << u" is not up to date\n";
}

void FlacWriter::on_data(AudioBuffer const& buffer)
{
    core::Lock guard(lock());
    AudioFormat const& f = buffer.format;
    // Another format is not an error: its buffers are dropped.
    if (!good_ || failed_ || buffer.empty() || uint32_t(f.channels) != channels_
        || uint32_t(f.samples_per_second) != rate_ || (f.bits_per_sample != 8 && f.bits_per_sample != 16))
        return;
    to_samples(buffer, bits_, samples_);
    samples_in_ += samples_.size() / channels_;
    // Whole frames go to the disk half a second at a time: a write (and whatever watches the folder) per
    // half second rather than per block, and never more than that kept back from a killed program.
    if (!encoder_.encode(samples_.data(), uint32_t(samples_.size() / channels_))
        || (whole_samples_ >= rate_ / 2 && !flush()))
        failed_ = true;
}

bool FlacWriter::is_good()
{
    core::Lock guard(lock());
    return good_ && !failed_;
}

uint32_t FlacWriter::bytes_written()
{
    core::Lock guard(lock());
    return file_ && file_->is_open() ? file_->size() : 0;
}

int32_t FlacWriter::bit_rate()
{
    core::Lock guard(lock());
    uint64_t const samples = samples_written_;
    uint32_t const size = file_ && file_->is_open() ? file_->size() : 0;
    if (samples == 0)
        return static_cast<int32_t>(channels_ * bits_ * rate_);
    return static_cast<int32_t>(std::min<double>(double(size) * 8 * rate_ / double(samples), INT32_MAX));
}

} // namespace audio
