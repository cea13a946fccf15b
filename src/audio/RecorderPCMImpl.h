#pragma once

#include "AudioFormat.h"
#include "WaveIn.h"

#include <array>
#include <core/CriticalSection.h>
#include <core/Log.h>
#include <core/Thread.h>
#include <functional>
#include <memory>

namespace audio {

class RecorderPCM;

// The device side of capture: the wave-input handle, ten blocks of 200 ms and a worker thread that waits
// for the device to open, starts it when asked, and hands the blocks the device has filled down the
// owner's chain as the device returns them (and looks every 100 ms). A fast device's blocks are taken
// only when the chain has room.
//
// Threads: construction, start, pause, the queries and destruction on the main thread; the worker
// collects and delivers. Both under the lock; delivery runs on the worker inside it, the wait for room
// outside it.
class RecorderPCMImpl final : public core::Thread {
public:
    static constexpr int BUFFER_COUNT = 10;
    static constexpr int BLOCK_MILLISECONDS = 200;
    static constexpr uint32_t POLL_MILLISECONDS = 100;

    enum State { OPENING = 0, OPEN = 1, CAPTURING = 2, FINISHED = 3 };

    // The PCM format the device is opened in.
    static platform::WaveFormat device_format(int32_t channels, int32_t samples_per_second, int32_t bits_per_sample);

    RecorderPCMImpl(int32_t channels, int32_t samples_per_second, int32_t bits_per_sample, RecorderPCM& owner,
        WaveIn& device, int device_id = platform::WAVE_MAPPER);
    ~RecorderPCMImpl() override;

    // Asks the worker to start capture; answers whether the device is open.
    bool start();
    // Stops the device; answers whether it is stopped afterwards.
    bool pause();
    // Stops the device and waits (up to `milliseconds`) until the worker has handed down the chain every
    // block the device returned, the one it was filling included; answers whether it did.
    bool finish(uint32_t milliseconds);
    void set_room_wait(std::function<bool(uint32_t)> wait);
    bool is_stopped();
    bool is_running();
    AudioFormat format();
    int32_t block_size();
    core::CriticalSection& lock() { return lock_; }

private:
    void run() override;
    // Ends the worker's wait for the device.
    void wake();
    // Takes every message the worker has; answers whether the device's open was among them.
    bool take_messages();
    void start_device();
    void collect();
    uint32_t queue_block(platform::WaveBlock& block, core::LogStream& log);

    RecorderPCM& owner_;
    WaveIn& device_;
    core::CriticalSection lock_;
    platform::WaveHandle handle_ = 0;
    AudioFormat const format_;
    platform::WaveFormat wave_format_;
    int32_t block_size_ = 0;
    int next_index_ = 0;
    std::array<platform::WaveBlock, BUFFER_COUNT> blocks_;
    std::array<std::unique_ptr<uint8_t[]>, BUFFER_COUNT> data_;
    bool stopped_ = false;
    bool fast_ = false; // the device fills blocks as fast as they are queued
    std::function<bool(uint32_t)> room_wait_;
    bool start_requested_ = false;
    State state_ = OPENING;
};

} // namespace audio
