#pragma once

#include <cstdint>

namespace audio {

// libgsm's GSM 06.10 coder in the WAV49 packing: 320 samples (two 160-sample frames) in 65 bytes.
// Coding carries state from one block to the next.
//
// Threads: one thread at a time.
class GsmCodec {
public:
    static constexpr int SAMPLES_PER_BLOCK = 320;
    static constexpr int BYTES_PER_BLOCK = 65;

    GsmCodec();
    ~GsmCodec();
    GsmCodec(GsmCodec const&) = delete;
    GsmCodec& operator=(GsmCodec const&) = delete;

    bool is_open() const { return state_ != nullptr; }
    void encode(int16_t const* samples, uint8_t* block);
    // False when the block is not valid GSM.
    bool decode(uint8_t const* block, int16_t* samples);

private:
    void* state_ = nullptr;
};

} // namespace audio
