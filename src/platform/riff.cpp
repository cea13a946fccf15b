#include "riff.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform::riff {

namespace {

// The GUID of WAVE_FORMAT_EXTENSIBLE's sub-format after its first two bytes (the coding's tag).
constexpr uint8_t WAVE_GUID_TAIL[14]
    = { 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71 };
constexpr size_t BASIC_FORMAT = 16;
constexpr size_t EXTENSIBLE_FORMAT = 40;

// Speaker positions of the channel mask.
constexpr uint32_t LEFT_SPEAKERS = 0x1 | 0x10 | 0x40 | 0x200 | 0x1000 | 0x8000;
constexpr uint32_t RIGHT_SPEAKERS = 0x2 | 0x20 | 0x80 | 0x400 | 0x4000 | 0x20000;
constexpr unsigned KNOWN_SPEAKERS = 18;

int64_t divide_rounded(int64_t numerator, int64_t denominator)
{
    int64_t const half = denominator / 2;
    return numerator >= 0 ? (numerator + half) / denominator : -((-numerator + half) / denominator);
}

int32_t clamp16(int64_t value)
{
    return static_cast<int32_t>(std::clamp<int64_t>(value, -32768, 32767));
}

int32_t from_real(double value)
{
    if (!std::isfinite(value))
        return 0;
    return clamp16(static_cast<int64_t>(std::lrint(std::clamp(value * 32768.0, -40000.0, 40000.0))));
}

std::string printable(char const* bytes, size_t count)
{
    std::string out;
    for (size_t i = 0; i < count; ++i)
        out += bytes[i] >= 0x20 && bytes[i] < 0x7F ? bytes[i] : '?';
    return out;
}

} // namespace

bool Chunk::is(char const* four) const
{
    return std::memcmp(id, four, 4) == 0;
}

std::string Chunk::name() const
{
    return printable(id, 4);
}

ChunkWalker::ChunkWalker(ByteSource& source)
    : source_(source)
{
}

bool ChunkWalker::start()
{
    size_ = source_.size();
    char head[12];
    if (size_ < 12 || !source_.read_at(0, head, 12) || std::memcmp(head, "RIFF", 4) != 0
        || std::memcmp(head + 8, "WAVE", 4) != 0) {
        error_ = NOT_RIFF_WAVE;
        return false;
    }
    position_ = 12;
    have_last_ = false;
    return true;
}

bool ChunkWalker::next(Chunk& chunk)
{
    if (have_last_) {
        if (last_.body() + last_.size > size_) {
            refuse(last_,
                "its " + std::to_string(last_.size) + " bytes run past the end of the file at byte "
                    + std::to_string(size_));
            return false;
        }
        position_ = last_.next();
    }
    uint8_t head[8];
    if (position_ + 8 > size_)
        return false;
    if (!source_.read_at(position_, head, 8)) {
        error_ = "byte " + std::to_string(position_) + ": cannot be read";
        return false;
    }
    std::memcpy(chunk.id, head, 4);
    chunk.size = u32(head + 4);
    chunk.offset = position_;
    last_ = chunk;
    have_last_ = true;
    return true;
}

uint64_t ChunkWalker::available(Chunk const& chunk) const
{
    return chunk.body() >= size_ ? 0 : std::min<uint64_t>(chunk.size, size_ - chunk.body());
}

bool ChunkWalker::refuse(Chunk const& chunk, std::string const& why)
{
    error_ = "chunk '" + chunk.name() + "' at byte " + std::to_string(chunk.offset) + ": " + why;
    return false;
}

bool parse_format(uint8_t const* body, size_t count, Format& f, std::string& why)
{
    f = Format();
    if (count < BASIC_FORMAT) {
        why = "it holds " + std::to_string(count) + " bytes, fewer than the 16 of a format";
        return false;
    }
    f.tag = u16(body);
    f.coding = f.tag;
    f.channels = u16(body + 2);
    f.rate = u32(body + 4);
    f.avg_bytes_per_second = u32(body + 8);
    f.block_align = u16(body + 12);
    f.bits = u16(body + 14);
    if (f.tag != TAG_EXTENSIBLE)
        return true;
    if (count < EXTENSIBLE_FORMAT) {
        why = "an extensible format of " + std::to_string(count) + " bytes, fewer than 40";
        return false;
    }
    f.valid_bits = u16(body + 18);
    f.channel_mask = u32(body + 20);
    f.coding = u16(body + 24);
    if (std::memcmp(body + 26, WAVE_GUID_TAIL, sizeof WAVE_GUID_TAIL) != 0) {
        why = "its extensible sub-format is not a WAVE coding";
        return false;
    }
    return true;
}

