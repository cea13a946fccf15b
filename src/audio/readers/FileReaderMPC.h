#pragma once

#include "Reader.h"

#include <memory>
#include <os/File.h>

namespace audio {

// The Musepack reader on libmpcdec, which reads the file (stream version 7 or 8, after an ID3v2 tag if
// there is one) through callbacks over the stream. Hands out one decoded frame a call as 16-bit PCM.
// Positions are sample frames.
//
// Threads: as Reader.
class FileReaderMPC final : public Reader {
public:
    explicit FileReaderMPC(std::unique_ptr<os::InStream> in);
    ~FileReaderMPC() override;

    // One frame (at most 1152 sample frames), whatever is asked; the empty buffer at the end and on a
    // decoding error.
    AudioBuffer get_data(int32_t frames) override;

    bool is_valid() override;
    bool at_end() override;
    int32_t channels() override;
    int32_t bits_per_sample() override;
    int32_t samples_per_second() override;
    int32_t bit_rate() override;
    int64_t seconds_to_units(double seconds) override;
    double units_to_seconds(int64_t units) override;
    int64_t length() override;
    int64_t position() override;
    bool seek(int64_t units) override;

private:
    struct Library;
    std::unique_ptr<os::InStream> const in_;
    std::unique_ptr<Library> library_;
    bool valid_ = false;
    int32_t channels_ = 0;
    int32_t rate_ = 0;
    int32_t bit_rate_ = 0;
    int64_t length_ = 0;
    int64_t position_ = 0;
};

} // namespace audio
