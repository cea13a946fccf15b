// A WAV file as the microphone: its samples converted to the format the device was opened in (channels,
// 8 or 16 bits, and the rate by linear interpolation). Every length in the file is checked against the
// file's size before it is used.
#include "wave_backend.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace platform::wave_backend {

namespace {

constexpr uint16_t TAG_PCM = 1;
constexpr uint16_t TAG_FLOAT = 3;
constexpr uint16_t TAG_EXTENSIBLE = 0xFFFE;
constexpr size_t DECODE_FRAMES = 4096;

uint16_t u16(uint8_t const* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t u32(uint8_t const* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16)
        | (static_cast<uint32_t>(p[3]) << 24);
}

// Nearest integer, halves away from zero.
int64_t divide_rounded(int64_t numerator, int64_t denominator)
{
    int64_t const half = denominator / 2;
    return numerator >= 0 ? (numerator + half) / denominator : -((-numerator + half) / denominator);
}

struct SourceFormat {
    uint16_t tag = 0;
    uint16_t channels = 0;
    uint32_t rate = 0;
    uint16_t block_align = 0;
    uint16_t bits = 0;
};

class FileInput final : public RecordedInput {
public:
    FileInput(std::FILE* file, bool fast, SourceFormat const& source, uint64_t frames, WaveFormat const& target)
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
        if (source_.tag == TAG_PCM && source_.channels == channels_ && source_.bits == bits_ && source_.rate == rate_
            && source_.block_align == frame_bytes) {
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
            out[0] = static_cast<uint8_t>(v & 0xFF);
            out[1] = static_cast<uint8_t>((v >> 8) & 0xFF);
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
                in[c] = sample(p + c * (source_.bits / 8));
            mix(in);
        }
        return true;
    }

    int32_t sample(uint8_t const* p) const
    {
        if (source_.tag == TAG_FLOAT) {
            float value;
            uint32_t const bits = u32(p);
            std::memcpy(&value, &bits, sizeof value);
            if (!std::isfinite(value))
                return 0;
            return static_cast<int32_t>(std::clamp<double>(std::lround(double(value) * 32768.0), -32768, 32767));
        }
        switch (source_.bits) {
        case 8:
            return (static_cast<int32_t>(p[0]) - 128) * 256;
        case 16:
            return static_cast<int16_t>(u16(p));
        case 24:
            return static_cast<int16_t>(u16(p + 1));
        default:
            return static_cast<int16_t>(u16(p + 2));
        }
    }

    // Mono from several channels is their mean; stereo from mono repeats it; otherwise the first channels.
    void mix(std::vector<int32_t> const& in)
    {
        if (channels_ == 1 && in.size() > 1) {
            int64_t sum = 0;
            for (int32_t v : in)
                sum += v;
            window_.push_back(static_cast<int32_t>(divide_rounded(sum, static_cast<int64_t>(in.size()))));
            return;
        }
        for (unsigned c = 0; c < channels_; ++c)
            window_.push_back(in[std::min<size_t>(c, in.size() - 1)]);
    }

    std::FILE* const file_;
    bool const fast_;
    SourceFormat const source_;
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

bool supported(SourceFormat const& f, std::string& why)
{
    if (f.tag != TAG_PCM && f.tag != TAG_FLOAT) {
        why = "coding " + std::to_string(f.tag) + " is not PCM";
        return false;
    }
    bool const bits_ok
        = f.tag == TAG_FLOAT ? f.bits == 32 : (f.bits == 8 || f.bits == 16 || f.bits == 24 || f.bits == 32);
    if (!bits_ok) {
        why = std::to_string(f.bits) + " bits per sample are not supported";
        return false;
    }
    if (f.channels == 0 || f.channels > 32) {
        why = std::to_string(f.channels) + " channels are not supported";
        return false;
    }
    if (f.rate == 0 || f.rate > 1000000) {
        why = "the sample rate " + std::to_string(f.rate) + " is not supported";
        return false;
    }
    if (f.block_align != f.channels * (f.bits / 8)) {
        why = "its block align " + std::to_string(f.block_align) + " does not match its channels and bits";
        return false;
    }
    return true;
}

} // namespace

bool read_wav_layout(std::FILE* file, WavLayout& layout, std::string& why)
{
    layout = WavLayout();
    if (std::fseek(file, 0, SEEK_END) != 0) {
        why = "cannot be read";
        return false;
    }
    long const end = std::ftell(file);
    if (end < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
        why = "cannot be read";
        return false;
    }
    uint64_t const size = static_cast<uint64_t>(end);

    uint8_t head[12];
    if (size < 12 || std::fread(head, 1, 12, file) != 12 || std::memcmp(head, "RIFF", 4) != 0
        || std::memcmp(head + 8, "WAVE", 4) != 0) {
        why = "not a RIFF WAVE file";
        return false;
    }
    bool have_format = false, have_data = false;
    uint64_t offset = 12;
    while (offset + 8 <= size && !(have_format && have_data)) {
        uint8_t chunk[8];
        if (std::fseek(file, static_cast<long>(offset), SEEK_SET) != 0 || std::fread(chunk, 1, 8, file) != 8) {
            why = "cannot be read";
            return false;
        }
        uint64_t const length = u32(chunk + 4);
        uint64_t const body = offset + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            uint8_t fmt[40] = {};
            if (length < 16 || body + 16 > size) {
                why = "its 'fmt ' chunk is cut short";
                return false;
            }
            size_t const take = static_cast<size_t>(std::min<uint64_t>({ length, sizeof fmt, size - body }));
            if (std::fread(fmt, 1, take, file) != take) {
                why = "cannot be read";
                return false;
            }
            layout.tag = u16(fmt);
            layout.channels = u16(fmt + 2);
            layout.rate = u32(fmt + 4);
            layout.block_align = u16(fmt + 12);
            layout.bits = u16(fmt + 14);
            if (layout.tag == TAG_EXTENSIBLE) {
                if (take < 26) {
                    why = "its extensible 'fmt ' chunk is cut short";
                    return false;
                }
                layout.tag = u16(fmt + 24); // the first two bytes of the sub-format identifier
            }
            have_format = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            layout.data_offset = body;
            // Streams written without knowing their length leave it too large: the file's end decides.
            layout.data_size = std::min(length, size - body);
            have_data = true;
        }
        offset = body + length + (length & 1);
    }
    if (!have_format)
        why = "it has no 'fmt ' chunk";
    else if (!have_data)
        why = "it has no 'data' chunk";
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
    SourceFormat const source { layout.tag, layout.channels, layout.rate, layout.block_align, layout.bits };
    if (!supported(source, why))
        return fail(why);
    if (std::fseek(file, static_cast<long>(layout.data_offset), SEEK_SET) != 0)
        return fail("cannot be read");
    uint64_t const frames = layout.data_size / source.block_align;
    closer.file = nullptr;
    return std::make_unique<FileInput>(file, fast, source, frames, format);
}

} // namespace platform::wave_backend
