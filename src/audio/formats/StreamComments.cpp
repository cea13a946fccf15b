#include "StreamComments.h"

#include "FlacStream.h"
#include "OggPage.h"

#include <cstring>

namespace audio {

namespace {

constexpr char OPUS_TAGS[] = "OpusTags";
constexpr size_t OPUS_TAGS_SIZE = 8;
constexpr char VORBIS_TAGS[] = "\x03vorbis";
constexpr size_t VORBIS_TAGS_SIZE = 7;

bool starts_with(std::vector<uint8_t> const& packet, char const* magic, size_t size)
{
    return packet.size() >= size && std::memcmp(packet.data(), magic, size) == 0;
}

// The comment block of a FLAC file and the padding right after it, which a longer block may take.
struct FlacComments {
    flac::Block block;
    uint32_t room_end = 0;
    bool room_is_last = false;
    VorbisComment comments;
};

bool read_flac_comments(os::InStream& in, FlacComments& out)
{
    flac::Layout layout;
    if (!layout.read(in))
        return false;
    for (size_t i = 0; i < layout.blocks.size(); ++i) {
        flac::Block const& block = layout.blocks[i];
        if (block.type != flac::VORBIS_COMMENT)
            continue;
        std::vector<uint8_t> body(block.length);
        if (!in.seek(block.offset + flac::BLOCK_HEADER_SIZE) || in.read(body.data(), block.length) != block.length
            || !out.comments.parse(body.data(), body.size()))
            return false;
        out.block = block;
        size_t last = i;
        while (last + 1 < layout.blocks.size() && layout.blocks[last + 1].type == flac::PADDING)
            ++last;
        out.room_end = layout.blocks[last].end();
        out.room_is_last = layout.blocks[last].last;
        return true;
    }
    return false;
}

void put_block_header(std::vector<uint8_t>& out, uint8_t type, bool last, size_t length)
{
    out.push_back(static_cast<uint8_t>(type | (last ? 0x80 : 0)));
    out.push_back(static_cast<uint8_t>(length >> 16));
    out.push_back(static_cast<uint8_t>(length >> 8));
    out.push_back(static_cast<uint8_t>(length));
}

bool retitle_flac(os::File& file, core::StringView title)
{
    FlacComments found;
    if (!read_flac_comments(file, found))
        return false;
    found.comments.set_text("TITLE", title);
    std::vector<uint8_t> const body = found.comments.bytes();
    uint32_t const room = found.room_end - found.block.offset;
    size_t const used = flac::BLOCK_HEADER_SIZE + body.size();
    // What is left over becomes padding, which needs a header of its own.
    if (used > room || (room - used > 0 && room - used < flac::BLOCK_HEADER_SIZE) || body.size() >= (1u << 24))
        return false;
    size_t const rest = room - used;
    std::vector<uint8_t> region;
    put_block_header(region, flac::VORBIS_COMMENT, found.room_is_last && rest == 0, body.size());
    region.insert(region.end(), body.begin(), body.end());
    if (rest > 0) {
        put_block_header(region, flac::PADDING, found.room_is_last, rest - flac::BLOCK_HEADER_SIZE);
        region.resize(room, 0);
    }
    return file.seek(found.block.offset) && file.write(region.data(), room) == room;
}

bool retitle_opus(os::File& file, core::StringView title)
{
    OggHeaders headers;
    if (!headers.read(file, 2) || !starts_with(headers.packets[1], OPUS_TAGS, OPUS_TAGS_SIZE))
        return false;
    std::vector<uint8_t> const& old = headers.packets[1];
    VorbisComment comments;
    size_t used = 0;
    if (!comments.parse(old.data() + OPUS_TAGS_SIZE, old.size() - OPUS_TAGS_SIZE, &used))
        return false;
    size_t const extra = old.size() - OPUS_TAGS_SIZE - used;
    // Data after the comments whose first byte has its low bit set is to be kept; otherwise it is padding.
    bool const kept = extra > 0 && (old[OPUS_TAGS_SIZE + used] & 1);
    comments.set_text("TITLE", title);
    std::vector<uint8_t> packet(OPUS_TAGS, OPUS_TAGS + OPUS_TAGS_SIZE);
    std::vector<uint8_t> const body = comments.bytes();
    packet.insert(packet.end(), body.begin(), body.end());
    if (kept)
        packet.insert(packet.end(), old.end() - long(extra), old.end());
    if (packet.size() > old.size() || (kept && packet.size() != old.size()))
        return false;
    packet.resize(old.size(), 0);
    return headers.rewrite(file, 1, packet);
}

} // namespace

bool read_stream_comments(os::InStream& in, VorbisComment& comments)
{
    OggHeaders headers;
    if (headers.read(in, 2)) {
        auto const& packet = headers.packets[1];
        if (starts_with(packet, OPUS_TAGS, OPUS_TAGS_SIZE))
            return comments.parse(packet.data() + OPUS_TAGS_SIZE, packet.size() - OPUS_TAGS_SIZE);
        if (starts_with(packet, VORBIS_TAGS, VORBIS_TAGS_SIZE))
            return comments.parse(packet.data() + VORBIS_TAGS_SIZE, packet.size() - VORBIS_TAGS_SIZE);
        return false;
    }
    FlacComments found;
    if (!read_flac_comments(in, found))
        return false;
    comments = std::move(found.comments);
    return true;
}

bool retitle_stream(os::File& file, core::StringView title)
{
    return retitle_opus(file, title) || retitle_flac(file, title);
}

} // namespace audio
