#pragma once

#include "ReaderInfo.h"

#include <audio/AudioProducer.h>
#include <audio/formats/FileWriter.h>
#include <core/Strings.h>
#include <functional>
#include <memory>
#include <os/File.h>

namespace audio {

class Reader;
class AudioFilter;

enum class ReaderKind { PCM, ADPCM, GSM, VORBIS, MPC, MP3, OPUS, FLAC, IMA_ADPCM };

// What the reader factory answers: a reader, and the decoder filter that turns its data into PCM where
// one is needed (ADPCM, GSM, MP3), linked behind it.
//
// Threads: made, linked, asked and destroyed on the main thread; the source is pulled on the player
// thread.
class FileReader final {
public:
    FileReader(
        ReaderKind kind, std::unique_ptr<Reader> reader, std::unique_ptr<AudioFilter> decoder, core::String title);
    // The decoder goes first, then the reader.
    ~FileReader();
    FileReader(FileReader const&) = delete;
    FileReader& operator=(FileReader const&) = delete;

    // The producer of PCM to link to the player: the decoder filter, or the reader itself.
    AudioProducer& source();
    ReaderInfo& info();
    // "PCM", "ADPCM", "GSM", "Vorbis", "MPC", "mp3", "Opus" or "FLAC".
    core::StringView format_name() const;
    // The file's name; for an MP3 file with an ID3v1 title, that title.
    core::String const& title() const { return title_; }
    ReaderKind kind() const { return kind_; }
    // Calls the visitor's link for this reader's kind with the reader's own port (coded data as it is in
    // the file), so that a writer of the same kind can copy it; answers what the link answers.
    bool accept(ReaderVisitor& visitor);

private:
    ReaderKind const kind_;
    std::unique_ptr<Reader> reader_;
    std::unique_ptr<AudioFilter> decoder_;
    core::String const title_;
};

// Opens a fresh stream on the file each time it is called.
using StreamOpener = std::function<std::unique_ptr<os::InStream>()>;

// Tries the readers in a fixed order (PCM, ADPCM and GSM WAV, Vorbis, Opus, Musepack, FLAC, MP3) and
// answers the first that accepts the file's contents, or none; the file's name plays no part but in the
// title. MP3 comes last: its search for two frames in a row would take other files' data for them.
std::unique_ptr<FileReader> create_reader(core::StringView path);
std::unique_ptr<FileReader> create_reader(StreamOpener const& open, core::StringView path);
// As above; when no reader takes the file, says why in `why` (in one line: for a WAV file the chunk, its
// byte offset and what is wrong) and in the log.
std::unique_ptr<FileReader> create_reader(core::StringView path, core::String& why);
// Why no reader takes the file that `open` opens.
core::String refusal(StreamOpener const& open);

} // namespace audio
