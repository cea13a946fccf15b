#pragma once

#include <cstddef>
#include <cstdint>
#include <os/File.h>
#include <vector>

namespace audio {

// One page of an Ogg stream: its header fields, its lacing values and its body. A lacing value below 255
// ends a packet; a page whose last value is 255 leaves its last packet to the next page.
//
// Threads: one thread at a time.
struct OggPage {
    static constexpr uint32_t HEADER_SIZE = 27;
    static constexpr uint8_t CONTINUED = 1;
    static constexpr uint8_t FIRST = 2;
    static constexpr uint8_t LAST = 4;
    // No packet ends on the page.
    static constexpr int64_t NO_GRANULE = -1;

    uint8_t flags = 0;
    int64_t granule = NO_GRANULE;
    uint32_t serial = 0;
    uint32_t sequence = 0;
    std::vector<uint8_t> lacing;
    std::vector<uint8_t> body;

    size_t size() const { return HEADER_SIZE + lacing.size() + body.size(); }
    bool ends_packet() const { return !lacing.empty() && lacing.back() < 255; }
    bool is_last() const { return (flags & LAST) != 0; }
    // The page as a file holds it, its checksum computed.
    std::vector<uint8_t> bytes() const;

    // The whole page at `bytes`; the bytes it takes, or 0 when they hold no whole page with a good checksum.
    size_t parse(uint8_t const* bytes, size_t size);
    // The page at the stream's position; false when none is there whole (a short header or body, another
    // capture pattern or version, a checksum that does not match).
    bool read(os::InStream& in);
};

// Ogg's CRC-32 (polynomial 0x04C11DB7, no reflection, no final inversion) of `bytes`, from `crc`.
uint32_t ogg_crc(uint8_t const* bytes, size_t size, uint32_t crc = 0);

// The first packets of the first logical stream of an Ogg file (its headers), with the pages that hold
// them and where each packet's bytes lie in those pages, so that a packet of the same length can be
// written over its old bytes.
struct OggHeaders {
    struct Piece {
        size_t page; // index into pages
        size_t offset; // into that page's body
        size_t length;
    };
    std::vector<OggPage> pages;
    std::vector<uint32_t> offsets; // of each page in the file
    std::vector<std::vector<uint8_t>> packets;
    std::vector<std::vector<Piece>> pieces; // for each packet
    uint32_t serial = 0;
    uint32_t end = 0; // the file offset after the page that ends the last packet asked for

    static constexpr size_t MAX_BYTES = 16 * 1024 * 1024;

    // Reads from the start of the stream until `count` packets of the first stream are whole; pages of
    // other streams are passed over. False when the file ends first, or the packets pass MAX_BYTES.
    bool read(os::InStream& in, size_t count);
    // Writes `packet` (as long as packet `index` was) over that packet's bytes, with the checksums of its
    // pages made again.
    bool rewrite(os::File& file, size_t index, std::vector<uint8_t> const& packet);
};

} // namespace audio
