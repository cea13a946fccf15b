#include "WaveHeader.h"

#include <cstring>

namespace audio {

namespace {

constexpr uint32_t BASIC_FMT_SIZE = 16;
constexpr uint32_t ADPCM_FMT_SIZE = 50;
constexpr uint32_t GSM_FMT_SIZE = 20;
constexpr uint32_t ADPCM_EXTENSION_HEAD = 6; // cbSize, samples per block, coefficient count

uint16_t u16(uint8_t const* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t u32(uint8_t const* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16)
        | (static_cast<uint32_t>(p[3]) << 24);
}

// A header's bytes, little-endian; the longest header (ADPCM) is 90 bytes.
class Bytes {
public:
    void text(char const* four)
    {
        for (int i = 0; i < 4; ++i)
            put(static_cast<uint8_t>(four[i]));
    }
    void u16(uint32_t v)
    {
        put(static_cast<uint8_t>(v));
        put(static_cast<uint8_t>(v >> 8));
    }
    void u32(uint32_t v)
    {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    bool write_to(os::OutStream& out) const { return out.write(bytes_.data(), count_) == count_; }

private:
    void put(uint8_t byte)
    {
        if (count_ < bytes_.size())
            bytes_[count_++] = byte;
    }

    std::array<uint8_t, 96> bytes_ {};
    uint32_t count_ = 0;
};

bool read_all(os::InStream& in, void* buffer, uint32_t count)
{
    return in.read(buffer, count) == count;
}

bool write_u32_at(os::OutStream& out, uint32_t position, uint32_t value)
{
    Bytes bytes;
    bytes.u32(value);
    return out.seek(position) && bytes.write_to(out);
}

} // namespace

uint16_t WaveHeader::adpcm_block_align(int32_t channels, int32_t samples_per_second)
{
    int32_t const per_channel = samples_per_second < 22050 ? 256
        : samples_per_second < 44100                       ? 512
        : samples_per_second < 96000                       ? 1024
                                                           : 2048;
    return static_cast<uint16_t>(per_channel * channels);
}

uint16_t WaveHeader::adpcm_samples_per_block(uint16_t block_align, int32_t channels)
{
    if (channels <= 0 || block_align < 7 * channels)
        return 0;
    return static_cast<uint16_t>((block_align - 7 * channels) * 8 / (4 * channels) + 2);
}

WaveHeader WaveHeader::pcm(AudioFormat const& format)
{
    WaveHeader h;
    h.format_tag = TAG_PCM;
    h.channels = static_cast<uint16_t>(format.channels);
    h.bits_per_sample = static_cast<uint16_t>(format.bits_per_sample);
    h.samples_per_second = static_cast<uint32_t>(format.samples_per_second);
    h.block_align = static_cast<uint16_t>(format.frame_size());
    h.avg_bytes_per_second = h.block_align * h.samples_per_second;
    h.fmt_size = BASIC_FMT_SIZE;
    h.data_start = PCM_HEADER_SIZE;
    return h;
}

WaveHeader WaveHeader::adpcm(int32_t channels, int32_t samples_per_second, uint16_t block_align)
{
    WaveHeader h;
    h.format_tag = TAG_ADPCM;
    h.channels = static_cast<uint16_t>(channels);
    h.bits_per_sample = 4;
    h.samples_per_second = static_cast<uint32_t>(samples_per_second);
    h.block_align = block_align ? block_align : adpcm_block_align(channels, samples_per_second);
    h.samples_per_block = adpcm_samples_per_block(h.block_align, channels);
    h.avg_bytes_per_second
        = h.samples_per_block ? uint32_t(uint64_t(h.samples_per_second) * h.block_align / h.samples_per_block) : 0;
    h.fmt_size = ADPCM_FMT_SIZE;
    h.data_start = ADPCM_HEADER_SIZE;
    h.coefficient_count = ADPCM_COEFFICIENT_COUNT;
    h.coefficients.assign(ADPCM_COEFFICIENTS.begin(), ADPCM_COEFFICIENTS.end());
    return h;
}

WaveHeader WaveHeader::gsm()
{
    WaveHeader h;
    h.format_tag = TAG_GSM;
    h.channels = 1;
    h.samples_per_second = 8000;
    h.avg_bytes_per_second = 1625;
    h.block_align = GSM_BLOCK_ALIGN;
    h.bits_per_sample = 0;
    h.samples_per_block = GSM_SAMPLES_PER_BLOCK;
    h.fmt_size = GSM_FMT_SIZE;
    h.data_start = GSM_HEADER_SIZE;
    return h;
}

uint32_t WaveHeader::canonical_size() const
{
    switch (format_tag) {
    case TAG_ADPCM:
        return ADPCM_HEADER_SIZE;
    case TAG_GSM:
        return GSM_HEADER_SIZE;
    default:
        return PCM_HEADER_SIZE;
    }
}

bool WaveHeader::read(os::InStream& in)
{
    *this = WaveHeader();
    if (!in.is_open() || !in.seek(0))
        return false;
    uint64_t const file_size = in.size();
    uint8_t b[16];
    if (!read_all(in, b, 12) || std::memcmp(b, "RIFF", 4) != 0 || std::memcmp(b + 8, "WAVE", 4) != 0)
        return false;
    riff_size = u32(b + 4);

    // Each chunk: an identifier and a size; the body must lie within the file before anything of it is used.
    uint64_t position = 12;
    bool have_fmt = false;
    for (;;) {
        if (position + 8 > file_size || !in.seek(static_cast<uint32_t>(position)) || !read_all(in, b, 8))
            return false;
        uint32_t const size = u32(b + 4);
        uint64_t const body = position + 8;
        if (std::memcmp(b, "data", 4) == 0) {
            if (!have_fmt)
                return false;
            data_size = size;
            data_start = static_cast<uint32_t>(body);
            return true;
        }
        if (body + size > file_size)
            return false;
        if (std::memcmp(b, "fmt ", 4) == 0 && !have_fmt) {
            fmt_size = size;
            if (!read_fmt(in))
                return false;
            have_fmt = true;
        } else if (std::memcmp(b, "fact", 4) == 0 && size >= 4) {
            if (!read_all(in, b, 4))
                return false;
            fact_samples = u32(b);
            fact_offset = static_cast<uint32_t>(body);
        }
        position = body + size;
    }
}

bool WaveHeader::read_fmt(os::InStream& in)
{
    uint8_t b[BASIC_FMT_SIZE];
    if (fmt_size < BASIC_FMT_SIZE || !read_all(in, b, BASIC_FMT_SIZE))
        return false;
    format_tag = u16(b);
    channels = u16(b + 2);
    samples_per_second = u32(b + 4);
    avg_bytes_per_second = u32(b + 8);
    block_align = u16(b + 12);
    bits_per_sample = u16(b + 14);
    if (format_tag == TAG_ADPCM) {
        if (fmt_size < BASIC_FMT_SIZE + ADPCM_EXTENSION_HEAD || !read_all(in, b, ADPCM_EXTENSION_HEAD))
            return false;
        samples_per_block = u16(b + 2);
        coefficient_count = u16(b + 4);
        // The pairs are read only as far as the chunk holds them, whatever the count says.
        if (BASIC_FMT_SIZE + ADPCM_EXTENSION_HEAD + 4u * coefficient_count > fmt_size)
            return false;
        coefficients.resize(coefficient_count);
        for (auto& pair : coefficients) {
            if (!read_all(in, b, 4))
                return false;
            pair = { static_cast<int16_t>(u16(b)), static_cast<int16_t>(u16(b + 2)) };
        }
    } else if (format_tag == TAG_GSM) {
        if (fmt_size < GSM_FMT_SIZE || !read_all(in, b, 4))
            return false;
        samples_per_block = u16(b + 2);
    }
    return true;
}

bool WaveHeader::write(os::OutStream& out) const
{
    uint32_t const start = canonical_size();
    Bytes bytes;
    bytes.text("RIFF");
    bytes.u32(start + data_size - 8);
    bytes.text("WAVE");
    bytes.text("fmt ");
    bytes.u32(format_tag == TAG_ADPCM ? ADPCM_FMT_SIZE : format_tag == TAG_GSM ? GSM_FMT_SIZE : BASIC_FMT_SIZE);
    bytes.u16(format_tag);
    bytes.u16(channels);
    bytes.u32(samples_per_second);
    bytes.u32(avg_bytes_per_second);
    bytes.u16(block_align);
    bytes.u16(bits_per_sample);
    if (format_tag == TAG_ADPCM) {
        bytes.u16((ADPCM_COEFFICIENT_COUNT + 1) * 4);
        bytes.u16(samples_per_block);
        bytes.u16(ADPCM_COEFFICIENT_COUNT);
        for (auto const& pair : ADPCM_COEFFICIENTS) {
            bytes.u16(static_cast<uint16_t>(pair[0]));
            bytes.u16(static_cast<uint16_t>(pair[1]));
        }
    } else if (format_tag == TAG_GSM) {
        bytes.u16(2);
        bytes.u16(samples_per_block);
    }
    if (format_tag == TAG_ADPCM || format_tag == TAG_GSM) {
        bytes.text("fact");
        bytes.u32(4);
        bytes.u32(fact_samples);
    }
    bytes.text("data");
    bytes.u32(data_size);
    return out.is_open() && bytes.write_to(out);
}

bool WaveHeader::update_sizes(os::OutStream& out) const
{
    if (!out.is_open() || data_start < 12)
        return false;
    bool ok = write_u32_at(out, 4, data_start + data_size - 8) && write_u32_at(out, data_start - 4, data_size);
    if (ok && fact_offset)
        ok = write_u32_at(out, fact_offset, fact_samples);
    return ok;
}

bool WaveHeader::passes_pcm_checks() const
{
    return format_tag == TAG_PCM && channels >= 1 && bits_per_sample >= 1 && samples_per_second > 0
        && block_align == format().frame_size();
}

bool WaveHeader::passes_adpcm_checks() const
{
    return format_tag == TAG_ADPCM && (channels == 1 || channels == 2) && bits_per_sample == 4
        && coefficient_count == ADPCM_COEFFICIENT_COUNT;
}

bool WaveHeader::passes_gsm_checks() const
{
    return format_tag == TAG_GSM && channels == 1 && samples_per_second == 8000
        && samples_per_block == GSM_SAMPLES_PER_BLOCK && block_align == GSM_BLOCK_ALIGN;
}

} // namespace audio
