#pragma once

#include <cstdint>
#include <memory>
#include <os/File.h>
#include <string>
#include <vector>

namespace audio {

// libFLAC's stream encoder as the recorder uses it: the metadata first (unless told otherwise), then one
// frame after another, each handed to the output as soon as it is coded.
//
// Threads: one thread at a time.
class FlacEncoder {
public:
    // Where the coded stream goes. `samples` is 0 for metadata, else the sample frames of the frame whose
    // bytes these are, numbered `frame`.
    class Output {
    public:
        virtual bool write(uint8_t const* bytes, size_t size, uint32_t samples, uint32_t frame) = 0;
        // An output that can go back gets the final stream information (length, checksum) at finish.
        virtual bool can_seek() const = 0;
        virtual bool seek(uint64_t position) = 0;
        virtual bool tell(uint64_t& position) = 0;

    protected:
        ~Output() = default;
    };

    struct Setup {
        uint32_t channels = 1;
        uint32_t bits = 16;
        uint32_t rate = 44100;
        uint32_t block_size = 0; // 0: the library's own for its default level
        bool metadata = true; // false: frames only, for a stream that has its metadata already
        std::vector<std::string> comments; // "NAME=value"
        std::vector<uint8_t> picture; // a picture block's body
        uint32_t padding = 0;
    };

    FlacEncoder();
    ~FlacEncoder();
    FlacEncoder(FlacEncoder const&) = delete;
    FlacEncoder& operator=(FlacEncoder const&) = delete;

    bool open(Setup const& setup, Output& output);
    bool is_open() const;
    // `frames` sample frames, interleaved, each sample within the stream's bits.
    bool encode(int32_t const* samples, uint32_t frames);
    // Codes what is left and closes; false when that could not be written.
    bool finish();

private:
    struct Library;
    std::unique_ptr<Library> library_;
};

// libFLAC's stream decoder over a stream: the stream information, and the frames' samples as the stream
// holds them (interleaved, at its own bits).
//
// Threads: one thread at a time.
class FlacDecoder {
public:
    explicit FlacDecoder(os::InStream& in);
    ~FlacDecoder();
    FlacDecoder(FlacDecoder const&) = delete;
    FlacDecoder& operator=(FlacDecoder const&) = delete;

    // Reads the metadata; false when the library does not take the stream.
    bool open();
    uint32_t channels() const;
    uint32_t bits() const;
    uint32_t rate() const;
    // 0 when the stream does not say.
    uint64_t total_samples() const;

    // The next frame's samples in `samples` and its first sample's number; false at the end or on an error
    // the stream cannot be read past.
    bool next(std::vector<int32_t>& samples, uint64_t& first_sample);
    // Moves to `sample`; `samples` gets the rest of the frame that holds it.
    bool seek(uint64_t sample, std::vector<int32_t>& samples);

private:
    struct Library;
    std::unique_ptr<Library> library_;
};

} // namespace audio
