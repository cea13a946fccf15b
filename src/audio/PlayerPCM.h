#pragma once

#include "AudioConsumer.h"
#include "WaveOut.h"

#include <functional>
#include <memory>

namespace audio {

class PlayerPCMImpl;

// Why the device would not open for the last play.
enum class OutputRefusal { NONE, NO_DEVICE, FORMAT };

// Plays PCM through the wave-output device: pulls sample frames from the producer linked to it on its
// own thread, keeps six 200 ms buffers queued and reports the peak level of what it has just played.
// It pulls and is never pushed to.
//
// Threads: created, commanded, asked and deleted on the main thread; the producer linked to it is pulled
// on the player thread under this consumer's lock, which also guards the player's state.
class PlayerPCM : public AudioConsumer {
public:
    // `device` stands in for the platform's wave output in tests.
    explicit PlayerPCM(WaveOut& device = WaveOut::platform_device());
    ~PlayerPCM() override;

    // A programming error: ends the program through fatal_error.
    void on_data(AudioBuffer const& buffer) override;

    // The commands are asynchronous: each sets its flags and posts a command to the player thread, and
    // answers whether the post succeeded.
    bool play();
    bool stop();
    // Play again resumes.
    bool pause();
    bool is_finished();
    // Set when a play ended because the device refused to open or to take a block; a new play clears it.
    OutputRefusal refusal();
    // Clamped to 0.0 to 1.0; applied now if the device is open and again at every open.
    void set_volume(double volume);
    double volume();
    // Peak of the last block played, 0.0 to 1.0: channel 0 for an index of 0 or less, else channel 1.
    double level(int channel);
    // Seconds of what was pulled from the producer and not heard yet: the data waiting for a block and
    // what the device still holds. The producer's position less this is where the listener is; read both
    // under this consumer's lock, which every pull takes.
    double queued_seconds();
    // Runs `reposition`, which moves the producer, and drops what was pulled before it and not heard, so
    // that playback goes on at once from the new place (paused, it stays paused). Both under the lock, so
    // that nothing is pulled between them.
    void seek(std::function<void()> const& reposition);

private:
    std::unique_ptr<PlayerPCMImpl> impl_;
};

} // namespace audio
