#pragma once

#include <audio/AudioFilter.h>
#include <optional>
#include <vector>

namespace audio {

// Raises quiet speech along a fixed amplitude curve. Gains are set at anchors, the peaks of half-waves
// that no sample within 0.1 s on either side exceeds, and move linearly from one anchor to the next, so
// the boost follows the syllables' envelope instead of bending every sample (which would distort).
// Only 16-bit mono is boosted; anything else, or level 1, passes unchanged.
//
// Samples from the last anchor on wait in the leftover for the next buffer, so the output lags the input
// by a little. The search carries its place, its window and the samples it may still look at from one
// buffer to the next, so the result does not depend on how the input is cut into buffers.
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
    // Hands the leftover on, at the gain of the last anchor, and forgets it: the end of a recording,
    // when no more input will come to find the next anchor.
    void drain();

protected:
    AudioBuffer transform(AudioBuffer const& input) override;

private:
    // Gain with 14 fractional bits at an anchor of the given peak.
    int32_t gain(int32_t peak) const;
    int64_t map_locked(int32_t amplitude) const;
    // Largest magnitude in [low, high], which spans at most one window (absolute positions; low only
    // grows).
    int32_t window_max(uint64_t low, uint64_t high);
    // Writes samples [from, to) to `out`, the gain moving linearly from `from_gain` towards `to_gain`.
    int16_t* emit(int16_t* out, uint64_t from, uint64_t to, int32_t from_gain, int32_t to_gain) const;
    // Anchors the half-waves that lie a window before `end` and writes the samples up to the last anchor;
    // answers the end of what it wrote.
    int16_t* emit_anchored(int16_t* out, uint64_t end, uint64_t window);
    // The half-wave from position_ on: its last sample and its peak; none when it runs on past `end`.
    struct HalfWave {
        uint64_t last, peak_at;
    };
    std::optional<HalfWave> find_half_wave(uint64_t end, uint64_t window) const;
    void trim();
    AudioBuffer flush_unboosted(AudioBuffer const& input);
    void clear();

    int16_t sample(uint64_t at) const { return samples_[at - base_]; }
    int32_t magnitude(uint64_t at) const { return magnitude_[at - base_]; }
    void append(AudioBuffer const& input);

    int32_t level_ = 1;
    Curve curve_;

    // Positions count samples from the start of the recording; base_ is that of samples_[0].
    AudioFormat format_; // of the samples kept
    std::vector<int16_t> samples_; // from the last anchor (or what the window may still reach) on
    std::vector<int32_t> magnitude_;
    uint64_t base_ = 0;
    uint64_t position_ = 0; // where the next half-wave to examine starts
    uint64_t anchor_ = 0; // the last anchor, or the first sample before there is one
    bool has_anchor_ = false;
    int32_t anchor_peak_ = 0;
    // The window test in constant time: the positions are cut into spans of one window's length (twice
    // the look-ahead, plus one); for each sample the largest magnitude from its span's start up to it,
    // and back from its span's end down to it. Any window is covered by the tail of one span and the
    // head of the next.
    std::vector<int32_t> head_max_;
    std::vector<int32_t> tail_max_;
    uint64_t span_ = 1;
    uint64_t tail_done_ = 0; // tail maxima are known below this position
};

} // namespace audio
