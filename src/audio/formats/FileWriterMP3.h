#pragma once

#include "FileWriter.h"

#include <audio/AudioConsumer.h>
#include <memory>
#include <os/File.h>

namespace audio {

// Appends coded MP3 bytes to a file through a staging buffer of 16384 bytes, so that many small frames
// make few large writes; larger buffers are written directly. The first failed write makes it not good
// for good: later buffers are dropped and the file keeps what was written.
//
// Threads: made and destroyed on the main thread; on_data on the drain thread under the consumer lock;
// the status on the main thread under the same lock.
class FileWriterMP3 final : public AudioConsumer {
public:
    static constexpr uint32_t STAGING_SIZE = 16384;

    // With `append` the file is opened for reading and writing and written from its end (after the tag
    // the Document wrote); otherwise it is created empty.
    FileWriterMP3(core::StringView path, bool append);
    // Writes what is staged; a new file that stayed empty is deleted.
    ~FileWriterMP3() override;

    void on_data(AudioBuffer const& buffer) override;
    WriterStatus& status() { return status_; }
    // Writes `bytes` over the first coded bytes this writer put into the file, if it got that many.
    void write_over_start(std::vector<uint8_t> const& bytes);

private:
    class Status final : public WriterStatus {
    public:
        explicit Status(FileWriterMP3& owner)
            : owner_(owner)
        {
        }
        bool is_good() override;
        uint32_t bytes_written() override;

    private:
        FileWriterMP3& owner_;
    };

    bool write_staged();

    core::String const path_;
    bool const append_;
    std::unique_ptr<os::File> file_;
    bool good_ = true;
    uint32_t total_ = 0;
    uint32_t start_ = 0; // where the first coded byte went
    std::unique_ptr<uint8_t[]> staging_;
    uint32_t fill_ = 0;
    Status status_ { *this };
};

} // namespace audio
