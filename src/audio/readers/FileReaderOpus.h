#pragma once

#include "DecodingReader.h"

#include <memory>

namespace audio {

// The Ogg Opus reader on libopusfile, which reads the file through callbacks over the stream. Hands out
// 16-bit PCM at 48 kHz, mono when every link of the file is mono and stereo otherwise (more channels are
// mixed down by the library), at most 120 ms a call. Positions are sample frames.
//
// Threads: as Reader.
class FileReaderOpus final : public DecodingReader {
public:
    explicit FileReaderOpus(std::unique_ptr<os::InStream> in);
    ~FileReaderOpus() override;

    // One read of the decoder; the empty buffer at the end and on an error that cannot be read past.
    AudioBuffer get_data(int32_t frames) override;

    int32_t bit_rate() override;

private:
    int64_t tell_locked() override;
    bool seek_locked(int64_t frame) override;

    struct Library;
    std::unique_ptr<Library> library_;
};

} // namespace audio
