#pragma once

#include "Reader.h"

#include <memory>
#include <os/File.h>

namespace audio {

// The Ogg Vorbis reader on Tremor, which reads the file through callbacks over the stream. Hands out
// 16-bit PCM in the channels and rate of the stream's current link, at most 8192 frames a call. Positions
// are sample frames.
//
// Threads: as Reader.
class FileReaderVorbis final : public Reader {
public:
    static constexpr int32_t MAX_FRAMES = 8192;

    explicit FileReaderVorbis(std::unique_ptr<os::InStream> in);
    ~FileReaderVorbis() override;

    // One read of the decoder; the empty buffer at the end and on a decoding error.
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
    struct Tremor;
    std::unique_ptr<os::InStream> const in_;
    std::unique_ptr<Tremor> tremor_;
    bool valid_ = false;
    int32_t channels_ = 0;
    int32_t rate_ = 0;
    int64_t total_ = 0;
};

} // namespace audio
