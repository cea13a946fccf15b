#pragma once

#include <array>
#include <cstdint>
#include <os/File.h>
#include <string>
#include <vector>

// The parts of a FLAC file that are read and written without the codec: its metadata blocks, its stream
// information, and the headers and checksums of its frames. Every length is checked against the bytes
// the file holds before it is used.
namespace audio::flac {

constexpr uint8_t STREAMINFO = 0;
constexpr uint8_t PADDING = 1;
constexpr uint8_t VORBIS_COMMENT = 4;
constexpr uint8_t PICTURE = 6;
constexpr uint32_t BLOCK_HEADER_SIZE = 4;
constexpr uint32_t STREAMINFO_SIZE = 34;

struct StreamInfo {
    uint32_t min_block = 0;
    uint32_t max_block = 0;
    uint32_t min_frame = 0; // 0: not known
    uint32_t max_frame = 0;
    uint32_t rate = 0;
    uint32_t channels = 0;
    uint32_t bits = 0;
    uint64_t total_samples = 0; // 0: not known
    std::array<uint8_t, 16> md5 {}; // all 0: not computed

    bool parse(uint8_t const* bytes); // STREAMINFO_SIZE bytes
    std::array<uint8_t, STREAMINFO_SIZE> bytes() const;
};

struct Block {
    uint8_t type = 0;
    bool last = false;
    uint32_t offset = 0; // of its four-byte header
    uint32_t length = 0; // of its body
    uint32_t end() const { return offset + BLOCK_HEADER_SIZE + length; }
};

// The metadata of a FLAC file (after an ID3v2 tag, when it starts with one).
struct Layout {
    uint32_t start = 0; // of "fLaC"
    std::vector<Block> blocks;
    uint32_t audio_start = 0;
    StreamInfo info;

    // False, with the reason, when the file is no FLAC file or its metadata does not hold.
    bool read(os::InStream& in, std::string* why = nullptr);
    Block const* find(uint8_t type) const;
};

struct FrameHeader {
    bool variable = false; // numbered by sample, not by frame
    uint32_t block_size = 0;
    uint64_t number = 0; // the frame's number, or its first sample's
    uint32_t length = 0; // of the header, its checksum included
    size_t number_at = 4; // where the coded number starts
    size_t number_length = 0;
};

// The frame header at `bytes`; false unless its sync code, reserved bits and checksum are right.
bool parse_frame_header(uint8_t const* bytes, size_t size, FrameHeader& header);

struct FrameAt {
    uint32_t offset = 0;
    uint32_t end = 0; // what follows a frame cut short (a full disk, a kill) is not part of it
    FrameHeader header;
    uint64_t first_sample = 0;
    uint64_t end_sample() const { return first_sample + header.block_size; }
};

// The last whole frame of the file, found from its end: a header with a good checksum followed by a frame
// whose own checksum is right. False when none is found in the last megabytes.
bool find_last_frame(os::InStream& in, Layout const& layout, FrameAt& frame);

// The frame `bytes` with another number (frame or sample number, as its header says), its two checksums
// made again.
std::vector<uint8_t> renumber_frame(uint8_t const* bytes, size_t size, uint64_t number);

uint8_t crc8(uint8_t const* bytes, size_t size);
uint16_t crc16(uint8_t const* bytes, size_t size, uint16_t crc = 0);

} // namespace audio::flac
