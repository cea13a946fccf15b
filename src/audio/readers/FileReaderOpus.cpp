// The only file that sees libopusfile.
#include "FileReaderOpus.h"

#include <algorithm>
#include <cstring>
#include <opus/opusfile.h>

namespace audio {

namespace {

constexpr int RATE = 48000;
// The most one decoder call gives per channel: 120 ms.
constexpr int MAX_FRAMES = 5760;
// A gap in the data (a lost page) is passed over, but not for ever.
constexpr int MAX_OPUS_HOLES_PER_READ = 8;

} // namespace

struct FileReaderOpus::Library {
    OggOpusFile* file = nullptr;
    os::InStream* in = nullptr;
    uint64_t* bytes_read = nullptr;
    bool stereo = false;

    static Library& of(void* stream) { return *static_cast<Library*>(stream); }

    static int read(void* stream, unsigned char* buffer, int size)
    {
        Library& self = of(stream);
        if (size <= 0)
            return 0;
        uint32_t const got = self.in->read(buffer, static_cast<uint32_t>(size));
        *self.bytes_read += got;
        return static_cast<int>(got);
    }
    static int seek(void* stream, opus_int64 offset, int whence)
    {
        Library& self = of(stream);
        int64_t const base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? self.in->tell() : self.in->size();
        int64_t const position = base + offset;
        if (position < 0 || position > int64_t(self.in->size()))
            return -1;
        return self.in->seek(static_cast<uint32_t>(position)) ? 0 : -1;
    }
    static opus_int64 tell(void* stream) { return of(stream).in->tell(); }
};

FileReaderOpus::FileReaderOpus(std::unique_ptr<os::InStream> in)
    : DecodingReader(std::move(in))
    , library_(std::make_unique<Library>())
{
    if (!in_ || !in_->is_open() || !in_->seek(0))
        return;
    // Every Ogg stream starts with a page; anything else is not worth the library's search.
    char capture[4] = {};
    if (in_->read(capture, 4) != 4 || std::memcmp(capture, "OggS", 4) != 0 || !in_->seek(0))
        return;
    Library& l = *library_;
    l.in = in_.get();
    l.bytes_read = &bytes_read_;
    OpusFileCallbacks const callbacks { &Library::read, &Library::seek, &Library::tell, nullptr };
    int error = 0;
    l.file = op_open_callbacks(&l, &callbacks, nullptr, 0, &error);
    if (!l.file)
        return;
    for (int link = 0; link < op_link_count(l.file); ++link)
        l.stereo = l.stereo || op_channel_count(l.file, link) > 1;
    channels_ = l.stereo ? 2 : 1;
    rate_ = RATE;
    length_ = std::max<int64_t>(op_pcm_total(l.file, -1), 0);
    valid_ = true;
}

FileReaderOpus::~FileReaderOpus()
{
    if (library_->file)
        op_free(library_->file);
}

AudioBuffer FileReaderOpus::get_data(int32_t frames)
{
    core::Lock guard(lock());
    if (!valid_ || frames <= 0)
        return {};
    Library& l = *library_;
    int const count = std::min<int>(frames, MAX_FRAMES);
    core::SharedBuffer data(size_t(count) * size_t(channels_) * 2);
    auto* pcm = reinterpret_cast<opus_int16*>(data.writable());
    for (int holes = 0; holes <= MAX_OPUS_HOLES_PER_READ; ++holes) {
        int const got = l.stereo ? op_read_stereo(l.file, pcm, count * 2) : op_read(l.file, pcm, count, nullptr);
        if (got == OP_HOLE)
            continue;
        if (got <= 0)
            return {};
        return AudioBuffer(core::SharedBuffer(data, 0, size_t(got) * size_t(channels_) * 2), { channels_, 16, RATE });
    }
    return {};
}

int32_t FileReaderOpus::bit_rate()
{
    core::Lock guard(lock());
    if (!valid_)
        return 0;
    // The file's bytes over its length, as for Vorbis.
    opus_int64 const bytes = op_raw_total(library_->file, -1);
    if (bytes <= 0 || length_ <= 0)
        return 0;
    double const rate = double(bytes) * 8 * RATE / double(length_);
    return static_cast<int32_t>(std::clamp(rate, 0.0, double(INT32_MAX)));
}

int64_t FileReaderOpus::tell_locked()
{
    return op_pcm_tell(library_->file);
}

bool FileReaderOpus::seek_locked(int64_t frame)
{
    return op_pcm_seek(library_->file, frame) == 0;
}

} // namespace audio
