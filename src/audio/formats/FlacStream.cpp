#include "FlacStream.h"

#include <algorithm>
#include <cstring>

namespace audio::flac {

namespace {

constexpr uint32_t ID3_HEADER = 10;
// How far from the end the last frame is looked for: far more than a frame of any stream we write.
constexpr uint32_t LAST_FRAME_WINDOW = 4 * 1024 * 1024;
constexpr size_t MAX_ENDS_TRIED = 4;

template <typename T, T POLY, int WIDTH> constexpr std::array<T, 256> crc_table()
{
    std::array<T, 256> table {};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t r = i << (WIDTH - 8);
        for (int bit = 0; bit < 8; ++bit)
            r = (r & (1u << (WIDTH - 1))) ? (r << 1) ^ POLY : r << 1;
        table[i] = static_cast<T>(r);
    }
    return table;
}

constexpr auto CRC8 = crc_table<uint8_t, 0x07, 8>();
constexpr auto CRC16 = crc_table<uint16_t, 0x8005, 16>();

uint32_t be(uint8_t const* p, int bytes)
{
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = v << 8 | p[i];
    return v;
}

// The UTF-8-like number of a frame header: one to seven bytes.
bool read_number(uint8_t const* p, size_t size, uint64_t& value, size_t& length)
{
    if (size < 1)
        return false;
    uint8_t const first = p[0];
    if (first < 0x80) {
        value = first;
        length = 1;
        return true;
    }
    int extra = 0;
    for (uint8_t mask = 0x40; mask && (first & mask); mask >>= 1)
        ++extra;
    if (extra == 0 || extra > 6 || size < size_t(extra) + 1)
        return false;
    value = extra == 6 ? 0 : first & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return false;
        value = value << 6 | (p[i] & 0x3F);
    }
    length = size_t(extra) + 1;
    return true;
}

std::vector<uint8_t> write_number(uint64_t value)
{
    if (value < 0x80)
        return { static_cast<uint8_t>(value) };
    int extra = 1;
    while (extra < 6 && value >= (uint64_t(1) << (6 - extra + 6 * extra)))
        ++extra;
    std::vector<uint8_t> out(size_t(extra) + 1);
    for (int i = extra; i >= 1; --i) {
        out[size_t(i)] = static_cast<uint8_t>(0x80 | (value & 0x3F));
        value >>= 6;
    }
    out[0] = static_cast<uint8_t>((0xFF00 >> (extra + 1)) | value);
    return out;
}

uint32_t block_size_of(uint8_t code, uint8_t const* tail, size_t tail_size, size_t& used)
{
    used = 0;
    if (code == 1)
        return 192;
    if (code >= 2 && code <= 5)
        return 576u << (code - 2);
    if (code == 6 && tail_size >= 1) {
        used = 1;
        return tail[0] + 1u;
    }
    if (code == 7 && tail_size >= 2) {
        used = 2;
        return be(tail, 2) + 1;
    }
    if (code >= 8)
        return 256u << (code - 8);
    return 0;
}

} // namespace

uint8_t crc8(uint8_t const* bytes, size_t size)
{
    uint8_t crc = 0;
    for (size_t i = 0; i < size; ++i)
        crc = CRC8[crc ^ bytes[i]];
    return crc;
}

uint16_t crc16(uint8_t const* bytes, size_t size, uint16_t crc)
{
    for (size_t i = 0; i < size; ++i)
        crc = static_cast<uint16_t>((crc << 8) ^ CRC16[(crc >> 8) ^ bytes[i]]);
    return crc;
}

bool StreamInfo::parse(uint8_t const* p)
{
    min_block = be(p, 2);
    max_block = be(p + 2, 2);
    min_frame = be(p + 4, 3);
    max_frame = be(p + 7, 3);
    rate = be(p + 10, 3) >> 4;
    channels = ((p[12] >> 1) & 7) + 1;
    bits = (((p[12] & 1) << 4) | (p[13] >> 4)) + 1;
    total_samples = (uint64_t(p[13] & 0x0F) << 32) | be(p + 14, 4);
    std::memcpy(md5.data(), p + 18, 16);
    return rate > 0 && max_block >= 16;
}

std::array<uint8_t, STREAMINFO_SIZE> StreamInfo::bytes() const
{
    std::array<uint8_t, STREAMINFO_SIZE> p {};
    auto put = [&](size_t at, uint64_t value, int bytes) {
        for (int i = bytes - 1; i >= 0; --i, value >>= 8)
            p[at + size_t(i)] = static_cast<uint8_t>(value);
    };
    put(0, min_block, 2);
    put(2, max_block, 2);
    put(4, min_frame, 3);
    put(7, max_frame, 3);
    uint64_t const packed = uint64_t(rate) << 44 | uint64_t(channels - 1) << 41 | uint64_t(bits - 1) << 36
        | (total_samples & 0xFFFFFFFFFull);
    put(10, packed, 8);
    std::memcpy(p.data() + 18, md5.data(), 16);
    return p;
}

