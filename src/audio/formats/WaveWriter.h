#pragma once

#include "BlockEncoder.h"
#include "FileWriter.h"
#include "WaveFileWriter.h"

namespace audio {

// The "PCM", "ADPCM" and "GSM" writers: a WAV file writer, behind the coding's encoder for ADPCM and GSM.
// A continued ADPCM file is coded with its own block size.
//
// Threads: as FileWriter.
class WaveWriter final : public FileWriter {
public:
    WaveWriter(core::StringView path, WaveCoding coding, bool append, AudioFormat const& capture = {});
    // The encoder goes first, the file writer (which writes the final header) last.
    ~WaveWriter() override;

    RateInfo& rate_info() override { return *file_writer_; }
    AudioConsumer& input() override;
    WriterStatus& status() override { return *file_writer_; }
    core::StringView format_name() const override;

    bool link_pcm(AudioProducer& port) override { return link(WaveCoding::PCM, port); }
    bool link_adpcm(AudioProducer& port) override { return link(WaveCoding::ADPCM, port); }
    bool link_gsm(AudioProducer& port) override { return link(WaveCoding::GSM, port); }

private:
    bool link(WaveCoding kind, AudioProducer& port);

    WaveCoding const coding_;
    std::unique_ptr<WaveFileWriter> file_writer_;
    std::unique_ptr<BlockEncoder> encoder_;
};

} // namespace audio
