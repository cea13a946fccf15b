#pragma once

#include <cstdint>

namespace audio {

// What a reader's status answers: whether its file reads without error, and how much of it was read.
class ReaderStatus {
public:
    virtual ~ReaderStatus();
    virtual bool is_good() = 0;
    virtual uint64_t bytes_read() = 0;
};

// The information side of every reader: its format, its length and position in its own units (bytes of
// the coded data for WAV and MP3 files, sample frames for Vorbis and Musepack), seeking, and pushing its
// data down a link.
//
// Threads: the queries and seeks on the main thread while get_data runs on the player thread; every
// operation takes the reader's lock.
class ReaderInfo {
public:
    virtual ~ReaderInfo();

    // The file opened and its header or first frame was understood.
    virtual bool is_valid() = 0;
    // The position is at or past the length; a reader that is not valid is always at its end.
    virtual bool at_end() = 0;
    virtual int32_t channels() = 0;
    // 16 for all decoders.
    virtual int32_t bits_per_sample() = 0;
    virtual int32_t samples_per_second() = 0;
    // Bits per second.
    virtual int32_t bit_rate() = 0;
    virtual int64_t seconds_to_units(double seconds) = 0;
    virtual double units_to_seconds(int64_t units) = 0;

    // Shared by all readers.
    double duration();
    double position_seconds();
    bool seek_seconds(double seconds);

    virtual int64_t length() = 0;
    virtual int64_t position() = 0;
    // Clamped to the data.
    virtual bool seek(int64_t units) = 0;
    // Pulls `frames` frames and pushes them to the consumer linked to the reader, in pieces of at most
    // 5000 frames; answers whether all were delivered.
    virtual bool render(int32_t frames) = 0;
    virtual ReaderStatus& status() = 0;
};

} // namespace audio
