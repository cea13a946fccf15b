#pragma once

#include <cstdint>

namespace audio {

// A PCM format. All three zero is no format, which goes with an empty buffer. Samples are 8-bit unsigned
// (silence 128) or 16-bit signed little-endian, interleaved by channel.
struct AudioFormat {
    int32_t channels = 0;
    int32_t bits_per_sample = 0;
    int32_t samples_per_second = 0;

    bool operator==(AudioFormat const&) const = default;

    bool is_none() const { return channels == 0 && bits_per_sample == 0 && samples_per_second == 0; }
    // channels x whole bytes per sample.
    int32_t frame_size() const { return channels * ((bits_per_sample + 7) / 8); }
};

} // namespace audio
