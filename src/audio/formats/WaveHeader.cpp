#include "WaveHeader.h"

#include <cstring>

namespace audio {

namespace {

constexpr uint32_t BASIC_FMT_SIZE = 16;
constexpr uint32_t ADPCM_FMT_SIZE = 50;
constexpr uint32_t GSM_FMT_SIZE = 20;
constexpr uint32_t ADPCM_EXTENSION_HEAD = 6; // cbSize, samples per block, coefficient count
constexpr uint64_t MAX_FMT_READ = BASIC_FMT_SIZE + ADPCM_EXTENSION_HEAD + 4 * 0xFFFF;

namespace riff = platform::riff;
using riff::u16;
using riff::u32;

// A header's bytes, little-endian; the longest header (ADPCM) is 90 bytes.
class Bytes {
public:
    void text(char const* four) { put(reinterpret_cast<uint8_t const*>(four), 4); }
    void u16(uint32_t v)
    {
        uint8_t bytes[2];
        riff::put_u16(bytes, static_cast<uint16_t>(v));
        put(bytes, 2);
    }
    void u32(uint32_t v)
    {
        uint8_t bytes[4];
        riff::put_u32(bytes, v);
        put(bytes, 4);
    }
    bool write_to(os::OutStream& out) const { return out.write(bytes_.data(), count_) == count_; }

private:
    void put(uint8_t const* bytes, uint32_t count)
    {
        for (uint32_t i = 0; i < count && count_ < bytes_.size(); ++i)
            bytes_[count_++] = bytes[i];
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

namespace {

class StreamSource final : public riff::ByteSource {
public:
    explicit StreamSource(os::InStream& in)
        : in_(in)
    {
    }
    uint64_t size() override { return in_.size(); }
    bool read_at(uint64_t offset, void* out, size_t count) override
    {
        return offset + count <= UINT32_MAX && in_.seek(static_cast<uint32_t>(offset))
            && read_all(in_, out, static_cast<uint32_t>(count));
    }

private:
    os::InStream& in_;
};

} // namespace

bool WaveHeader::read(os::InStream& in, std::string* why)
{
    *this = WaveHeader();
    std::string problem = "cannot be read";
    bool const ok = in.is_open() && read_chunks(in, problem);
    if (why)
        *why = ok ? std::string() : problem;
    return ok;
}

bool WaveHeader::read_chunks(os::InStream& in, std::string& why)
{
    StreamSource source(in);
    riff::ChunkWalker walker(source);
    uint8_t b[4];
    if (!walker.start() || !source.read_at(4, b, 4)) {
        why = walker.error();
        return false;
    }
    riff_size = u32(b);
    bool have_fmt = false;
    riff::Chunk chunk;
    while (walker.next(chunk)) {
        if (chunk.is("data")) {
            if (!have_fmt) {
                why = (walker.refuse(chunk, "comes before any 'fmt ' chunk"), walker.error());
                return false;
            }
            data_size = chunk.size;
            data_start = static_cast<uint32_t>(chunk.body());
            return in.seek(data_start);
        }
        if (chunk.is("fmt ") && !have_fmt) {
            fmt_size = chunk.size;
            fmt_offset = static_cast<uint32_t>(chunk.offset);
            // Never more than the file holds, nor than the largest ADPCM table needs.
            std::vector<uint8_t> body(static_cast<size_t>(std::min<uint64_t>(walker.available(chunk), MAX_FMT_READ)));
            std::string problem = "cannot be read";
            if (!source.read_at(chunk.body(), body.data(), body.size()) || !read_fmt(body, problem)) {
                why = (walker.refuse(chunk, problem), walker.error());
                return false;
            }
            have_fmt = true;
        } else if (chunk.is("fact") && walker.available(chunk) >= 4) {
            if (!source.read_at(chunk.body(), b, 4))
                return false;
            fact_samples = u32(b);
            fact_offset = static_cast<uint32_t>(chunk.body());
        }
    }
    if (!walker.error().empty())
        why = walker.error();
    else
        why = have_fmt ? "it has no 'data' chunk" : "it has no 'fmt ' chunk";
    return false;
}

bool WaveHeader::read_fmt(std::vector<uint8_t> const& body, std::string& why)
{
    riff::Format f;
    if (!riff::parse_format(body.data(), body.size(), f, why))
        return false;
    format_tag = f.tag;
    sub_format = f.tag == TAG_EXTENSIBLE ? f.coding : 0;
    channels = f.channels;
    samples_per_second = f.rate;
    avg_bytes_per_second = f.avg_bytes_per_second;
    block_align = f.block_align;
    bits_per_sample = f.bits;
    valid_bits = f.valid_bits;
    channel_mask = f.channel_mask;
    uint8_t const* b = body.data();
    size_t const n = body.size();
    if (format_tag == TAG_ADPCM) {
        if (n < BASIC_FMT_SIZE + ADPCM_EXTENSION_HEAD) {
            why = "an ADPCM format of " + std::to_string(n) + " bytes, fewer than 22";
            return false;
        }
        samples_per_block = u16(b + 18);
        coefficient_count = u16(b + 20);
        // The pairs are read only as far as the chunk holds them, whatever the count says.
        if (BASIC_FMT_SIZE + ADPCM_EXTENSION_HEAD + 4u * coefficient_count > n) {
            why = std::to_string(coefficient_count) + " ADPCM coefficient pairs do not fit in its " + std::to_string(n)
                + " bytes";
            return false;
        }
        coefficients.resize(coefficient_count);
        for (size_t i = 0; i < coefficients.size(); ++i) {
            uint8_t const* pair = b + BASIC_FMT_SIZE + ADPCM_EXTENSION_HEAD + 4 * i;
            coefficients[i] = { static_cast<int16_t>(u16(pair)), static_cast<int16_t>(u16(pair + 2)) };
        }
    } else if (format_tag == TAG_GSM) {
        if (n < GSM_FMT_SIZE) {
            why = "a GSM format of " + std::to_string(n) + " bytes, fewer than 20";
            return false;
        }
        samples_per_block = u16(b + 18);
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

uint16_t WaveHeader::coding() const
{
    return format_tag == TAG_EXTENSIBLE ? sub_format : format_tag;
}

riff::Format WaveHeader::sample_format() const
{
    riff::Format f;
    f.tag = format_tag;
    f.coding = coding();
    f.channels = channels;
    f.rate = samples_per_second;
    f.avg_bytes_per_second = avg_bytes_per_second;
    f.block_align = block_align;
    f.bits = bits_per_sample;
    f.valid_bits = valid_bits;
    f.channel_mask = channel_mask;
    return f;
}

std::string WaveHeader::pcm_problem() const
{
    std::string why;
    riff::samples_supported(sample_format(), why);
    return why;
}

bool WaveHeader::needs_conversion() const
{
    return coding() != TAG_PCM || (bits_per_sample != 8 && bits_per_sample != 16) || channels > 2;
}

std::string WaveHeader::adpcm_problem() const
{
    if (format_tag != TAG_ADPCM)
        return "coding " + std::to_string(coding()) + " is not ADPCM";
    if (channels != 1 && channels != 2)
        return "ADPCM of " + std::to_string(channels) + " channels (1 or 2 are played)";
    if (bits_per_sample != 4)
        return "ADPCM of " + std::to_string(bits_per_sample) + " bits per sample (4 are played)";
    if (coefficient_count != ADPCM_COEFFICIENT_COUNT)
        return "ADPCM with " + std::to_string(coefficient_count) + " coefficient pairs (7 are played)";
    if (block_align <= 7 * channels)
        return "ADPCM blocks of " + std::to_string(block_align) + " bytes, too small for their own header";
    return {};
}

std::string WaveHeader::gsm_problem() const
{
    if (format_tag != TAG_GSM)
        return "coding " + std::to_string(coding()) + " is not GSM";
    if (channels != 1 || samples_per_second != 8000)
        return "GSM of " + std::to_string(channels) + " channels at " + std::to_string(samples_per_second)
            + " samples per second (1 channel at 8000 is played)";
    if (samples_per_block != GSM_SAMPLES_PER_BLOCK || block_align != GSM_BLOCK_ALIGN)
        return "GSM blocks of " + std::to_string(block_align) + " bytes and " + std::to_string(samples_per_block)
            + " samples (65 and 320 are played)";
    return {};
}

std::string WaveHeader::ima_problem() const
{
    if (format_tag != TAG_IMA_ADPCM)
        return "coding " + std::to_string(coding()) + " is not IMA ADPCM";
    if (channels != 1 && channels != 2)
        return "IMA ADPCM of " + std::to_string(channels) + " channels (1 or 2 are played)";
    if (bits_per_sample != 4)
        return "IMA ADPCM of " + std::to_string(bits_per_sample) + " bits per sample (4 are played)";
    if (block_align < 8 * channels)
        return "IMA ADPCM blocks of " + std::to_string(block_align) + " bytes, too small for one word of each channel";
    return {};
}

uint32_t WaveHeader::ima_samples_per_block(uint16_t block_align, int32_t channels)
{
    uint32_t const header = 4 * uint32_t(channels);
    return channels <= 0 || block_align < header ? 0 : (block_align - header) / header * 8 + 1;
}

std::string WaveHeader::refusal() const
{
    std::string why;
    switch (coding()) {
    case TAG_PCM:
    case TAG_FLOAT:
    case TAG_ALAW:
    case TAG_MULAW:
        why = pcm_problem();
        break;
    case TAG_ADPCM:
        why = adpcm_problem();
        break;
    case TAG_GSM:
        why = gsm_problem();
        break;
    case TAG_IMA_ADPCM:
        why = ima_problem();
        break;
    default:
        why = "coding " + std::to_string(coding()) + " is not PCM, float, A-law, mu-law, ADPCM, IMA ADPCM or GSM";
    }
    if (why.empty())
        return why;
    return "chunk 'fmt ' at byte " + std::to_string(fmt_offset) + ": " + why;
}

bool WaveHeader::passes_pcm_checks() const
{
    return pcm_problem().empty();
}

bool WaveHeader::passes_adpcm_checks() const
{
    return adpcm_problem().empty();
}

bool WaveHeader::passes_gsm_checks() const
{
    return gsm_problem().empty();
}

bool WaveHeader::passes_ima_checks() const
{
    return ima_problem().empty();
}

} // namespace audio
