#pragma once

#include "Reader.h"

namespace audio {

// Base of the readers whose library decodes the file itself (Vorbis, Musepack, Opus, FLAC): 16-bit PCM
// in the stream's channels and rate, positions in sample frames from 0 to the stream's length.
//
// Threads: as Reader.
class DecodingReader : public Reader {
public:
    int32_t channels() override;
    int32_t samples_per_second() override;
    int64_t seconds_to_units(double seconds) override;
    double units_to_seconds(int64_t units) override;
    bool at_end() override;
    int64_t length() override;
    int64_t position() override;
    bool seek(int64_t units) override;

protected:
    using Reader::Reader;

    // Under the lock, of a valid reader: where the library stands, and a seek within the length.
    virtual int64_t tell_locked() = 0;
    virtual bool seek_locked(int64_t frame) = 0;

    // Under the lock; set once the stream is open.
    int32_t channels_ = 0;
    int32_t rate_ = 0;
    int64_t length_ = 0;
};

} // namespace audio
