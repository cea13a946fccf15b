#include "DurationProbe.h"

#include "FileReaderMPC.h"
#include "Mp3Header.h"

#include <algorithm>
#include <array>
#include <audio/formats/FlacStream.h>
#include <audio/formats/OggPage.h>
#include <audio/formats/WaveHeader.h>
#include <cstring>
#include <os/File.h>
#include <platform/riff.h>
#include <vector>

namespace audio {

namespace {

// How far past the tag a first frame is looked for; a stream that starts later is not taken as MPEG.
constexpr uint32_t SYNC_WINDOW = 64 * 1024;
// The frames sampled across a stream to tell a constant bit rate from a variable one.
constexpr int RATE_SAMPLES = 8;
// A variable stream longer than this many frames is not walked (about 10 hours at 44.1 kHz).
constexpr uint32_t MAX_WALKED_FRAMES = 1'500'000;
constexpr uint32_t ID3V1_SIZE = 128;

bool read_at(os::InStream& in, uint32_t offset, void* out, uint32_t count)
{
    return in.seek(offset) && in.read(out, count) == count;
}

int64_t ms_of(uint64_t samples, uint32_t rate)
{
    return rate == 0 ? UNKNOWN_DURATION : static_cast<int64_t>((samples * 1000 + rate / 2) / rate);
}

int64_t wav_duration(os::InStream& in)
{
    WaveHeader header;
    if (!in.seek(0) || !header.read(in) || header.samples_per_second == 0 || header.block_align == 0)
        return UNKNOWN_DURATION;
    uint32_t const size = in.size();
    if (header.data_start > size)
        return UNKNOWN_DURATION;
    // A recording cut short says more data than it holds.
    uint64_t const data = std::min<uint64_t>(header.data_size, size - header.data_start);
    uint64_t const blocks = data / header.block_align;
    switch (header.coding()) {
    case WaveHeader::TAG_ADPCM: {
        uint32_t const per_block = WaveHeader::adpcm_samples_per_block(header.block_align, header.channels);
        return ms_of(blocks * per_block, header.samples_per_second);
    }
    case WaveHeader::TAG_GSM:
        return ms_of(blocks * WaveHeader::GSM_SAMPLES_PER_BLOCK, header.samples_per_second);
    case WaveHeader::TAG_IMA_ADPCM:
        return ms_of(
            blocks * WaveHeader::ima_samples_per_block(header.block_align, header.channels), header.samples_per_second);
    case WaveHeader::TAG_PCM:
    case WaveHeader::TAG_FLOAT:
    case WaveHeader::TAG_ALAW:
    case WaveHeader::TAG_MULAW:
        return ms_of(blocks, header.samples_per_second);
    default:
        if (header.avg_bytes_per_second == 0)
            return UNKNOWN_DURATION;
        return static_cast<int64_t>(data * 1000 / header.avg_bytes_per_second);
    }
}

// Where the audio starts: past an ID3v2 tag (and its footer), or 0.
uint32_t skip_id3v2(os::InStream& in)
{
    uint8_t head[10];
    if (!read_at(in, 0, head, sizeof head) || std::memcmp(head, "ID3", 3) != 0)
        return 0;
    uint32_t size = 0;
    for (int i = 6; i < 10; ++i) {
        if (head[i] & 0x80)
            return 0;
        size = (size << 7) | head[i];
    }
    return size + 10 + ((head[5] & 0x10) ? 10 : 0);
}

// The first header at or after `from` that the next frame's header confirms (or, at the end of the
// stream, that stands alone), looked for within `window` bytes.
bool find_frame(
    os::InStream& in, uint32_t from, uint32_t window, Mp3Header const* like, uint32_t& at, Mp3Header& header)
{
    uint32_t const size = in.size();
    if (from >= size)
        return false;
    std::vector<uint8_t> bytes(std::min<uint32_t>(window + 4, size - from));
    if (!read_at(in, from, bytes.data(), static_cast<uint32_t>(bytes.size())))
        return false;
    for (size_t i = 0; i + 4 <= bytes.size(); ++i) {
        Mp3Header h;
        if (bytes[i] != 0xFF || !Mp3Header::parse(&bytes[i], h) || (like && !h.matches(*like)))
            continue;
        uint32_t const next = from + static_cast<uint32_t>(i) + h.frame_length;
        uint8_t next_bytes[4];
        Mp3Header n;
        bool const confirmed = next + 4 > size
            || (read_at(in, next, next_bytes, 4) && Mp3Header::parse(next_bytes, n) && n.matches(h))
            || (read_at(in, next, next_bytes, 3) && std::memcmp(next_bytes, "TAG", 3) == 0);
        if (confirmed) {
            at = from + static_cast<uint32_t>(i);
            header = h;
            return true;
        }
    }
    return false;
}

// The frame count of a Xing/Info or VBRI header in the first frame, or 0.
uint32_t tagged_frames(os::InStream& in, uint32_t at, Mp3Header const& header)
{
    std::array<uint8_t, 64> frame {};
    uint32_t const count = std::min<uint32_t>(header.frame_length, frame.size());
    if (!read_at(in, at, frame.data(), count))
        return 0;
    uint32_t const info = header.info_at(frame.data(), count);
    if (info == 0)
        return 0;
    if (std::memcmp(&frame[info], "VBRI", 4) == 0)
        return platform::riff::u32_be(&frame[info + 14]);
    uint32_t const flags = platform::riff::u32_be(&frame[info + 4]);
    return (flags & 1) ? platform::riff::u32_be(&frame[info + 8]) : 0;
}

int64_t mpeg_duration(os::InStream& in)
{
    uint32_t const size = in.size();
    uint32_t first_at = 0;
    Mp3Header first;
    if (!find_frame(in, skip_id3v2(in), SYNC_WINDOW, nullptr, first_at, first))
        return UNKNOWN_DURATION;
    if (uint32_t const frames = tagged_frames(in, first_at, first); frames != 0)
        return ms_of(uint64_t(frames) * first.samples_per_frame, first.samples_per_second);
    uint32_t end = size;
    uint8_t tag[3];
    if (size >= ID3V1_SIZE && read_at(in, size - ID3V1_SIZE, tag, 3) && std::memcmp(tag, "TAG", 3) == 0)
        end = size - ID3V1_SIZE;
    if (end <= first_at)
        return UNKNOWN_DURATION;
    // A few frames across the stream tell whether every frame has the first one's rate.
    bool constant = true;
    for (int i = 1; i < RATE_SAMPLES && constant; ++i) {
        uint32_t const from = first_at + static_cast<uint32_t>(uint64_t(end - first_at) * i / RATE_SAMPLES);
        uint32_t at = 0;
        Mp3Header h;
        if (find_frame(in, from, 4096, &first, at, h))
            constant = h.kilobits_per_second == first.kilobits_per_second;
    }
    if (constant) {
        uint64_t const bytes = end - first_at;
        return static_cast<int64_t>(bytes * 8 / uint64_t(first.kilobits_per_second));
    }
    // Variable and untagged: count the frames, reading four bytes of each.
    uint64_t samples = 0;
    uint32_t at = first_at;
    for (uint32_t frames = 0; frames < MAX_WALKED_FRAMES && at + 4 <= end; ++frames) {
        uint8_t bytes[4];
        Mp3Header h;
        if (!read_at(in, at, bytes, 4) || !Mp3Header::parse(bytes, h) || !h.matches(first)) {
            // A damaged stretch: look for the stream again a little further on.
            if (!find_frame(in, at + 1, 4096, &first, at, h))
                break;
        }
        samples += h.samples_per_frame;
        at += h.frame_length;
    }
    return ms_of(samples, first.samples_per_second);
}

// STREAMINFO's sample count; a stream cut before it was written counts to its last whole frame.
int64_t flac_duration(os::InStream& in)
{
    flac::Layout layout;
    if (!layout.read(in))
        return UNKNOWN_DURATION;
    if (layout.info.total_samples != 0)
        return ms_of(layout.info.total_samples, layout.info.rate);
    flac::FrameAt last;
    return find_last_frame(in, layout, last) ? ms_of(last.end_sample(), layout.info.rate) : UNKNOWN_DURATION;
}

uint32_t le16(uint8_t const* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
uint32_t le32(uint8_t const* p)
{
    return le16(p) | le16(p + 2) << 16;
}

// The granule position of the last page of `serial` that ends a packet, looked for in the file's tail.
int64_t last_granule(os::InStream& in, uint32_t serial)
{
    constexpr uint32_t TAIL = 64 * 1024;
    uint32_t const size = in.size();
    for (uint32_t end = size; end > 0;) {
        uint32_t const from = end > TAIL ? end - TAIL : 0;
        // A page may start up to a page's length before `end` and still lie whole in what is read.
        uint32_t const until = std::min<uint32_t>(size, end + OggPage::HEADER_SIZE + 255 + 255 * 255);
        std::vector<uint8_t> bytes(until - from);
        if (!read_at(in, from, bytes.data(), static_cast<uint32_t>(bytes.size())))
            return OggPage::NO_GRANULE;
        int64_t granule = OggPage::NO_GRANULE;
        for (size_t i = 0; i + OggPage::HEADER_SIZE <= bytes.size() && from + i < end; ++i) {
            if (std::memcmp(&bytes[i], "OggS", 4) != 0)
                continue;
            OggPage page;
            size_t const taken = page.parse(&bytes[i], bytes.size() - i);
            if (taken == 0)
                continue;
            if (page.serial == serial && page.granule >= 0)
                granule = page.granule;
            i += taken - 1;
        }
        if (granule >= 0 || from == 0)
            return granule;
        end = from;
    }
    return OggPage::NO_GRANULE;
}

// The last page's granule position: 48 kHz samples less the pre-skip for Opus, samples for Vorbis.
int64_t ogg_duration(os::InStream& in)
{
    OggPage first;
    if (!in.seek(0) || !first.read(in))
        return UNKNOWN_DURATION;
    auto const& head = first.body;
    uint32_t rate = 0;
    uint32_t pre_skip = 0;
    if (head.size() >= 19 && std::memcmp(head.data(), "OpusHead", 8) == 0) {
        rate = 48000;
        pre_skip = le16(&head[10]);
    } else if (head.size() >= 16 && std::memcmp(head.data(), "\x01vorbis", 7) == 0) {
        rate = le32(&head[12]);
    } else {
        return UNKNOWN_DURATION;
    }
    int64_t const granule = last_granule(in, first.serial);
    if (granule < 0)
        return UNKNOWN_DURATION;
    return ms_of(static_cast<uint64_t>(std::max<int64_t>(granule - pre_skip, 0)), rate);
}

// The caller's stream, lent to a reader that wants one of its own.
class LentStream final : public os::InStream {
public:
    explicit LentStream(os::InStream& in)
        : in_(in)
    {
    }
    uint32_t read(void* buffer, uint32_t count) override { return in_.read(buffer, count); }
    uint32_t skip(uint32_t count) override { return in_.skip(count); }
    bool is_open() const override { return in_.is_open(); }
    uint32_t size() const override { return in_.size(); }
    bool seek(uint32_t position) override { return in_.seek(position); }
    uint32_t tell() const override { return in_.tell(); }

private:
    os::InStream& in_;
};

// Musepack keeps its sample count in its stream header, which libmpcdec reads without decoding. Its
// frames hold bytes that look like MPEG frame headers, so it is asked before an MPEG stream is looked for.
int64_t musepack_duration(os::InStream& in)
{
    FileReaderMPC reader(std::make_unique<LentStream>(in));
    if (!reader.is_valid())
        return UNKNOWN_DURATION;
    return ms_of(static_cast<uint64_t>(reader.length()), static_cast<uint32_t>(reader.samples_per_second()));
}

} // namespace

int64_t probe_duration_ms(os::InStream& in)
{
    uint8_t magic[12];
    if (!in.is_open() || !read_at(in, 0, magic, sizeof magic))
        return UNKNOWN_DURATION;
    if (std::memcmp(magic, "RIFF", 4) == 0 && std::memcmp(magic + 8, "WAVE", 4) == 0)
        return wav_duration(in);
    if (std::memcmp(magic, "OggS", 4) == 0)
        return ogg_duration(in);
    if (std::memcmp(magic, "fLaC", 4) == 0 || std::memcmp(magic, "ID3", 3) == 0) {
        // A FLAC stream may follow an ID3v2 tag, as an MPEG one does.
        if (int64_t const ms = flac_duration(in); ms != UNKNOWN_DURATION)
            return ms;
    }
    // Only a Musepack signature, at the start or after a tag, is worth the library's reader.
    uint8_t stream[4];
    if (read_at(in, skip_id3v2(in), stream, sizeof stream)
        && (std::memcmp(stream, "MPCK", 4) == 0 || std::memcmp(stream, "MP+", 3) == 0)) {
        if (int64_t const ms = musepack_duration(in); ms != UNKNOWN_DURATION)
            return ms;
    }
    return mpeg_duration(in);
}

int64_t probe_duration_ms(core::StringView path)
{
    os::File file(path, os::FileMode::Read);
    return probe_duration_ms(file);
}

} // namespace audio
