#pragma once

#include "FileWriter.h"
#include "WaveHeader.h"

#include <audio/AudioFilter.h>
#include <memory>
#include <os/File.h>

namespace audio {

enum class WaveCoding { PCM, ADPCM, GSM, IMA_ADPCM }; // IMA ADPCM is read only

// Writes the buffers it is given into a WAV file of one coding and passes them on unchanged. A new file
// is created on the first buffer, in that buffer's format; buffers of another format are dropped. A
// continued file keeps its own layout: only its sizes are updated, where they stand.
//
// Threads: made and destroyed on the main thread; transform on the drain thread under the filter's
// lock; the status and rate queries on the main thread under the same lock.
class WaveFileWriter final : public AudioFilter, public WriterStatus, public RateInfo {
public:
    // `expected` is the capture format, which gives the bit rate until the first buffer fixes the file's.
    WaveFileWriter(core::StringView path, WaveCoding coding, bool append, AudioFormat const& expected = {});
    // Writes the final sizes and closes the file.
    ~WaveFileWriter() override;
    // Whether the file at `path` is one an appending writer of `coding` takes, without opening it to write.
    static bool can_continue(core::StringView path, WaveCoding coding);

    bool is_good() override;
    uint32_t bytes_written() override;
    int32_t bit_rate() override;
    // The header as it stands (a continued file's own, once read).
    WaveHeader header();

protected:
    AudioBuffer transform(AudioBuffer const& input) override;

private:
    bool open_existing();
    bool create(AudioBuffer const& first);
    bool accepts(AudioBuffer const& buffer) const;
    void write(AudioBuffer const& buffer);

    core::String const path_;
    WaveCoding const coding_;
    std::unique_ptr<os::File> file_;
    WaveHeader header_;
    bool good_ = false;
    bool continued_ = false;
    uint32_t frames_ = 0;
};

} // namespace audio
