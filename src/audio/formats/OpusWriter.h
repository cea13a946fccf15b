#pragma once

#include "FileWriter.h"
#include "OggOpusEncoder.h"
#include "VorbisComment.h"

#include <audio/AudioConsumer.h>
#include <memory>
#include <optional>
#include <os/File.h>
#include <vector>

namespace audio {

// The "Opus" writer: speech coded by libopusenc into an Ogg Opus file whose pages go to the file as the
// encoder hands them out (at least once a second). A new file gets its header and comments at once. A
// continued file stays one logical stream: its last page is taken off and its audio coded again in front
// of the new audio, the new pages carry on its serial number, page numbers and granule positions, and the
// last of them ends the stream. The first failed write makes it not good: the file is cut back to its last
// whole page and later buffers are dropped. A new file that got no audio is not kept.
//
// Threads: made and destroyed on the main thread; on_data on the drain thread under the consumer lock;
// the status on the main thread under the same lock.
class OpusWriter final : public FileWriter, public AudioConsumer, private WriterStatus, private RateInfo {
public:
    // A new file is coded from `channels` at `rate`; a continued one in its own channels, from 48 kHz.
    OpusWriter(core::StringView path, int32_t channels, int32_t rate, int32_t bit_rate, bool append,
        RecordingTags const& tags = {});
    // Codes what the encoder holds and ends the stream.
    ~OpusWriter() override;

    RateInfo& rate_info() override { return *this; }
    AudioConsumer& input() override { return *this; }
    WriterStatus& status() override { return *this; }
    core::StringView format_name() const override { return u"Opus"; }

    void on_data(AudioBuffer const& buffer) override;

private:
    struct Continuation {
        uint32_t serial = 0;
        uint32_t next_sequence = 0;
        int64_t granule_base = 0;
        int header_packets = 2; // of the encoder's own stream, left out
    };

    bool is_good() override;
    uint32_t bytes_written() override;
    int32_t bit_rate() override { return bit_rate_; }

    // Takes the old stream's last page off; answers its audio, to be coded first.
    bool prepare_continuation(std::vector<int16_t>& tail);
    bool take_pages(uint8_t const* bytes, size_t size);
    bool write(uint8_t const* bytes, size_t size);
    bool encode(int16_t const* samples, size_t frames);

    core::String const path_;
    bool const append_;
    int32_t const bit_rate_;
    int32_t channels_;
    int32_t const rate_;
    std::unique_ptr<os::File> file_;
    OggOpusEncoder encoder_;
    std::optional<Continuation> continuation_;
    std::vector<uint8_t> pending_; // the encoder's bytes not yet a whole page, when continuing
    std::vector<int16_t> samples_;
    uint64_t samples_in_ = 0; // sample frames given to the encoder
    bool good_ = false; // the file and the encoder were set up
    bool failed_ = false; // a write failed
};

} // namespace audio
