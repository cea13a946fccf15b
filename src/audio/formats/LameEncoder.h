#pragma once

#include <cstdint>

namespace audio {

// The LAME MP3 encoder as the recorder sets it up: input rate, channels and a constant bit rate, every
// other parameter at the library's default.
//
// Threads: one thread at a time.
class LameEncoder {
public:
    LameEncoder() = default;
    ~LameEncoder();
    LameEncoder(LameEncoder const&) = delete;
    LameEncoder& operator=(LameEncoder const&) = delete;

    bool open(int32_t samples_per_second, int32_t channels, int32_t kilobits_per_second);
    void close();
    bool is_open() const { return state_ != nullptr; }
    // Samples per channel in one MPEG frame: 1152 at 44100 Hz, 576 at 22050 Hz.
    int32_t frame_size() const;
    // Codes `samples` samples per channel; answers the bytes put in `out`, negative on failure.
    int32_t encode(int16_t const* left, int16_t const* right, int32_t samples, uint8_t* out, int32_t capacity);
    // Codes what the encoder still holds; answers the bytes put in `out`, negative on failure.
    int32_t flush(uint8_t* out, int32_t capacity);
    // After flush: the summary frame (frame count, encoder delay and padding) that belongs in place of
    // the first frame the encoder gave out, which it left empty for it; 0 bytes when it has none.
    int32_t summary_frame(uint8_t* out, int32_t capacity);

private:
    void* state_ = nullptr;
};

} // namespace audio
