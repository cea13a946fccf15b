#include "OpusWriter.h"

#include "OggPage.h"

#include <audio/readers/FileReader.h>
#include <audio/readers/ReaderInfo.h>
#include <core/Log.h>
#include <cstring>
#include <os/FileSystem.h>
#include <platform/riff.h>

namespace audio {

namespace {

constexpr int32_t TAIL_PIECE = 4800;

struct OpusHead {
    int channels = 0;
    uint32_t preskip = 0;
    int family = 0;
};

bool parse_head(std::vector<uint8_t> const& packet, OpusHead& head)
{
    if (packet.size() < 19 || std::memcmp(packet.data(), "OpusHead", 8) != 0 || (packet[8] & 0xF0) != 0)
        return false;
    head.channels = packet[9];
    head.preskip = platform::riff::u16(packet.data() + 10);
    head.family = packet[18];
    return head.channels > 0;
}

std::vector<std::string> comments_of(RecordingTags const& tags)
{
    VorbisComment comment = VorbisComment::of(tags, VorbisComment::VENDOR);
    if (!tags.picture.empty())
        comment.add(VorbisComment::PICTURE, base64(flac_picture_block(tags.picture)));
    return comment.comments;
}

// Appends `buffer`'s samples as 16-bit values.
void to_16_bits(AudioBuffer const& buffer, std::vector<int16_t>& out)
{
    uint8_t const* p = buffer.data.data();
    size_t const n = buffer.length() / (buffer.format.bits_per_sample == 8 ? 1 : 2);
    out.resize(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = buffer.format.bits_per_sample == 8 ? static_cast<int16_t>((p[i] - 128) * 256)
                                                    : platform::riff::s16(p + 2 * i);
}

} // namespace

OpusWriter::OpusWriter(
    core::StringView path, int32_t channels, int32_t rate, int32_t bit_rate, bool append, RecordingTags const& tags)
    : path_(path)
    , append_(append)
    , bit_rate_(bit_rate)
    , channels_(channels)
    , rate_(rate)
    , file_(std::make_unique<os::File>(path, append ? os::FileMode::ReadWrite : os::FileMode::Write))
{
    if (!file_->is_open())
        return;
    std::vector<int16_t> tail;
    if (append && !prepare_continuation(tail))
        return;
    good_ = encoder_.open(channels_, rate_, bit_rate_, append ? std::vector<std::string>() : comments_of(tags),
        [this](uint8_t const* bytes, size_t size) { return take_pages(bytes, size); });
    good_ = good_ && encode(tail.data(), tail.size() / size_t(channels_));
}

OpusWriter::~OpusWriter()
{
    core::Lock guard(lock());
    // The library cannot end a stream that never got a sample; such a new file is not kept.
    if (good_ && !failed_ && samples_in_ > 0 && !encoder_.finish())
        core::log() << u"OpusWriter::~OpusWriter error=" << platform::last_error() << u"\n";
    encoder_.close();
    file_.reset();
    if (!append_ && samples_in_ == 0)
        os::delete_file(path_);
}

bool OpusWriter::prepare_continuation(std::vector<int16_t>& tail)
{
    auto refuse = [&](char const* why) {
        core::log() << u"OpusWriter: cannot continue " << path_ << u": " << core::from_utf8(why) << u"\n";
        return false;
    };
    os::File& file = *file_;
    OggHeaders headers;
    OpusHead head;
    if (!headers.read(file, 2) || !parse_head(headers.packets[0], head))
        return refuse("no Ogg Opus headers");
    if (head.family != 0 || head.channels > 2 || rate_ != OggOpusEncoder::RATE)
        return refuse("not mono or stereo at 48 kHz");
    if (headers.pages.back().granule != 0 || !headers.pages.back().ends_packet())
        return refuse("audio on the header page");
    // The pages of the stream, up to the first that is damaged or cut short; the last page taken off is
    // the one after the last page that ends a packet at a known position.
    struct Mark {
        uint32_t end;
        int64_t granule;
        uint32_t sequence;
    };
    Mark cut { headers.end, 0, headers.pages.back().sequence };
    std::optional<Mark> previous;
    bool ended = false;
    file.seek(headers.end);
    for (OggPage page;;) {
        if (!page.read(file))
            break;
        if (page.serial != headers.serial || (page.flags & OggPage::FIRST) || ended)
            return refuse("more than one logical stream");
        if (previous)
            cut = *previous;
        previous.reset();
        if (page.granule != OggPage::NO_GRANULE && page.ends_packet())
            previous = Mark { file.tell(), page.granule, page.sequence };
        ended = page.is_last();
    }
    int64_t const from = std::max<int64_t>(cut.granule - int64_t(head.preskip), 0);
    if (cut.end < file.size()) {
        auto reader = create_reader(path_);
        if (!reader || reader->kind() != ReaderKind::OPUS || reader->info().channels() != head.channels)
            return refuse("its last page does not decode");
        reader->info().seek(from);
        for (;;) {
            AudioBuffer const piece = reader->source().get_data(TAIL_PIECE);
            if (piece.empty())
                break;
            std::vector<int16_t> samples;
            to_16_bits(piece, samples);
            tail.insert(tail.end(), samples.begin(), samples.end());
        }
    }
    if (!file.set_size(cut.end))
        return refuse("it cannot be cut back");
    continuation_ = Continuation { headers.serial, cut.sequence + 1, cut.granule };
    channels_ = head.channels;
    return true;
}

bool OpusWriter::take_pages(uint8_t const* bytes, size_t size)
{
    if (!continuation_)
        return write(bytes, size);
    pending_.insert(pending_.end(), bytes, bytes + size);
    size_t at = 0;
    for (OggPage page; size_t used = page.parse(pending_.data() + at, pending_.size() - at); at += used) {
        Continuation& c = *continuation_;
        if (c.header_packets > 0) {
            for (uint8_t lacing : page.lacing)
                c.header_packets -= lacing < 255 ? 1 : 0;
            continue;
        }
        page.serial = c.serial;
        page.sequence = c.next_sequence++;
        page.flags &= static_cast<uint8_t>(~OggPage::FIRST);
        if (page.granule != OggPage::NO_GRANULE)
            page.granule += c.granule_base;
        std::vector<uint8_t> const out = page.bytes();
        if (!write(out.data(), out.size()))
            return false;
    }
    pending_.erase(pending_.begin(), pending_.begin() + long(at));
    return true;
}

bool OpusWriter::write(uint8_t const* bytes, size_t size)
{
    if (failed_)
        return false;
    uint32_t const start = file_->tell();
    if (file_->write(bytes, uint32_t(size)) == size)
        return true;
    core::log() << u"OpusWriter::write error=" << platform::last_error() << u"\n";
    // Only whole pages stay: a decoder that meets half a page would report the file damaged.
    file_->set_size(start);
    failed_ = true;
    return false;
}

bool OpusWriter::encode(int16_t const* samples, size_t frames)
{
    samples_in_ += frames;
    return frames == 0 || encoder_.encode(samples, static_cast<int32_t>(frames));
}

void OpusWriter::on_data(AudioBuffer const& buffer)
{
    core::Lock guard(lock());
    AudioFormat const& f = buffer.format;
    // Another format is not an error: its buffers are dropped.
    if (!good_ || failed_ || buffer.empty() || f.channels != channels_ || f.samples_per_second != rate_
        || (f.bits_per_sample != 8 && f.bits_per_sample != 16))
        return;
    to_16_bits(buffer, samples_);
    if (!encode(samples_.data(), samples_.size() / size_t(channels_)))
        failed_ = true;
}

bool OpusWriter::is_good()
{
    core::Lock guard(lock());
    return good_ && !failed_;
}

uint32_t OpusWriter::bytes_written()
{
    core::Lock guard(lock());
    return file_ && file_->is_open() ? file_->size() : 0;
}

} // namespace audio
