#pragma once

#include "DecodingReader.h"

#include <memory>
#include <vector>

namespace audio {

class FlacDecoder;

// The FLAC reader on libFLAC (after an ID3v2 tag, when the file starts with one). Hands out 16-bit PCM
// in the stream's channels and rate, one frame at most a call. A stream that does not tell its length (a
// recording cut off before it ended) is measured to its last whole frame. Positions are sample frames.
//
// Threads: as Reader.
class FileReaderFLAC final : public DecodingReader {
public:
    explicit FileReaderFLAC(std::unique_ptr<os::InStream> in);
    ~FileReaderFLAC() override;

    // At most `frames` of the current frame; the empty buffer at the end and on an error that cannot be
    // read past.
    AudioBuffer get_data(int32_t frames) override;

    int32_t bit_rate() override;

private:
    int64_t tell_locked() override { return position_; }
    bool seek_locked(int64_t frame) override;

    std::unique_ptr<FlacDecoder> decoder_;
    uint32_t bits_ = 16;
    std::vector<int32_t> pending_; // decoded, not handed out yet
    size_t pending_at_ = 0; // in samples
    int64_t position_ = 0;
};

} // namespace audio
