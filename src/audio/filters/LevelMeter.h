#pragma once

#include <audio/AudioFilter.h>

namespace audio {

// Measures each buffer's peak and how long the input has stayed below the voice-activation threshold,
// on the first channel; passes every buffer on unchanged.
//
// Threads: transform on the capture thread; the setter and the queries on the main thread (the
// Document's tick); all under the filter's lock.
class LevelMeter final : public AudioFilter {
public:
    static constexpr double MAX_SILENCE = 2.0;

    void set_threshold(double threshold);
    double threshold();
    // Peak of the last buffer, 0.0 to 1.0.
    double level();
    // Seconds since the last sample at or above the threshold.
    double silence();
    // Silent for longer than the maximum (strictly).
    bool is_silent();

protected:
    AudioBuffer transform(AudioBuffer const& input) override;

private:
    double level_ = 0.0;
    double threshold_ = 0.0;
    double silence_ = MAX_SILENCE;
};

} // namespace audio
