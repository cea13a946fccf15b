// Played audio written to a WAV file. The file takes the format of the first device opened on it; a
// device opened later in another format is converted to it (channels mixed or repeated, 8 and 16 bits,
// the rate by linear interpolation), so everything played lands in the one file.
#include "wave_backend.h"
#include <platform/riff.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace platform::wave_backend {

namespace {

constexpr uint32_t HEADER_SIZE = 44;
constexpr uint64_t MAX_DATA = 0xFFFFFFFFu - HEADER_SIZE;

using riff::put_u16;
using riff::put_u32;

} // namespace

class OutputFile {
public:
    OutputFile(std::FILE* file, std::string path)
        : file_(file)
        , path_(std::move(path))
    {
    }

    ~OutputFile() { std::fclose(file_); }

    // The file's format; the first device to ask fixes it.
    WaveFormat format_for(WaveFormat const& device)
    {
        std::lock_guard lock(mutex_);
        if (!fixed_) {
            format_ = device;
            fixed_ = true;
            write_header();
        }
        return format_;
    }

    void append(uint8_t const* bytes, size_t count)
    {
        std::lock_guard lock(mutex_);
        size_t const room = static_cast<size_t>(MAX_DATA - data_size_) / format_.block_align * format_.block_align;
        count = std::min(count, room);
        if (count == 0 || failed_)
            return;
        if (std::fseek(file_, static_cast<long>(HEADER_SIZE + data_size_), SEEK_SET) != 0
            || std::fwrite(bytes, 1, count, file_) != count) {
            fail();
            return;
        }
        data_size_ += count;
        write_header();
    }

private:
    // The header always tells what the file holds, so it is a good WAV file whenever it is read.
    void write_header()
    {
        uint8_t h[HEADER_SIZE];
        std::memcpy(h, "RIFF", 4);
        put_u32(h + 4, static_cast<uint32_t>(HEADER_SIZE - 8 + data_size_));
        std::memcpy(h + 8, "WAVEfmt ", 8);
        put_u32(h + 16, 16);
        put_u16(h + 20, WAVE_FORMAT_PCM);
        put_u16(h + 22, format_.channels);
        put_u32(h + 24, format_.samples_per_sec);
        put_u32(h + 28, format_.avg_bytes_per_sec);
        put_u16(h + 32, format_.block_align);
        put_u16(h + 34, format_.bits_per_sample);
        std::memcpy(h + 36, "data", 4);
        put_u32(h + 40, static_cast<uint32_t>(data_size_));
        if (std::fseek(file_, 0, SEEK_SET) != 0 || std::fwrite(h, 1, HEADER_SIZE, file_) != HEADER_SIZE
            || std::fflush(file_) != 0)
            fail();
    }

    void fail()
    {
        if (!failed_)
            report("speaker file " + path_ + ": writing failed (" + std::strerror(errno) + ")");
        failed_ = true;
    }

    std::mutex mutex_;
    std::FILE* const file_;
    std::string const path_;
    WaveFormat format_;
    bool fixed_ = false;
    bool failed_ = false;
    uint64_t data_size_ = 0;
};

namespace {

class DirectOutput final : public RecordedOutput {
public:
    explicit DirectOutput(std::shared_ptr<OutputFile> file)
        : file_(std::move(file))
    {
    }
    void write(uint8_t const* bytes, size_t count) override { file_->append(bytes, count); }

private:
    std::shared_ptr<OutputFile> const file_;
};

// Streams one device's audio into the file's format. Output frame k stands at source position
// k x source rate / file rate; the frames after the last source frame repeat it.
class ConvertingOutput final : public RecordedOutput {
public:
    ConvertingOutput(std::shared_ptr<OutputFile> file, WaveFormat const& from, WaveFormat const& to)
        : file_(std::move(file))
        , from_(from)
        , to_(to)
    {
    }

    ~ConvertingOutput() override
    {
        // The last frames that interpolate past the end of the source.
        if (source_frames_ == 0)
            return;
        uint64_t const total
            = (source_frames_ * to_.samples_per_sec + from_.samples_per_sec - 1) / from_.samples_per_sec;
        produce(total, true);
    }

