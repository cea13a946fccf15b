#include "OggPage.h"

#include <array>
#include <cstring>
#include <platform/riff.h>

namespace audio {

namespace {

constexpr std::array<uint32_t, 256> make_crc_table()
{
    std::array<uint32_t, 256> table {};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t r = i << 24;
        for (int bit = 0; bit < 8; ++bit)
            r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
        table[i] = r;
    }
    return table;
}

constexpr auto CRC_TABLE = make_crc_table();

constexpr size_t CRC_AT = 22;

void put_u64(uint8_t* p, uint64_t value)
{
    platform::riff::put_u32(p, static_cast<uint32_t>(value));
    platform::riff::put_u32(p + 4, static_cast<uint32_t>(value >> 32));
}

uint64_t u64(uint8_t const* p)
{
    return platform::riff::u32(p) | uint64_t(platform::riff::u32(p + 4)) << 32;
}

bool header_fits(uint8_t const* h)
{
    return std::memcmp(h, "OggS", 4) == 0 && h[4] == 0;
}

} // namespace

uint32_t ogg_crc(uint8_t const* bytes, size_t size, uint32_t crc)
{
    for (size_t i = 0; i < size; ++i)
        crc = (crc << 8) ^ CRC_TABLE[((crc >> 24) ^ bytes[i]) & 0xFF];
    return crc;
}

std::vector<uint8_t> OggPage::bytes() const
{
    std::vector<uint8_t> out(HEADER_SIZE);
    std::memcpy(out.data(), "OggS", 4);
    out[4] = 0;
    out[5] = flags;
    put_u64(out.data() + 6, static_cast<uint64_t>(granule));
    platform::riff::put_u32(out.data() + 14, serial);
    platform::riff::put_u32(out.data() + 18, sequence);
    out[26] = static_cast<uint8_t>(lacing.size());
    out.insert(out.end(), lacing.begin(), lacing.end());
    out.insert(out.end(), body.begin(), body.end());
    platform::riff::put_u32(out.data() + CRC_AT, ogg_crc(out.data(), out.size()));
    return out;
}

size_t OggPage::parse(uint8_t const* bytes, size_t size)
{
    if (size < HEADER_SIZE || !header_fits(bytes))
        return 0;
    size_t const segments = bytes[26];
    if (size < HEADER_SIZE + segments)
        return 0;
    size_t body_size = 0;
    for (size_t i = 0; i < segments; ++i)
        body_size += bytes[HEADER_SIZE + i];
    size_t const total = HEADER_SIZE + segments + body_size;
    if (size < total)
        return 0;
    uint8_t const zero[4] = {};
    uint32_t crc = ogg_crc(bytes, CRC_AT);
    crc = ogg_crc(zero, 4, crc);
    crc = ogg_crc(bytes + CRC_AT + 4, total - CRC_AT - 4, crc);
    if (crc != platform::riff::u32(bytes + CRC_AT))
        return 0;
    flags = bytes[5];
    granule = static_cast<int64_t>(u64(bytes + 6));
    serial = platform::riff::u32(bytes + 14);
    sequence = platform::riff::u32(bytes + 18);
    lacing.assign(bytes + HEADER_SIZE, bytes + HEADER_SIZE + segments);
    body.assign(bytes + HEADER_SIZE + segments, bytes + total);
    return total;
}

bool OggPage::read(os::InStream& in)
{
    uint32_t const start = in.tell();
    uint8_t header[HEADER_SIZE + 255];
    if (in.read(header, HEADER_SIZE) != HEADER_SIZE || !header_fits(header))
        return false;
    uint32_t const segments = header[26];
    if (in.read(header + HEADER_SIZE, segments) != segments)
        return false;
    uint32_t body_size = 0;
    for (uint32_t i = 0; i < segments; ++i)
        body_size += header[HEADER_SIZE + i];
    // The body must be there before anything is allocated for it.
    if (in.size() - in.tell() < body_size)
        return false;
    std::vector<uint8_t> whole(HEADER_SIZE + segments + body_size);
    std::memcpy(whole.data(), header, HEADER_SIZE + segments);
    if (in.read(whole.data() + HEADER_SIZE + segments, body_size) != body_size)
        return false;
    if (parse(whole.data(), whole.size()) != whole.size()) {
        in.seek(start);
        return false;
    }
    return true;
}

bool OggHeaders::read(os::InStream& in, size_t count)
{
    *this = {};
    if (!in.seek(0))
        return false;
    bool first = true;
    size_t total = 0;
    std::vector<uint8_t> packet;
    std::vector<Piece> packet_pieces;
    while (packets.size() < count) {
        uint32_t const offset = in.tell();
        OggPage page;
        if (!page.read(in))
            return false;
        if (first) {
            if (!(page.flags & OggPage::FIRST))
                return false;
            serial = page.serial;
            first = false;
        } else if (page.serial != serial) {
            continue;
        }
        size_t const index = pages.size();
        size_t at = 0;
        for (size_t i = 0; i < page.lacing.size() && packets.size() < count; ++i) {
            size_t const length = page.lacing[i];
            total += length;
            if (total > MAX_BYTES)
                return false;
            if (length > 0) {
                packet.insert(packet.end(), page.body.begin() + long(at), page.body.begin() + long(at + length));
                packet_pieces.push_back({ index, at, length });
            }
            at += length;
            if (length < 255) {
                packets.push_back(std::move(packet));
                pieces.push_back(std::move(packet_pieces));
                packet.clear();
                packet_pieces.clear();
            }
        }
        pages.push_back(std::move(page));
        offsets.push_back(offset);
        end = in.tell();
    }
    return true;
}

bool OggHeaders::rewrite(os::File& file, size_t index, std::vector<uint8_t> const& packet)
{
    if (index >= packets.size() || packet.size() != packets[index].size())
        return false;
    size_t from = 0;
    std::vector<size_t> touched;
    for (auto const& piece : pieces[index]) {
        std::memcpy(pages[piece.page].body.data() + piece.offset, packet.data() + from, piece.length);
        from += piece.length;
        if (touched.empty() || touched.back() != piece.page)
            touched.push_back(piece.page);
    }
    for (size_t page : touched) {
        std::vector<uint8_t> const bytes = pages[page].bytes();
        if (!file.seek(offsets[page]) || file.write(bytes.data(), uint32_t(bytes.size())) != bytes.size())
            return false;
    }
    packets[index] = packet;
    return true;
}

} // namespace audio
