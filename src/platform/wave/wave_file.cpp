// A WAV file as the microphone: its samples converted to the format the device was opened in (channels,
// 8 or 16 bits, and the rate by linear interpolation). Every length in the file is checked against the
// file's size before it is used.
#include "wave_backend.h"
#include <platform/riff.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace platform::wave_backend {

namespace {

constexpr size_t DECODE_FRAMES = 4096;

class FileInput final : public RecordedInput {
public:
    FileInput(std::FILE* file, bool fast, riff::Format const& source, uint64_t frames, WaveFormat const& target)
        : file_(file)
        , fast_(fast)
        , source_(source)
        , source_frames_(frames)
        , channels_(target.channels)
        , bits_(target.bits_per_sample)
        , rate_(target.samples_per_sec)
    {
        // Output frame k sits at source position k x source rate / target rate; the last ones repeat the
        // final source frame instead of reading past it.
        output_frames_ = (source_frames_ * rate_ + source_.rate - 1) / source_.rate;
    }

    ~FileInput() override { std::fclose(file_); }

    bool fast() const override { return fast_; }

    size_t read(uint8_t* out, size_t count) override
    {
        size_t const frame_bytes = static_cast<size_t>(channels_) * (bits_ / 8);
        if (source_.coding == riff::TAG_PCM && source_.channels == channels_ && source_.bits == bits_
            && source_.rate == rate_ && source_.block_align == frame_bytes) {
            // Already in the asked format: the bytes as they stand, without the per-sample path.
            size_t const frames
                = static_cast<size_t>(std::min<uint64_t>(count / frame_bytes, output_frames_ - position_));
            size_t const got = std::fread(out, frame_bytes, frames, file_);
            position_ += got;
            return got * frame_bytes;
        }
        size_t written = 0;
        while (written + frame_bytes <= count && position_ < output_frames_) {
            uint64_t const numerator = position_ * source_.rate;
            uint64_t const index = numerator / rate_;
            int64_t const fraction = static_cast<int64_t>(numerator % rate_);
            uint64_t const next = std::min(index + 1, source_frames_ - 1);
            if (!load(index, next))
                break; // the file ended before its data chunk said it would
            int32_t const* a = window_.data() + (index - window_start_) * channels_;
            int32_t const* b = window_.data() + (next - window_start_) * channels_;
            for (unsigned c = 0; c < channels_; ++c) {
                int64_t const value = fraction == 0
                    ? a[c]
                    : divide_rounded(a[c] * (static_cast<int64_t>(rate_) - fraction) + b[c] * fraction, rate_);
                put(out + written, value);
                written += bits_ / 8;
            }
            ++position_;
        }
        return written;
    }

private:
    void put(uint8_t* out, int64_t value) const
    {
        int32_t const v = static_cast<int32_t>(std::clamp<int64_t>(value, -32768, 32767));
        if (bits_ == 8) {
            out[0] = static_cast<uint8_t>((v + 32768) >> 8);
        } else {
            riff::put_s16(out, static_cast<int16_t>(v));
        }
    }

    // Makes source frames first..last (16-bit scale, the target's channels) available in the window.
    // Requests never go back, so what lies before `first` is dropped whenever more is decoded.
    bool load(uint64_t first, uint64_t last)
    {
        while (last >= window_start_ + window_frames()) {
            uint64_t const drop = std::min<uint64_t>(first - window_start_, window_frames());
            window_.erase(window_.begin(), window_.begin() + static_cast<std::ptrdiff_t>(drop * channels_));
            window_start_ += drop;
            if (!decode_more())
                return false;
        }
        return true;
    }

    size_t window_frames() const { return window_.size() / channels_; }

    bool decode_more()
    {
        uint64_t const remaining = source_frames_ - decoded_frames_;
        size_t const frames = static_cast<size_t>(std::min<uint64_t>(remaining, DECODE_FRAMES));
        if (frames == 0)
            return false;
        raw_.resize(frames * source_.block_align);
        size_t const got = std::fread(raw_.data(), source_.block_align, frames, file_);
        if (got == 0)
            return false;
        decoded_frames_ += got;
        std::vector<int32_t> in(source_.channels);
        for (size_t f = 0; f < got; ++f) {
            uint8_t const* p = raw_.data() + f * source_.block_align;
            for (unsigned c = 0; c < source_.channels; ++c)
                in[c] = riff::sample16(p + c * (source_.bits / 8), source_);
            mix(in);
        }
        return true;
    }

