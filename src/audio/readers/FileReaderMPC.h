#pragma once

#include "DecodingReader.h"

#include <memory>

namespace audio {

// The Musepack reader on libmpcdec, which reads the file (stream version 7 or 8, after an ID3v2 tag if
// there is one) through callbacks over the stream. Hands out one decoded frame a call as 16-bit PCM.
// Positions are sample frames.
//
// Threads: as Reader.
class FileReaderMPC final : public DecodingReader {
public:
    explicit FileReaderMPC(std::unique_ptr<os::InStream> in);
    ~FileReaderMPC() override;

    // One frame (at most 1152 sample frames), whatever is asked; the empty buffer at the end and on a
    // decoding error.
    AudioBuffer get_data(int32_t frames) override;

    int32_t bit_rate() override;

private:
    int64_t tell_locked() override { return position_; }
    bool seek_locked(int64_t frame) override;

    struct Library;
    std::unique_ptr<Library> library_;
    int32_t bit_rate_ = 0;
    int64_t position_ = 0;
};

} // namespace audio
