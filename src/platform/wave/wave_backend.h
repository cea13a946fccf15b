#pragma once

#include "wave.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// What the wave devices of wave.cpp and wave_out.cpp need from their backends. Private to the platform
// layer.
namespace platform::wave_backend {

// A backend as RAVELIN_AUDIO_IN or RAVELIN_AUDIO_OUT names it.
struct Choice {
    enum class Kind { SDL, FILE, NONE, UNKNOWN } kind = Kind::SDL;
    std::string path;
    bool fast = false;
    std::string text;
};
Choice parse_choice(std::string const& text);

// One line on standard error.
void report(std::string const& line);

// Nearest integer, halves away from zero.
inline int64_t divide_rounded(int64_t numerator, int64_t denominator)
{
    int64_t const half = denominator / 2;
    return numerator >= 0 ? (numerator + half) / denominator : -((-numerator + half) / denominator);
}

// Where a WAV file keeps its samples and in what format; every length checked against the file's size.
struct WavLayout {
    uint16_t tag = 0; // the sub-format's for WAVE_FORMAT_EXTENSIBLE
    uint16_t channels = 0;
    uint32_t rate = 0;
    uint16_t block_align = 0;
    uint16_t bits = 0;
    uint32_t channel_mask = 0; // WAVE_FORMAT_EXTENSIBLE's, else 0
    uint64_t data_offset = 0;
    uint64_t data_size = 0; // no more than the file holds
};
// False with `why` when the file is not a RIFF WAVE file with a format and a data chunk.
bool read_wav_layout(std::FILE* file, WavLayout& layout, std::string& why);

// Receives captured bytes, in the device's format, on a backend's thread.
class CaptureSink {
public:
    virtual void deliver(uint8_t const* bytes, size_t count) = 0;
    // The device went away (unplugged, its source unloaded, the sound server gone): nothing more comes.
    virtual void lost() = 0;

protected:
    ~CaptureSink() = default;
};

// A live device that captures on a thread of its own.
class LiveInput {
public:
    virtual ~LiveInput() = default;
    // Deliveries to the sink begin.
    virtual void start() = 0;
    // When this returns no delivery runs and none follows until the next start.
    virtual void stop() = 0;
};

// A recorded input that the device reads at the pace it chooses.
class RecordedInput {
public:
    virtual ~RecordedInput() = default;
    // Up to `count` bytes in the device's format; fewer only at the end of the input.
    virtual size_t read(uint8_t* out, size_t count) = 0;
    // Delivered as fast as blocks are queued rather than in real time.
    virtual bool fast() const = 0;
};

// Each answers nothing and sets `error` to one line for standard error when it cannot start.
// `device` names the capture device (empty, or a name not offered: the default).
std::unique_ptr<LiveInput> open_sdl_input(
    WaveFormat const& format, CaptureSink& sink, std::string const& device, std::string& error);
// The devices the sound system offers, by the names it gives them (a PulseAudio or PipeWire server gives
// their descriptions); capture devices include the monitors of the outputs.
std::vector<std::string> sdl_input_devices();
std::vector<std::string> sdl_output_devices();
std::unique_ptr<RecordedInput> open_file_input(
    std::string const& path, bool fast, WaveFormat const& format, std::string& error);

// Gives a live output the bytes to play, in the device's format, on the backend's thread.
class PlaybackSource {
public:
    virtual void render(uint8_t* out, size_t count) = 0;
    // The device went away: nothing more is played.
    virtual void lost() = 0;

protected:
    ~PlaybackSource() = default;
};

// A live device that plays on a thread of its own; rendering begins at construction.
class LiveOutput {
public:
    virtual ~LiveOutput() = default;
};

// `device` as for the input.
std::unique_ptr<LiveOutput> open_sdl_output(
    WaveFormat const& format, PlaybackSource& source, std::string const& device, std::string& error);

// The WAV file that a file output writes: created at the first open after the output was chosen, in
// that open's format; what later opens play in another format is converted to it. Its header is kept
// true after every write.
class OutputFile;
std::shared_ptr<OutputFile> create_output_file(std::string const& path, std::string& error);

// What one device plays, in the device's format, into an output file.
class RecordedOutput {
public:
    virtual ~RecordedOutput() = default;
    virtual void write(uint8_t const* bytes, size_t count) = 0;
};
std::unique_ptr<RecordedOutput> open_file_output(std::shared_ptr<OutputFile> file, WaveFormat const& format);

} // namespace platform::wave_backend
