#pragma once

#include <audio/AudioFilter.h>
#include <vector>

namespace audio {

// Raises quiet speech along a fixed amplitude curve. Gains are set at anchors, the peaks of half-waves
// that no sample within 0.1 s on either side exceeds, and move linearly from one anchor to the next, so
// the boost follows the syllables' envelope instead of bending every sample (which would distort).
// Only 16-bit mono is boosted; anything else, or level 1, passes unchanged.
//
// Samples from the last anchor on wait in the leftover for the next buffer, so the output lags the input
// by a little. The search resumes where it stopped, and one window of history is kept before the
// anchor for the window test (an anchor forced after a long swell need not be the largest sample near
// it), so the result does not depend on how the input is cut into buffers.
//
// Threads: transform on the capture thread; set_level, level, curve and reset on the main thread; all
// under the filter's lock.
class BoostFilter final : public AudioFilter {
public:
    static constexpr int32_t X0 = 750;
    static constexpr int32_t Y0 = 750;
    static constexpr int32_t Y_MAX = 30000;
    static constexpr int32_t FULL_SCALE = 32768;
    static constexpr int FRACTION_BITS = 14;
    static constexpr int32_t UNITY = 1 << FRACTION_BITS;

    // The curve's points: (0, 0), (x0, y0), (x1, y1), (x2, y_max), (32768, 32768).
    struct Curve {
        int32_t x0 = X0, y0 = Y0, x1 = 2000, y1 = 2000, x2 = Y_MAX, y_max = Y_MAX;
    };

    BoostFilter();

    // Levels below 1 count as 1 (off).
    void set_level(int32_t level);
    int32_t level();
    Curve curve();
    // The curve at amplitude `amplitude` (0 to 32768), with 14 fractional bits.
    int64_t map(int32_t amplitude);
    // Forgets the last anchor and empties the leftover.
    void reset();

protected:
    AudioBuffer transform(AudioBuffer const& input) override;

private:
    // Gain with 14 fractional bits at an anchor of the given peak.
    int32_t gain(int32_t peak) const;
    int64_t map_locked(int32_t amplitude) const;
    // The last sample of the half-wave starting at `start`, or -1 when the samples end before it does.
    int64_t half_wave_end(size_t start, size_t window) const;
    int32_t window_max(size_t low, size_t high);
    void emit(std::vector<int16_t>& out, size_t from, size_t to, int32_t from_gain, int32_t to_gain) const;
    AudioBuffer flush_unboosted(AudioBuffer const& input);
    void clear();

    int32_t level_ = 1;
    Curve curve_;

    AudioFormat format_; // of the samples kept
    std::vector<int16_t> samples_; // history, then the leftover (which starts at the last anchor)
    size_t history_ = 0;
    bool has_anchor_ = false;
    int32_t anchor_peak_ = 0;
    size_t next_half_wave_ = 0; // where the half-wave after the last anchor's starts, from the anchor

    // Scratch for one call.
    std::vector<int32_t> magnitude_;
    std::vector<uint32_t> window_queue_;
    size_t window_head_ = 0;
    size_t window_next_ = 0;
};

} // namespace audio
