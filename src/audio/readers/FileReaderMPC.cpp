// The only file that sees libmpcdec.
#include "FileReaderMPC.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mpc/mpcdec.h>
#include <platform/riff.h>
#include <vector>

namespace audio {

namespace {

// Frames that decode to no samples (the stream's bookkeeping) are passed over, but not for ever.
constexpr int MAX_EMPTY_FRAMES = 64;
constexpr uint32_t ID3V2_HEADER = 10;

int16_t to_16_bits(MPC_SAMPLE_FORMAT sample)
{
#ifdef MPC_FIXED_POINT
    double const value = double(sample) / MPC_FIXED_POINT_SCALE;
#else
    double const value = sample;
#endif
    return static_cast<int16_t>(std::clamp<long>(std::lround(value * 32768.0), -32768, 32767));
}

// Where the stream starts: after an ID3v2 tag when the file begins with one.
uint32_t stream_start(os::InStream& in)
{
    uint8_t head[ID3V2_HEADER];
    if (!in.seek(0) || in.read(head, ID3V2_HEADER) != ID3V2_HEADER || std::memcmp(head, "ID3", 3) != 0
        || (head[6] | head[7] | head[8] | head[9]) & 0x80)
        return 0;
    uint32_t const size = uint32_t(head[6]) << 21 | uint32_t(head[7]) << 14 | uint32_t(head[8]) << 7 | head[9];
    return ID3V2_HEADER + size + ((head[5] & 0x10) ? ID3V2_HEADER : 0);
}

// Stream version 8 begins with "MPCK", version 7 with "MP+": anything else is not worth the library's time.
bool has_signature(os::InStream& in)
{
    uint32_t const start = stream_start(in);
    char magic[4] = {};
    return in.seek(start) && in.read(magic, 4) == 4
        && (std::memcmp(magic, "MPCK", 4) == 0 || std::memcmp(magic, "MP+", 3) == 0);
}

} // namespace

struct FileReaderMPC::Library {
    mpc_reader reader {};
    mpc_demux* demux = nullptr;
    os::InStream* in = nullptr;
    uint64_t* bytes_read = nullptr;
    std::vector<MPC_SAMPLE_FORMAT> samples = std::vector<MPC_SAMPLE_FORMAT>(MPC_DECODER_BUFFER_LENGTH);

    static Library& of(mpc_reader* reader) { return *static_cast<Library*>(reader->data); }

    static mpc_int32_t read(mpc_reader* reader, void* buffer, mpc_int32_t size)
    {
        if (size <= 0)
            return 0;
        Library& self = of(reader);
        uint32_t const got = self.in->read(buffer, static_cast<uint32_t>(size));
        *self.bytes_read += got;
        return static_cast<mpc_int32_t>(got);
    }
    static mpc_bool_t seek(mpc_reader* reader, mpc_int32_t offset)
    {
        Library& self = of(reader);
        return offset >= 0 && uint32_t(offset) <= self.in->size() && self.in->seek(static_cast<uint32_t>(offset));
    }
    static mpc_int32_t tell(mpc_reader* reader) { return static_cast<mpc_int32_t>(of(reader).in->tell()); }
    static mpc_int32_t size(mpc_reader* reader)
    {
        return static_cast<mpc_int32_t>(std::min<uint32_t>(of(reader).in->size(), INT32_MAX));
    }
    static mpc_bool_t can_seek(mpc_reader*) { return MPC_TRUE; }
};

FileReaderMPC::FileReaderMPC(std::unique_ptr<os::InStream> in)
    : DecodingReader(std::move(in))
    , library_(std::make_unique<Library>())
{
    if (!in_ || !in_->is_open() || !has_signature(*in_) || !in_->seek(0))
        return;
    Library& l = *library_;
    l.in = in_.get();
    l.bytes_read = &bytes_read_;
    l.reader = mpc_reader { &Library::read, &Library::seek, &Library::tell, &Library::size, &Library::can_seek, &l };
    l.demux = mpc_demux_init(&l.reader);
    if (!l.demux)
        return;
    mpc_streaminfo info {};
    mpc_demux_get_info(l.demux, &info);
    if (info.channels < 1 || info.channels > 2 || info.sample_freq == 0 || info.sample_freq > INT32_MAX)
        return;
    channels_ = static_cast<int32_t>(info.channels);
    rate_ = static_cast<int32_t>(info.sample_freq);
    bit_rate_ = static_cast<int32_t>(std::clamp(info.average_bitrate, 0.0, double(INT32_MAX)));
    // A frame takes at least a byte of the file: a header that claims more samples than that is not
    // believed, or a seek into the claimed length would have the library skip through frames for minutes.
    int64_t const possible = int64_t(in_->size()) * MPC_FRAME_LENGTH;
    length_ = std::clamp<int64_t>(mpc_streaminfo_get_length_samples(&info), 0, possible);
    valid_ = true;
}

FileReaderMPC::~FileReaderMPC()
{
    if (library_->demux)
        mpc_demux_exit(library_->demux);
}

AudioBuffer FileReaderMPC::get_data(int32_t frames)
{
    core::Lock guard(lock());
    if (!valid_ || frames <= 0)
        return {};
    Library& l = *library_;
    for (int empty = 0; empty < MAX_EMPTY_FRAMES; ++empty) {
        mpc_frame_info frame {};
        frame.buffer = l.samples.data();
        if (mpc_demux_decode(l.demux, &frame) != MPC_STATUS_OK || frame.bits == -1)
            return {};
        if (frame.samples == 0)
            continue;
        size_t const count = std::min<size_t>(frame.samples, MPC_FRAME_LENGTH) * size_t(channels_);
        core::SharedBuffer data(count * 2);
        uint8_t* p = data.writable();
        for (size_t i = 0; i < count; ++i, p += 2)
            platform::riff::put_s16(p, to_16_bits(l.samples[i]));
        position_ += frame.samples;
        return AudioBuffer(std::move(data), { channels_, 16, rate_ });
    }
    return {};
}

int32_t FileReaderMPC::bit_rate()
{
    core::Lock guard(lock());
    return bit_rate_;
}

bool FileReaderMPC::seek_locked(int64_t frame)
{
    position_ = frame;
    return mpc_demux_seek_sample(library_->demux, static_cast<mpc_uint64_t>(frame)) == MPC_STATUS_OK;
}

} // namespace audio
