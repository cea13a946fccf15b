#pragma once

#include "Reader.h"

#include <audio/formats/WaveFileWriter.h>
#include <audio/formats/WaveHeader.h>
#include <memory>

namespace audio {

// The PCM, ADPCM and GSM WAV readers: a file whose header reads and passes the coding's checks. PCM data
// comes out as it is; ADPCM and GSM data in whole coded blocks, which the coding's decoder filter turns
// into 16-bit PCM. Positions are bytes from the start of the data, always on a block boundary.
//
// A header that claims more data than the file holds is taken at the file's word: the reader plays what
// is there.
//
// Threads: as Reader.
class WaveFileReader final : public Reader {
public:
    WaveFileReader(std::unique_ptr<os::InStream> in, WaveCoding coding);

    // PCM: up to `frames` frames, fewer at the end; a short read makes the reader not valid. ADPCM and
    // GSM: the whole blocks that hold about `frames` frames, at least one.
    AudioBuffer get_data(int32_t frames) override;

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

    WaveHeader header();
    // Sample frames in one block: 1 for PCM.
    int32_t frames_per_block();

protected:
    int64_t frames_in(AudioBuffer const& buffer) override;

private:
    bool open();

    WaveCoding const coding_;
    WaveHeader header_;
    uint32_t frames_per_block_ = 1;
    uint32_t position_ = 0;
};

} // namespace audio
