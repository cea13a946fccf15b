#pragma once

#include <cstdint>

namespace audio {

// An MPEG audio frame header (MPEG-1, MPEG-2 and MPEG-2.5, layers I to III) read from its 4 big-endian
// bytes: sync, version, layer, bit rate and sample rate from the standard tables, the frame's length in
// bytes and samples. Free-format frames (bit rate 0) and reserved values are not valid.
struct Mp3Header {
    enum Version { MPEG1 = 1, MPEG2 = 2, MPEG25 = 25 };

    int version = 0;
    int layer = 0;
    int kilobits_per_second = 0;
    int32_t samples_per_second = 0;
    int channels = 0;
    int padding = 0;
    uint32_t frame_length = 0;
    int samples_per_frame = 0;

    // False when the bytes are not a valid header.
    static bool parse(uint8_t const* bytes, Mp3Header& header);
    // Same version, layer, channels, sample rate and samples per frame: a frame of the same stream.
    bool matches(Mp3Header const& other) const;
    // Where the Xing/Info or VBRI header of a stream's first frame starts in the frame's `size` bytes, or 0
    // when the frame holds sound. Such a frame is an encoder's note, with a bit rate of its own choosing.
    uint32_t info_at(uint8_t const* frame, uint32_t size) const;
};

} // namespace audio