    void write(uint8_t const* bytes, size_t count) override
    {
        size_t const frame = from_.block_align;
        carry_.insert(carry_.end(), bytes, bytes + count);
        size_t const whole = carry_.size() / frame * frame;
        for (size_t at = 0; at < whole; at += frame)
            take_frame(carry_.data() + at);
        carry_.erase(carry_.begin(), carry_.begin() + static_cast<std::ptrdiff_t>(whole));
        produce(UINT64_MAX, false);
    }

private:
    int32_t sample(uint8_t const* p) const
    {
        if (from_.bits_per_sample == 8)
            return (static_cast<int32_t>(p[0]) - 128) * 256;
        return riff::s16(p);
    }

    void take_frame(uint8_t const* p)
    {
        size_t const size = from_.bits_per_sample / 8;
        if (to_.channels == 1 && from_.channels == 2) {
            window_.push_back(static_cast<int32_t>(divide_rounded(int64_t(sample(p)) + sample(p + size), 2)));
        } else {
            for (unsigned c = 0; c < to_.channels; ++c)
                window_.push_back(sample(p + std::min<size_t>(c, from_.channels - 1u) * size));
        }
        ++source_frames_;
    }

    // Produces output frames up to `limit` while the source frames they need are here; at the end the
    // last source frame stands in for those after it.
    void produce(uint64_t limit, bool at_end)
    {
        unsigned const channels = to_.channels;
        std::vector<uint8_t> out;
        while (next_ < limit) {
            uint64_t const numerator = next_ * from_.samples_per_sec;
            uint64_t const index = numerator / to_.samples_per_sec;
            int64_t const fraction = static_cast<int64_t>(numerator % to_.samples_per_sec);
            uint64_t const needed = fraction == 0 ? index : index + 1;
            if (needed >= source_frames_ && !(at_end && index < source_frames_))
                break;
            uint64_t const next_index = std::min(needed, source_frames_ - 1);
            int32_t const* a = window_.data() + (index - window_start_) * channels;
            int32_t const* b = window_.data() + (next_index - window_start_) * channels;
            for (unsigned c = 0; c < channels; ++c) {
                int64_t const rate = to_.samples_per_sec;
                int64_t const v
                    = fraction == 0 ? a[c] : divide_rounded(a[c] * (rate - fraction) + b[c] * fraction, rate);
                put(out, static_cast<int32_t>(std::clamp<int64_t>(v, -32768, 32767)));
            }
            ++next_;
        }
        // Frames before the one the next output starts from are no longer needed.
        uint64_t const keep_from
            = std::min<uint64_t>(next_ * from_.samples_per_sec / to_.samples_per_sec, source_frames_);
        if (keep_from > window_start_) {
            window_.erase(
                window_.begin(), window_.begin() + static_cast<std::ptrdiff_t>((keep_from - window_start_) * channels));
            window_start_ = keep_from;
        }
        if (!out.empty())
            file_->append(out.data(), out.size());
    }

    void put(std::vector<uint8_t>& out, int32_t v) const
    {
        if (to_.bits_per_sample == 8) {
            out.push_back(static_cast<uint8_t>((v + 32768) >> 8));
        } else {
            out.resize(out.size() + 2);
            riff::put_s16(out.data() + out.size() - 2, static_cast<int16_t>(v));
        }
    }

    std::shared_ptr<OutputFile> const file_;
    WaveFormat const from_;
    WaveFormat const to_;
    std::vector<uint8_t> carry_; // a partial source frame
    std::vector<int32_t> window_; // source frames in the file's channels, 16-bit scale
    uint64_t window_start_ = 0;
    uint64_t source_frames_ = 0;
    uint64_t next_ = 0;
};

} // namespace

std::shared_ptr<OutputFile> create_output_file(std::string const& path, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "speaker file " + path + ": cannot be created (" + std::strerror(errno) + ")";
        return nullptr;
    }
    return std::make_shared<OutputFile>(file, path);
}

std::unique_ptr<RecordedOutput> open_file_output(std::shared_ptr<OutputFile> file, WaveFormat const& format)
{
    WaveFormat const target = file->format_for(format);
    if (target.channels == format.channels && target.bits_per_sample == format.bits_per_sample
        && target.samples_per_sec == format.samples_per_sec)
        return std::make_unique<DirectOutput>(std::move(file));
    return std::make_unique<ConvertingOutput>(std::move(file), format, target);
}

} // namespace platform::wave_backend
