#pragma once

#include <audio/AudioFilter.h>

namespace audio {

// Sums the seconds that pass through it: placed after the pause gate, the seconds that reach the file.
//
// Threads: transform on the capture thread; duration and reset on the main thread; under the lock.
class DurationCounter final : public AudioFilter {
public:
    double duration();
    void reset();

protected:
    AudioBuffer transform(AudioBuffer const& input) override;

private:
    double seconds_ = 0.0;
};

} // namespace audio
