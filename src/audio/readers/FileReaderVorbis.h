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

    bool at_end() override;
    int32_t bit_rate() override;
    int64_t length() override;
    int64_t position() override;
    bool seek(int64_t units) override;

private:
    struct Tremor;
    std::unique_ptr<Tremor> tremor_;
    int64_t total_ = 0;
};

} // namespace audio
