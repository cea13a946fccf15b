#pragma once

#include "DecodingReader.h"

#include <memory>

namespace audio {

// The Ogg Vorbis reader on Tremor, which reads the file through callbacks over the stream. Hands out
// 16-bit PCM in the channels and rate of the stream's current link, at most 8192 frames a call. Positions
// are sample frames.
//
// Threads: as Reader.
class FileReaderVorbis final : public DecodingReader {
public:
    static constexpr int32_t MAX_FRAMES = 8192;

    explicit FileReaderVorbis(std::unique_ptr<os::InStream> in);
    ~FileReaderVorbis() override;

    // One read of the decoder; the empty buffer at the end and on a decoding error.
    AudioBuffer get_data(int32_t frames) override;

    int32_t bit_rate() override;

private:
    int64_t tell_locked() override;
    bool seek_locked(int64_t frame) override;

    struct Tremor;
    std::unique_ptr<Tremor> tremor_;
};

} // namespace audio
