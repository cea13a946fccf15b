#pragma once

#include "AudioProducer.h"
#include "WaveIn.h"

#include <functional>
#include <memory>

namespace audio {

class RecorderPCMImpl;

// Captures PCM from the wave-input device and pushes it down the chain linked to it in blocks of 200 ms,
// from its own worker thread. It pushes and is never pulled.
//
// Threads: created, started, paused, asked and deleted on the main thread; the chain linked to it runs
// on the worker. Every query takes the implementation's lock.
class RecorderPCM : public AudioProducer {
public:
    // Waits up to the given milliseconds for the chain to have room for more; answers whether it has.
    using RoomWait = std::function<bool(uint32_t milliseconds)>;

    // `device` stands in for the platform's wave input in tests.
    RecorderPCM(int32_t channels, int32_t samples_per_second, int32_t bits_per_sample,
        WaveIn& device = WaveIn::platform_device());
    ~RecorderPCM() override;
    // Whether the platform's microphone captures in this format, asked without opening it.
    static bool takes(int32_t channels, int32_t samples_per_second, int32_t bits_per_sample);

    // A programming error: ends the program through fatal_error.
    AudioBuffer get_data(int32_t frames) override;
    // Answers whether the device is open.
    virtual bool start();
    // Answers whether the device is stopped afterwards.
    virtual bool pause();
    virtual bool is_stopped();
    // Stops the device and hands down the chain everything it captured, the block it was filling
    // included, so that a stop loses nothing; waits at most `milliseconds` for the worker.
    bool finish(uint32_t milliseconds = 1000);
    // The device is open and the worker has not finished.
    virtual bool is_running();
    virtual int32_t channels();
    virtual int32_t bits_per_sample();
    virtual int32_t samples_per_second();
    // Bits per second: channels x rate x whole bytes per sample x 8.
    virtual int32_t bit_rate();

    // Bytes of each full block: 200 ms of frames, rounded down to an even count.
    int32_t block_size();

    // A device that fills blocks as fast as they are queued (a file) takes the next ones only when `wait`
    // says the chain has room, so that it never outruns the writer. A live device is never held back: it
    // would lose what it captures meanwhile. Set before start.
    void set_room_wait(RoomWait wait);

private:
    std::unique_ptr<RecorderPCMImpl> impl_;
};

} // namespace audio
