#pragma once

#include "VorbisComment.h"

#include <audio/AudioConsumer.h>
#include <audio/AudioProducer.h>

#include <core/Strings.h>
#include <memory>

namespace audio {

// Answers the bit rate of what a writer puts into its file.
class RateInfo {
public:
    virtual ~RateInfo();
    // Bits per second.
    virtual int32_t bit_rate() = 0;
};

// What the Document polls while a recording runs.
//
// Threads: asked on the main thread while the drain thread writes; implementations lock.
class WriterStatus {
public:
    virtual ~WriterStatus();
    // The file is still good.
    virtual bool is_good() = 0;
    // Audio bytes written so far.
    virtual uint32_t bytes_written() = 0;
};

// One operation per reader kind. A reader wrapper calls the one of its kind (through its `accept`) with
// its producer port; a file writer answers with its typed links.
class ReaderVisitor {
public:
    virtual ~ReaderVisitor();
    virtual bool link_pcm(AudioProducer& port);
    virtual bool link_adpcm(AudioProducer& port);
    virtual bool link_gsm(AudioProducer& port);
    virtual bool link_vorbis(AudioProducer& port);
    virtual bool link_mpc(AudioProducer& port);
    virtual bool link_mp3(AudioProducer& port);
    virtual bool link_opus(AudioProducer& port);
    virtual bool link_flac(AudioProducer& port);
};

// A file writer from the writer factory. Only the link of the writer's own kind acts: it links the
// given port straight to the stage that writes the file, so coded data of that kind is copied without
// decoding and coding again, and answers true; the other links answer false.
//
// Threads: made, linked and destroyed on the main thread; its input is fed on the drain thread.
class FileWriter : public ReaderVisitor {
public:
    virtual RateInfo& rate_info() = 0;
    // The consumer to link the audio chain to.
    virtual AudioConsumer& input() = 0;
    virtual WriterStatus& status() = 0;
    virtual core::StringView format_name() const = 0;
};

// The writer for `format_name` ("PCM", "mp3", "ADPCM", "GSM", "Opus" or "FLAC"; anything else gives none).
// With `append` the existing file at `path` is continued; otherwise a new one is made. `bit_rate` (bits
// per second) is used by "mp3" and "Opus" only; `tags` go into a new Opus or FLAC file.
std::unique_ptr<FileWriter> create_writer(core::StringView path, core::StringView format_name, int32_t channels,
    int32_t bits_per_sample, int32_t samples_per_second, int32_t bit_rate, bool append, RecordingTags const& tags = {});
// Whether create_writer's appending writer for `format_name` takes the file at `path`: a file of a format
// without a writer cannot be continued, nor a WAV file of samples that capture does not give (24 bits,
// float, A-law and mu-law).
bool can_continue(core::StringView path, core::StringView format_name);

} // namespace audio
