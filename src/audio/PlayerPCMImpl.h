#pragma once

#include "AudioBuffer.h"
#include "PlayerPCM.h"
#include "WaveOut.h"

#include <array>
#include <core/Event.h>
#include <core/Thread.h>
#include <functional>
#include <memory>

namespace audio {

class PlayerPCM;

// The device side of playback: the wave-output handle, six blocks of 200 ms, the data pulled and not yet
// played, and the player thread, which takes the commands and the device's messages from its own queue,
// in the order they were posted.
//
// States: 0 idle (device closed), 1 playing (blocks are refilled), 2 draining (no refills; the device is
// closed once every block is back). A format change drains and closes the device; the command the close
// posts opens it again in the new format, with the pending data kept.
//
// Threads: the commands, the volume and the queries on the main thread; messages and pulls on the player
// thread. Everything under the owner's consumer lock, so pulls from the producer run inside it.
class PlayerPCMImpl final : public core::Thread {
public:
    static constexpr int BUFFER_COUNT = 6;
    static constexpr int BLOCK_MILLISECONDS = 200;
    static constexpr int32_t PULL_FRAMES = 16384;

    enum State { IDLE = 0, PLAYING = 1, DRAINING = 2 };

    PlayerPCMImpl(PlayerPCM& owner, WaveOut& device);
    // Stops the thread, which resets and closes an open device.
    ~PlayerPCMImpl() override;

    bool play();
    bool stop();
    bool pause();
    bool is_finished();
    OutputRefusal refusal();
    void set_volume(double volume);
    double volume();
    double level(int channel);
    double queued_seconds();
    void seek(std::function<void()> const& reposition);

private:
    void run() override;
    bool post_command();

    void on_command();
    void on_open(platform::WaveHandle handle);
    void on_done(platform::WaveHandle handle, platform::WaveBlock* block);
    void on_close(platform::WaveHandle handle);
    // After the device opened or gave a block back: refill while playing, close once drained.
    void continue_playing();

    void open_device();
    // Fills and writes every free block; false when the stream ended or changed format on the way.
    bool fill();
    void close_cleanup();
    // Resets, releases and closes a device that is still open; its late messages are then ignored.
    void release_device();
    // Returns every block the device holds; what it had played is forgotten with them.
    void reset_device();
    double held_seconds();
    void compute_levels(platform::WaveBlock const& block);
    AudioBuffer pull();
    bool any_in_use() const;
    uint32_t device_volume() const;

    PlayerPCM& owner_;
    WaveOut& device_;
    core::Event ready_ { core::EventReset::MANUAL };

    platform::WaveHandle handle_ = 0;
    std::array<platform::WaveBlock, BUFFER_COUNT> blocks_; // user word: in use
    std::array<std::unique_ptr<uint8_t[]>, BUFFER_COUNT> data_;
    AudioFormat device_format_;
    int32_t block_size_ = 0;
    int64_t frames_pulled_ = 0; // since the device was opened
    uint64_t bytes_written_ = 0; // to the device since it was opened or last reset
    AudioBuffer pending_;
    double volume_ = 1.0;
    std::array<double, 2> levels_ { 0.0, 0.0 };
    State state_ = IDLE;
    bool paused_ = false;
    bool play_requested_ = false;
    bool pause_requested_ = false;
    bool finished_ = true;
    OutputRefusal refusal_ = OutputRefusal::NONE;
    bool stop_requested_ = false;
    // A seek while draining: the device's close is not the end, the command it posts plays on.
    bool sought_ = false;
};

} // namespace audio