    // Mono from several channels is their mean; stereo is mixed as the WAV reader mixes it.
    void mix(std::vector<int32_t> const& in)
    {
        if (channels_ == 1 && in.size() > 1) {
            int64_t sum = 0;
            for (int32_t v : in)
                sum += v;
            window_.push_back(static_cast<int32_t>(divide_rounded(sum, static_cast<int64_t>(in.size()))));
            return;
        }
        int32_t stereo[2];
        riff::mix_to_stereo(in.data(), static_cast<unsigned>(in.size()), source_.channel_mask, stereo);
        for (unsigned c = 0; c < channels_; ++c)
            window_.push_back(stereo[c]);
    }

    std::FILE* const file_;
    bool const fast_;
    riff::Format const source_;
    uint64_t const source_frames_;
    unsigned const channels_;
    unsigned const bits_;
    uint32_t const rate_;
    uint64_t output_frames_ = 0;
    uint64_t position_ = 0; // next output frame
    uint64_t decoded_frames_ = 0;
    uint64_t window_start_ = 0; // source index of the window's first frame
    std::vector<int32_t> window_; // decoded frames, target channels each
    std::vector<uint8_t> raw_;
};

// The file's bytes for the shared RIFF walker.
class FileSource final : public riff::ByteSource {
public:
    explicit FileSource(std::FILE* file)
        : file_(file)
    {
    }
    uint64_t size() override
    {
        if (std::fseek(file_, 0, SEEK_END) != 0)
            return 0;
        long const end = std::ftell(file_);
        return end < 0 ? 0 : static_cast<uint64_t>(end);
    }
    bool read_at(uint64_t offset, void* out, size_t count) override
    {
        return std::fseek(file_, static_cast<long>(offset), SEEK_SET) == 0 && std::fread(out, 1, count, file_) == count;
    }

private:
    std::FILE* const file_;
};

} // namespace

bool read_wav_layout(std::FILE* file, WavLayout& layout, std::string& why)
{
    layout = WavLayout();
    FileSource source(file);
    riff::ChunkWalker walker(source);
    if (!walker.start()) {
        why = walker.error();
        return false;
    }
    bool have_format = false, have_data = false;
    riff::Chunk chunk;
    while (!(have_format && have_data) && walker.next(chunk)) {
        if (chunk.is("fmt ") && !have_format) {
            uint8_t body[40] = {};
            size_t const take = static_cast<size_t>(std::min<uint64_t>(walker.available(chunk), sizeof body));
            riff::Format format;
            if (!source.read_at(chunk.body(), body, take) || !riff::parse_format(body, take, format, why)) {
                walker.refuse(chunk, why.empty() ? "cannot be read" : why);
                why = walker.error();
                return false;
            }
            layout.tag = format.coding;
            layout.channels = format.channels;
            layout.rate = format.rate;
            layout.block_align = format.block_align;
            layout.bits = format.bits;
            layout.channel_mask = format.channel_mask;
            have_format = true;
        } else if (chunk.is("data") && !have_data) {
            layout.data_offset = chunk.body();
            // Streams written without knowing their length leave it too large: the file's end decides.
            layout.data_size = walker.available(chunk);
            have_data = true;
        }
    }
    if (!have_format)
        why = walker.error().empty() ? "it has no 'fmt ' chunk" : walker.error();
    else if (!have_data)
        why = walker.error().empty() ? "it has no 'data' chunk" : walker.error();
    return have_format && have_data;
}

std::unique_ptr<RecordedInput> open_file_input(
    std::string const& path, bool fast, WaveFormat const& format, std::string& error)
{
    auto fail = [&](std::string const& why) {
        error = "microphone file " + path + ": " + why;
        return nullptr;
    };
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return fail(std::string("cannot be opened (") + std::strerror(errno) + ")");
    struct Closer {
        std::FILE* file;
        ~Closer()
        {
            if (file)
                std::fclose(file);
        }
    } closer { file };

    WavLayout layout;
    std::string why;
    if (!read_wav_layout(file, layout, why))
        return fail(why);
    riff::Format source;
    source.tag = source.coding = layout.tag;
    source.channels = layout.channels;
    source.rate = layout.rate;
    source.block_align = layout.block_align;
    source.bits = layout.bits;
    source.channel_mask = layout.channel_mask;
    // More channels than any device has would only be a way to make each frame huge.
    if (!riff::samples_supported(source, why) || source.channels > 32 || source.rate > 1000000)
        return fail(why.empty() ? "its format is beyond what a microphone gives" : why);
    if (std::fseek(file, static_cast<long>(layout.data_offset), SEEK_SET) != 0)
        return fail("cannot be read");
    uint64_t const frames = layout.data_size / source.block_align;
    closer.file = nullptr;
    return std::make_unique<FileInput>(file, fast, source, frames, format);
}

} // namespace platform::wave_backend
