#pragma once

#include "FileWriter.h"
#include "FlacCodec.h"
#include "FlacStream.h"
#include "VorbisComment.h"

#include <audio/AudioConsumer.h>
#include <memory>
#include <optional>
#include <os/File.h>
#include <vector>

namespace audio {

// The "FLAC" writer: libFLAC's frames go to the file once per buffer it is given (so at least every 0.2 s
// while a recording runs), in one write. A new file
// gets its stream information, comments, picture and some padding at once, and its final length and
// checksum at the end. A continued file stays one stream: its last (short) frame is taken off and coded
// again in front of the new audio, the new frames carry on its numbering, and its stream information says
// "length unknown" while the recording runs and the new length at the end (its checksum: not computed).
// The first failed write makes it not good: the file is cut back to its last whole frame, its stream
// information says what that holds, and later buffers are dropped. A new file that got no audio is not
// kept.
//
// Threads: made and destroyed on the main thread; on_data on the drain thread under the consumer lock;
// the status on the main thread under the same lock.
class FlacWriter final : public FileWriter,
                         public AudioConsumer,
                         private WriterStatus,
                         private RateInfo,
                         private FlacEncoder::Output {
public:
    // A new file holds `channels` at `rate` in `bits`; a continued one keeps its own.
    FlacWriter(core::StringView path, int32_t channels, int32_t bits, int32_t rate, bool append,
        RecordingTags const& tags = {});
    // Codes the last frame and brings the stream information up to date.
    ~FlacWriter() override;

    RateInfo& rate_info() override { return *this; }
    AudioConsumer& input() override { return *this; }
    WriterStatus& status() override { return *this; }
    core::StringView format_name() const override { return u"FLAC"; }

    void on_data(AudioBuffer const& buffer) override;

private:
    struct Continuation {
        flac::Layout layout;
        uint64_t first_number = 0; // of the first new frame: a frame or a sample number
        bool variable = false;
        uint64_t samples_before = 0;
        uint32_t min_frame = 0;
        uint32_t max_frame = 0;
    };

    bool is_good() override;
    uint32_t bytes_written() override;
    int32_t bit_rate() override;

    bool write(uint8_t const* bytes, size_t size, uint32_t samples, uint32_t frame) override;
    bool can_seek() const override { return !continuation_; }
    bool seek(uint64_t position) override;
    bool tell(uint64_t& position) override;

    // Takes the old stream's last frame off; answers its samples, to be coded first.
    bool prepare_continuation(std::vector<int32_t>& tail);
    // The frame the encoder has finished joins the whole frames staged; continuing, renumbered.
    bool end_frame();
    // The whole frames staged, to the file in one write; on a failure the file is cut back to its last
    // whole frame.
    bool flush();
    bool put(uint8_t const* bytes, size_t size);
    // The stream information at the end: the length written, and what the old stream said where known.
    void write_stream_info(flac::StreamInfo info);

    core::String const path_;
    bool const append_;
    uint32_t channels_;
    uint32_t bits_;
    uint32_t const rate_;
    std::unique_ptr<os::File> file_;
    FlacEncoder encoder_;
    std::optional<Continuation> continuation_;
    std::vector<uint8_t> frame_; // continuing: the bytes of the frame being coded
    std::optional<uint32_t> frame_number_; // of the encoder's frame being written
    uint32_t frame_samples_ = 0;
    std::vector<uint8_t> staged_; // whole frames, then (not continuing) the start of the frame being coded
    size_t whole_ = 0; // bytes of whole frames in staged_
    uint64_t whole_samples_ = 0; // their sample frames
    uint32_t end_ = 0; // of what is in the file
    // Where the file stands after this writer's own writes and seeks: the library asks at every frame.
    std::optional<uint32_t> at_;
    uint64_t samples_written_ = 0; // in whole frames in the file, the new ones
    uint32_t min_frame_ = 0;
    uint32_t max_frame_ = 0;
    std::vector<int32_t> samples_;
    uint64_t samples_in_ = 0; // sample frames given to the encoder
    bool good_ = false; // the file and the encoder were set up
    bool failed_ = false; // a write failed
};

} // namespace audio