bool samples_supported(Format const& f, std::string& why)
{
    bool const law = f.coding == TAG_ALAW || f.coding == TAG_MULAW;
    bool const bits_ok = f.coding == TAG_FLOAT ? f.bits == 32 || f.bits == 64
        : f.coding == TAG_PCM                  ? f.bits == 8 || f.bits == 16 || f.bits == 24 || f.bits == 32
                                               : law && f.bits == 8;
    if (f.coding != TAG_PCM && f.coding != TAG_FLOAT && !law)
        why = "coding " + std::to_string(f.coding) + " is neither PCM, float, A-law nor mu-law";
    else if (!bits_ok)
        why = std::to_string(f.bits) + "-bit "
            + (f.coding == TAG_FLOAT      ? "float"
                    : f.coding == TAG_PCM ? "PCM"
                                          : "G.711")
            + " is not supported";
    else if (f.channels == 0)
        why = "it has no channels";
    else if (f.rate == 0)
        why = "its sample rate is 0";
    else if (f.block_align != f.channels * (f.bits / 8))
        why = "its block align " + std::to_string(f.block_align) + " is not " + std::to_string(f.channels)
            + " channels of " + std::to_string(f.bits) + " bits";
    else
        return true;
    return false;
}

int32_t sample16(uint8_t const* p, Format const& f)
{
    // G.711: a sign, a 3-bit segment and a 4-bit step within it, on a 13-bit (A-law) or 14-bit scale.
    if (f.coding == TAG_MULAW) {
        uint8_t const u = static_cast<uint8_t>(~p[0]);
        int32_t const magnitude = ((((u & 0x0F) << 3) + 0x84) << ((u >> 4) & 7)) - 0x84;
        return (u & 0x80) ? -magnitude : magnitude;
    }
    if (f.coding == TAG_ALAW) {
        uint8_t const a = p[0] ^ 0x55;
        int32_t const segment = (a >> 4) & 7, step = (a & 0x0F) << 4;
        int32_t const magnitude = segment == 0 ? step + 8 : (step + 0x108) << (segment - 1);
        return (a & 0x80) ? magnitude : -magnitude;
    }
    if (f.coding == TAG_FLOAT) {
        if (f.bits == 64) {
            uint64_t const bits = u32(p) | (uint64_t(u32(p + 4)) << 32);
            double value;
            std::memcpy(&value, &bits, sizeof value);
            return from_real(value);
        }
        uint32_t const bits = u32(p);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return from_real(value);
    }
    switch (f.bits) {
    case 8:
        return (static_cast<int32_t>(p[0]) - 128) * 256;
    case 16:
        return static_cast<int16_t>(u16(p));
    case 24: {
        // Three bytes only: the last sample of a buffer has nothing after it.
        uint32_t const raw = p[0] | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
        int32_t const value = static_cast<int32_t>(raw << 8) >> 8;
        return clamp16((int64_t(value) + 128) >> 8);
    }
    default:
        return clamp16((int64_t(static_cast<int32_t>(u32(p))) + 32768) >> 16);
    }
}

void mix_to_stereo(int32_t const* in, unsigned channels, uint32_t channel_mask, int32_t out[2])
{
    if (channels <= 2) {
        out[0] = in[0];
        out[1] = in[channels - 1];
        return;
    }
    uint32_t mask = channel_mask ? channel_mask : (1u << std::min(channels, KNOWN_SPEAKERS)) - 1;
    int64_t sum[2] = {}, weight[2] = {};
    for (unsigned c = 0; c < channels; ++c) {
        uint32_t const speaker = mask & (~mask + 1); // the lowest position left; none: centre
        mask &= ~speaker;
        if (speaker & LEFT_SPEAKERS) {
            sum[0] += 2 * int64_t(in[c]);
            weight[0] += 2;
        } else if (speaker & RIGHT_SPEAKERS) {
            sum[1] += 2 * int64_t(in[c]);
            weight[1] += 2;
        } else {
            sum[0] += in[c];
            sum[1] += in[c];
            ++weight[0];
            ++weight[1];
        }
    }
    for (int side = 0; side < 2; ++side)
        if (weight[side] == 0) {
            sum[side] = sum[1 - side];
            weight[side] = weight[1 - side];
        }
    out[0] = static_cast<int32_t>(divide_rounded(sum[0], weight[0]));
    out[1] = static_cast<int32_t>(divide_rounded(sum[1], weight[1]));
}

} // namespace platform::riff