bool Layout::read(os::InStream& in, std::string* why)
{
    auto refuse = [&](char const* reason) {
        if (why)
            *why = reason;
        return false;
    };
    *this = {};
    uint8_t head[ID3_HEADER];
    if (!in.seek(0) || in.read(head, ID3_HEADER) != ID3_HEADER)
        return refuse("too short for a FLAC file");
    if (std::memcmp(head, "ID3", 3) == 0 && !((head[6] | head[7] | head[8] | head[9]) & 0x80))
        start = ID3_HEADER + (uint32_t(head[6]) << 21 | uint32_t(head[7]) << 14 | uint32_t(head[8]) << 7 | head[9]);
    char magic[4] = {};
    if (!in.seek(start) || in.read(magic, 4) != 4 || std::memcmp(magic, "fLaC", 4) != 0)
        return refuse("no FLAC stream marker");
    for (uint32_t at = start + 4;;) {
        uint8_t h[BLOCK_HEADER_SIZE];
        if (!in.seek(at) || in.read(h, BLOCK_HEADER_SIZE) != BLOCK_HEADER_SIZE)
            return refuse("a metadata block header is cut short");
        Block block { static_cast<uint8_t>(h[0] & 0x7F), (h[0] & 0x80) != 0, at, be(h + 1, 3) };
        if (in.size() - at - BLOCK_HEADER_SIZE < block.length)
            return refuse("a metadata block reaches past the end of the file");
        if (blocks.empty()) {
            uint8_t info_bytes[STREAMINFO_SIZE];
            if (block.type != STREAMINFO || block.length != STREAMINFO_SIZE
                || in.read(info_bytes, STREAMINFO_SIZE) != STREAMINFO_SIZE || !info.parse(info_bytes))
                return refuse("the stream information is missing or wrong");
        }
        blocks.push_back(block);
        at = block.end();
        if (block.last) {
            audio_start = at;
            return true;
        }
    }
}

Block const* Layout::find(uint8_t type) const
{
    auto const at = std::find_if(blocks.begin(), blocks.end(), [&](Block const& b) { return b.type == type; });
    return at == blocks.end() ? nullptr : &*at;
}

bool parse_frame_header(uint8_t const* p, size_t size, FrameHeader& header)
{
    if (size < 5 || p[0] != 0xFF || (p[1] & 0xFE) != 0xF8 || (p[3] & 1) != 0)
        return false;
    uint8_t const block_code = p[2] >> 4, rate_code = p[2] & 0x0F;
    if (block_code == 0 || rate_code == 15 || (p[3] >> 4) >= 11)
        return false;
    header.variable = (p[1] & 1) != 0;
    header.number_at = 4;
    if (!read_number(p + 4, size - 4, header.number, header.number_length)
        || (!header.variable && header.number_length > 6))
        return false;
    size_t at = 4 + header.number_length;
    size_t used = 0;
    header.block_size = block_size_of(block_code, p + at, size - at, used);
    if (header.block_size == 0)
        return false;
    at += used;
    size_t const rate_bytes = rate_code == 12 ? 1 : (rate_code == 13 || rate_code == 14) ? 2 : 0;
    at += rate_bytes;
    if (size < at + 1 || crc8(p, at) != p[at])
        return false;
    header.length = static_cast<uint32_t>(at + 1);
    return true;
}

std::vector<uint8_t> renumber_frame(uint8_t const* bytes, size_t size, uint64_t number)
{
    FrameHeader header;
    if (!parse_frame_header(bytes, size, header) || size < header.length + 2)
        return {};
    std::vector<uint8_t> out(bytes, bytes + header.number_at);
    std::vector<uint8_t> const coded = write_number(number);
    out.insert(out.end(), coded.begin(), coded.end());
    size_t const rest = header.number_at + header.number_length;
    out.insert(out.end(), bytes + rest, bytes + header.length - 1);
    out.push_back(crc8(out.data(), out.size()));
    out.insert(out.end(), bytes + header.length, bytes + size - 2);
    uint16_t const crc = crc16(out.data(), out.size());
    out.push_back(static_cast<uint8_t>(crc >> 8));
    out.push_back(static_cast<uint8_t>(crc));
    return out;
}

bool find_last_frame(os::InStream& in, Layout const& layout, FrameAt& frame)
{
    uint32_t const size = in.size();
    if (size <= layout.audio_start)
        return false;
    uint32_t const from = size - std::min(size - layout.audio_start, LAST_FRAME_WINDOW);
    std::vector<uint8_t> tail(size - from);
    if (!in.seek(from) || in.read(tail.data(), uint32_t(tail.size())) != tail.size())
        return false;
    // Where frames may end: the end of the file, or the start of a frame cut short after them.
    std::vector<size_t> ends { tail.size() };
    for (size_t p = tail.size() - 1; p-- > 0;) {
        FrameHeader header;
        if (!parse_frame_header(tail.data() + p, tail.size() - p, header))
            continue;
        for (size_t end : ends) {
            if (end < p + header.length + 2)
                continue;
            uint16_t const crc = crc16(tail.data() + p, end - p - 2);
            if (crc == (tail[end - 2] << 8 | tail[end - 1])) {
                frame.offset = from + uint32_t(p);
                frame.end = from + uint32_t(end);
                frame.header = header;
                uint32_t const nominal = layout.info.max_block ? layout.info.max_block : header.block_size;
                frame.first_sample = header.variable ? header.number : header.number * nominal;
                return true;
            }
        }
        if (ends.size() < MAX_ENDS_TRIED)
            ends.insert(ends.begin(), p);
    }
    return false;
}

} // namespace audio::flac
