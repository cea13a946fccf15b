#pragma once

#include "Mp3Header.h"
#include "Reader.h"

#include <array>
#include <memory>

namespace audio {

// The MP3 reader: finds the first frame (a valid header confirmed by a matching one exactly a frame
// later, which skips ID3 tags and other leading data), estimates the average bit rate from up to 20
// frames spread over the file, and hands out whole frames of the stream for the decoder filter. Positions
// are bytes of the file.
//
// The input buffer holds 10000 bytes and is refilled when fewer than 2000 are left unread, or sooner when
// a frame longer than what is left has to be taken whole.
//
// Threads: as Reader.
class FileReaderMP3 final : public Reader {
public:
    static constexpr uint32_t BUFFER_SIZE = 10000;
    static constexpr uint32_t REFILL_AT = 8000;
    static constexpr int MAX_SAMPLE_POINTS = 20;
    static constexpr uint32_t BYTES_PER_SAMPLE_POINT = 100000;

    explicit FileReaderMP3(std::unique_ptr<os::InStream> in);

    // The whole frames, at least one, that hold about `frames` sample frames; the empty buffer at the
    // end or after a read error. A frame that does not follow its predecessor is found again by its
    // header, confirmed by the next one.
    AudioBuffer get_data(int32_t frames) override;

    bool at_end() override;
    int32_t channels() override;
    int32_t samples_per_second() override;
    int32_t bit_rate() override;
    int64_t seconds_to_units(double seconds) override;
    double units_to_seconds(int64_t units) override;
    int64_t length() override;
    int64_t position() override;
    bool seek(int64_t units) override;

    // The first frame's header and where it starts in the file.
    Mp3Header first_header();
    uint32_t first_frame_offset();

protected:
    int64_t frames_in(AudioBuffer const& buffer) override;

private:
    bool read_more();
    bool ensure(uint32_t count);
    void move_to(uint32_t position);
    uint32_t file_position() const { return buffer_start_ + read_position_; }
    // From the read position on, byte by byte, the first header that is valid (and of this stream, once
    // there is one) and, when `confirm`, followed a frame later by a matching one. Leaves the read
    // position on it.
    bool find_frame(bool confirm, Mp3Header& found);
    bool confirmed(Mp3Header const& header);
    // The frame at the read position when it continues the stream, else the next one found again.
    bool next_frame(Mp3Header& header);
    // `first_kilobits` is the first sound frame's rate, which counts as one sample point.
    int average_bit_rate(int first_kilobits);

    uint32_t file_size_ = 0;
    std::array<uint8_t, BUFFER_SIZE> buffer_ {};
    uint32_t fill_ = 0;
    uint32_t read_position_ = 0;
    uint32_t buffer_start_ = 0; // the file offset of buffer_[0]
    bool exhausted_ = false; // no frame after the position
    Mp3Header first_;
    uint32_t first_offset_ = 0;
    int kilobits_per_second_ = 0;
};

} // namespace audio
