#pragma once

#include "FileWriter.h"
#include "FileWriterMP3.h"
#include "Mp3Encoder.h"

namespace audio {

// The "mp3" writer: the MP3 encoder filter linked to FileWriterMP3.
//
// Threads: as FileWriter.
class Mp3Writer final : public FileWriter, private RateInfo {
public:
    Mp3Writer(core::StringView path, int32_t bit_rate, bool append);
    // The encoder goes first, so the bytes it flushes reach the file before it is closed.
    ~Mp3Writer() override;

    RateInfo& rate_info() override { return *this; }
    AudioConsumer& input() override { return *encoder_; }
    WriterStatus& status() override { return file_writer_->status(); }
    core::StringView format_name() const override { return u"mp3"; }

    bool link_mp3(AudioProducer& port) override;

private:
    int32_t bit_rate() override { return encoder_->bit_rate(); }

    std::unique_ptr<FileWriterMP3> file_writer_;
    std::unique_ptr<Mp3Encoder> encoder_;
};

} // namespace audio
