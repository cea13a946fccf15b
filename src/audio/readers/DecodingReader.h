#pragma once

#include "Reader.h"

namespace audio {

// Base of the readers whose library decodes the file itself (Vorbis, Musepack): 16-bit PCM in the
// stream's channels and rate, positions in sample frames.
//
// Threads: as Reader.
class DecodingReader : public Reader {
public:
    int32_t channels() override;
    int32_t samples_per_second() override;
    int64_t seconds_to_units(double seconds) override;
    double units_to_seconds(int64_t units) override;

protected:
    using Reader::Reader;

    // Under the lock; set once the stream is open.
    int32_t channels_ = 0;
    int32_t rate_ = 0;
};

} // namespace audio
