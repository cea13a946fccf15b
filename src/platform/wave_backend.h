#pragma once

#include "wave.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// What the wave devices of wave.cpp need from their backends. Private to the platform layer.
namespace platform::wave_backend {

// Receives captured bytes, in the device's format, on a backend's thread.
class CaptureSink {
public:
    virtual void deliver(uint8_t const* bytes, size_t count) = 0;

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
std::unique_ptr<LiveInput> open_sdl_input(WaveFormat const& format, CaptureSink& sink, std::string& error);
std::unique_ptr<RecordedInput> open_file_input(
    std::string const& path, bool fast, WaveFormat const& format, std::string& error);

} // namespace platform::wave_backend
