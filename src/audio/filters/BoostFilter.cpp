#include "BoostFilter.h"

#include <algorithm>
#include <cstring>

namespace audio {

namespace {

// A pending stretch longer than this gets an anchor even though a larger sample lies near it, so that a
// steadily swelling input cannot hold back audio without end.
constexpr size_t MAX_PENDING_SECONDS = 1;

int16_t read_sample(uint8_t const* p)
{
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

void write_sample(uint8_t* p, int16_t value)
{
    auto const v = static_cast<uint16_t>(value);
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>(v >> 8);
}

AudioBuffer to_buffer(int16_t const* samples, size_t count, AudioFormat const& format)
{
    core::SharedBuffer bytes(count * 2);
    uint8_t* out = bytes.writable();
    for (size_t i = 0; i < count; ++i)
        write_sample(out + 2 * i, samples[i]);
    return AudioBuffer(std::move(bytes), format);
}

} // namespace

BoostFilter::BoostFilter()
{
    set_level(1);
}

void BoostFilter::set_level(int32_t level)
{
    core::Lock guard(lock());
    level_ = std::max(level, 1);
    Curve c;
    double const m = std::max(1.0, level_ * 0.5);
    c.x1 = 2000;
    c.y1 = static_cast<int32_t>((c.x1 - c.x0) * m + c.y0);
    if (c.y1 > Y_MAX) {
        c.x1 = c.x0 + (Y_MAX - c.y0) * (c.x1 - c.x0) / (c.y1 - c.y0);
        c.y1 = Y_MAX;
    }
    int32_t const t = c.x1 + (Y_MAX - c.y1) / level_;
    c.x2 = std::clamp(t, c.x1, Y_MAX);
    curve_ = c;
}

int32_t BoostFilter::level()
{
    core::Lock guard(lock());
    return level_;
}

BoostFilter::Curve BoostFilter::curve()
{
    core::Lock guard(lock());
    return curve_;
}

int64_t BoostFilter::map(int32_t amplitude)
{
    core::Lock guard(lock());
    return map_locked(amplitude);
}

int64_t BoostFilter::map_locked(int32_t amplitude) const
{
    int64_t const a = std::clamp(amplitude, 0, FULL_SCALE);
    struct Point {
        int64_t x, y;
    };
    Point const points[] = { { 0, 0 }, { curve_.x0, curve_.y0 }, { curve_.x1, curve_.y1 }, { curve_.x2, curve_.y_max },
        { FULL_SCALE, FULL_SCALE } };
    // A point's own amplitude belongs to the segment above it; empty segments are never chosen.
    for (size_t s = 0; s + 1 < std::size(points); ++s) {
        Point const lo = points[s], hi = points[s + 1];
        if (a >= lo.x && a < hi.x)
            return ((a - lo.x) * hi.y + (hi.x - a) * lo.y) * UNITY / (hi.x - lo.x);
    }
    return int64_t(FULL_SCALE) * UNITY;
}

int32_t BoostFilter::gain(int32_t peak) const
{
    if (peak <= 0)
        return UNITY;
    return static_cast<int32_t>(map_locked(peak) / peak);
}

void BoostFilter::reset()
{
    core::Lock guard(lock());
    clear();
}

void BoostFilter::clear()
{
    samples_.clear();
    history_ = 0;
    has_anchor_ = false;
    anchor_peak_ = 0;
    next_half_wave_ = 0;
    format_ = AudioFormat();
}

int64_t BoostFilter::half_wave_end(size_t start, size_t window) const
{
    // A half-wave ends where neighbours do not share a sign, and after one window at the latest, so that
    // audio with an offset that never crosses zero still finds anchors.
    size_t const limit = start + window - 1;
    for (size_t i = start; i + 1 < samples_.size(); ++i) {
        if (i == limit || int32_t(samples_[i]) * samples_[i + 1] <= 0)
            return static_cast<int64_t>(i);
    }
    return -1;
}

// Largest magnitude in [low, high]; both bounds only grow within one call (a monotonic queue).
int32_t BoostFilter::window_max(size_t low, size_t high)
{
    while (window_next_ <= high) {
        while (window_queue_.size() > window_head_ && magnitude_[window_queue_.back()] <= magnitude_[window_next_])
            window_queue_.pop_back();
        window_queue_.push_back(static_cast<uint32_t>(window_next_++));
        window_head_ = std::min(window_head_, window_queue_.size() - 1);
    }
    while (window_queue_[window_head_] < low)
        ++window_head_;
    return magnitude_[window_queue_[window_head_]];
}

// Appends samples [from, to), the gain moving linearly from `from_gain` (at `from`) to `to_gain` (at `to`).
void BoostFilter::emit(std::vector<int16_t>& out, size_t from, size_t to, int32_t from_gain, int32_t to_gain) const
{
    if (to <= from)
        return;
    constexpr int EXTRA = 16; // fractional bits of the gain's step
    int64_t g = int64_t(from_gain) << EXTRA;
    int64_t const step = ((int64_t(to_gain) - from_gain) << EXTRA) / int64_t(to - from);
    for (size_t i = from; i < to; ++i, g += step) {
        int64_t const scaled = (int64_t(samples_[i]) * (g >> EXTRA) + (UNITY / 2)) >> FRACTION_BITS;
        out.push_back(static_cast<int16_t>(std::clamp<int64_t>(scaled, -32768, 32767)));
    }
}

AudioBuffer BoostFilter::flush_unboosted(AudioBuffer const& input)
{
    if (samples_.size() <= history_ || input.format != format_) {
        clear();
        return input;
    }
    // The level went to 1 with samples still waiting: they go out first, as they are.
    size_t const waiting = samples_.size() - history_;
    core::SharedBuffer bytes(waiting * 2 + input.length());
    uint8_t* out = bytes.writable();
    for (size_t i = 0; i < waiting; ++i)
        write_sample(out + 2 * i, samples_[history_ + i]);
    if (!input.empty())
        std::memcpy(out + waiting * 2, input.data.data(), input.length());
    AudioBuffer result(std::move(bytes), input.format);
    clear();
    return result;
}

AudioBuffer BoostFilter::transform(AudioBuffer const& input)
{
    AudioFormat const& f = input.format;
    if (level_ <= 1 || f.channels != 1 || f.bits_per_sample != 16 || f.samples_per_second <= 0)
        return flush_unboosted(input);
    if (f != format_)
        clear();
    format_ = f;

    size_t const count = input.length() / 2;
    uint8_t const* bytes = input.data.data();
    size_t const old_size = samples_.size();
    samples_.resize(old_size + count);
    for (size_t i = 0; i < count; ++i)
        samples_[old_size + i] = read_sample(bytes + 2 * i);

    size_t const n = samples_.size();
    size_t const window = std::max<size_t>(static_cast<size_t>(f.samples_per_second) / 10, 1);
    size_t const max_pending = static_cast<size_t>(f.samples_per_second) * MAX_PENDING_SECONDS;
    magnitude_.resize(n);
    for (size_t i = 0; i < n; ++i)
        magnitude_[i] = std::abs(int32_t(samples_[i]));
    window_queue_.clear();
    window_head_ = 0;
    window_next_ = 0;

    // The leftover starts at the last anchor; the search resumes after that anchor's half-wave.
    size_t anchor = history_;
    int32_t anchor_gain = gain(anchor_peak_);
    bool have = has_anchor_;
    size_t position = history_ + (has_anchor_ ? next_half_wave_ : 0);
    std::vector<int16_t> out;
    out.reserve(count + window);

    while (n > position && n - position > window) {
        int64_t const end = half_wave_end(position, window);
        if (end < 0)
            break;
        size_t peak_at = position;
        for (size_t i = position + 1; i <= static_cast<size_t>(end); ++i)
            if (magnitude_[i] > magnitude_[peak_at])
                peak_at = i;
        if (peak_at + window >= n)
            break; // the window after it is not all here yet
        int32_t const peak = magnitude_[peak_at];
        bool const overdue = peak_at - anchor > max_pending;
        if (window_max(peak_at >= window ? peak_at - window : 0, peak_at + window) <= peak || overdue) {
            int32_t const peak_gain = gain(peak);
            // Before the first anchor of a recording the gain is that anchor's.
            emit(out, anchor, peak_at, have ? anchor_gain : peak_gain, peak_gain);
            anchor = peak_at;
            anchor_gain = peak_gain;
            anchor_peak_ = peak;
            next_half_wave_ = static_cast<size_t>(end) + 1 - peak_at;
            have = true;
        }
        position = static_cast<size_t>(end) + 1;
    }
    has_anchor_ = have;

    // Keep one window of history before the last anchor, and everything from it on.
    size_t const keep_from = anchor >= window ? anchor - window : 0;
    samples_.erase(samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(keep_from));
    history_ = anchor - keep_from;

    if (out.empty())
        return AudioBuffer();
    return to_buffer(out.data(), out.size(), f);
}

} // namespace audio
