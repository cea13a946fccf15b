// The only file that sees Tremor.
#include "FileReaderVorbis.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tremor/ivorbisfile.h>

namespace audio {

namespace {

// A gap in the data (a lost page) is reported once and reading goes on after it.
constexpr int MAX_VORBIS_HOLES_PER_READ = 8;

} // namespace

struct FileReaderVorbis::Tremor {
    OggVorbis_File file {};
    bool open = false;
    os::InStream* in = nullptr;
    uint64_t* bytes_read = nullptr;

    static size_t read(void* buffer, size_t size, size_t count, void* source)
    {
        auto* self = static_cast<Tremor*>(source);
        if (size == 0)
            return 0;
        size_t const bytes = std::min<size_t>(size * count, UINT32_MAX);
        uint32_t const got = self->in->read(buffer, static_cast<uint32_t>(bytes));
        *self->bytes_read += got;
        return got / size;
    }

    static int seek(void* source, ogg_int64_t offset, int whence)
    {
        auto* self = static_cast<Tremor*>(source);
        int64_t const base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? self->in->tell() : self->in->size();
        int64_t const position = base + offset;
        if (position < 0 || position > int64_t(self->in->size()))
            return -1;
        return self->in->seek(static_cast<uint32_t>(position)) ? 0 : -1;
    }

    static long tell(void* source) { return static_cast<long>(static_cast<Tremor*>(source)->in->tell()); }
};

FileReaderVorbis::FileReaderVorbis(std::unique_ptr<os::InStream> in)
    : DecodingReader(std::move(in))
    , tremor_(std::make_unique<Tremor>())
{
    if (!in_ || !in_->is_open() || !in_->seek(0))
        return;
    // Every Ogg stream starts with a page; anything else is not worth the library's search.
    char capture[4] = {};
    if (in_->read(capture, 4) != 4 || std::memcmp(capture, "OggS", 4) != 0 || !in_->seek(0))
        return;
    tremor_->in = in_.get();
    tremor_->bytes_read = &bytes_read_;
    ov_callbacks const callbacks { &Tremor::read, &Tremor::seek, nullptr, &Tremor::tell };
    if (ov_open_callbacks(tremor_.get(), &tremor_->file, nullptr, 0, callbacks) != 0)
        return;
    tremor_->open = true;
    vorbis_info const* info = ov_info(&tremor_->file, -1);
    if (!info || info->channels <= 0 || info->rate <= 0 || info->rate > INT32_MAX)
        return;
    channels_ = info->channels;
    rate_ = static_cast<int32_t>(info->rate);
    length_ = std::max<int64_t>(ov_pcm_total(&tremor_->file, -1), 0);
    valid_ = true;
}

FileReaderVorbis::~FileReaderVorbis()
{
    if (tremor_->open)
        ov_clear(&tremor_->file);
}

AudioBuffer FileReaderVorbis::get_data(int32_t frames)
{
    core::Lock guard(lock());
    if (!valid_ || frames <= 0)
        return {};
    size_t const bytes = size_t(std::min(frames, MAX_FRAMES)) * size_t(channels_) * 2;
    core::SharedBuffer data(bytes);
    for (int holes = 0; holes <= MAX_VORBIS_HOLES_PER_READ; ++holes) {
        int stream = 0;
        long const got = ov_read(&tremor_->file, reinterpret_cast<char*>(data.writable()), int(bytes), &stream);
        if (got == OV_HOLE)
            continue;
        if (got <= 0)
            return {};
        vorbis_info const* info = ov_info(&tremor_->file, -1);
        if (!info)
            return {};
        AudioFormat const format { info->channels, 16, static_cast<int32_t>(info->rate) };
        return AudioBuffer(core::SharedBuffer(data, 0, size_t(got)), format);
    }
    return {};
}

int32_t FileReaderVorbis::bit_rate()
{
    core::Lock guard(lock());
    if (!valid_)
        return 0;
    // The file's bytes over its length; the library's own figure divides by a time in whole
    // milliseconds, which a short stream rounds to zero.
    ogg_int64_t const bytes = ov_raw_total(&tremor_->file, -1);
    if (bytes <= 0 || length_ <= 0)
        return 0;
    double const rate = double(bytes) * 8 * rate_ / double(length_);
    return static_cast<int32_t>(std::clamp(rate, 0.0, double(INT32_MAX)));
}

int64_t FileReaderVorbis::tell_locked()
{
    return ov_pcm_tell(&tremor_->file);
}

bool FileReaderVorbis::seek_locked(int64_t frame)
{
    return ov_pcm_seek(&tremor_->file, frame) == 0;
}

} // namespace audio
