#include "BoostFilter.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <platform/riff.h>

namespace audio {

namespace {

// A pending stretch longer than this gets an anchor even though a larger sample lies near it, so that a
// steadily swelling input cannot hold back audio without end.
constexpr size_t MAX_PENDING_SECONDS = 1;

using platform::riff::put_s16;
using platform::riff::s16;

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

void BoostFilter::drain()
{
    AudioBuffer rest;
    {
        core::Lock guard(lock());
        uint64_t const end = base_ + samples_.size();
        if (level_ > 1 && anchor_ < end) {
            int32_t peak = anchor_peak_;
            if (!has_anchor_) {
                peak = 0;
                for (uint64_t at = anchor_; at < end; ++at)
                    peak = std::max(peak, magnitude(at));
            }
            int32_t const held = gain(peak);
            core::SharedBuffer bytes((end - anchor_) * 2);
            emit(reinterpret_cast<int16_t*>(bytes.writable()), anchor_, end, held, held);
            rest = AudioBuffer(std::move(bytes), format_);
        }
        clear();
    }
    if (!rest.empty())
        feed_consumer(*this, rest);
}

void BoostFilter::clear()
{
    samples_.clear();
    magnitude_.clear();
    head_max_.clear();
    tail_max_.clear();
    base_ = position_ = anchor_ = tail_done_ = 0;
    has_anchor_ = false;
    anchor_peak_ = 0;
    format_ = AudioFormat();
}

void BoostFilter::append(AudioBuffer const& input)
{
    size_t const count = input.length() / 2;
    uint8_t const* bytes = input.data.data();
    size_t const old_size = samples_.size();
    samples_.resize(old_size + count);
    magnitude_.resize(old_size + count);
    head_max_.resize(old_size + count);
    tail_max_.resize(old_size + count);
    uint64_t at = base_ + old_size;
    int32_t running = old_size > 0 ? head_max_[old_size - 1] : 0;
    for (size_t i = old_size; i < old_size + count; ++i, ++at) {
        int16_t const s = s16(bytes + 2 * (i - old_size));
        int32_t const m = std::abs(int32_t(s));
        samples_[i] = s;
        magnitude_[i] = m;
        running = at % span_ == 0 ? m : std::max(running, m);
        head_max_[i] = running;
    }
}

int32_t BoostFilter::window_max(uint64_t low, uint64_t high)
{
    uint64_t const low_span = low / span_;
    if (low_span == high / span_)
        return head_max_[high - base_]; // low starts its span (or the recording)
    // Tail maxima of a span are found once, when a window first reaches into it; its samples up to the
    // span's end are all here, since the window goes on into the next span.
    uint64_t const span_end = (low_span + 1) * span_;
    if (tail_done_ < span_end) {
        uint64_t const from = std::max({ low_span * span_, base_, tail_done_ });
        int32_t running = 0;
        for (uint64_t at = span_end; at-- > from;) {
            running = std::max(running, magnitude(at));
            tail_max_[at - base_] = running;
        }
        tail_done_ = span_end;
    }
    return std::max(tail_max_[low - base_], head_max_[high - base_]);
}

int16_t* BoostFilter::emit(int16_t* out, uint64_t from, uint64_t to, int32_t from_gain, int32_t to_gain) const
{
    if (to <= from)
        return out;
    constexpr int EXTRA = 16; // fractional bits of the gain's step
    int64_t g = int64_t(from_gain) << EXTRA;
    int64_t const step = ((int64_t(to_gain) - from_gain) << EXTRA) / int64_t(to - from);
    int16_t const* in = samples_.data() + (from - base_);
    constexpr int SHIFT = EXTRA + FRACTION_BITS;
    for (uint64_t n = to - from; n > 0; --n, g += step) {
        int64_t const scaled = (int64_t(*in++) * g + (int64_t(1) << (SHIFT - 1))) >> SHIFT;
        *out++ = static_cast<int16_t>(std::clamp<int64_t>(scaled, -32768, 32767));
    }
    return out;
}

// Drops what neither the output (from the last anchor) nor a later window test (one window before the
// next half-wave) can need.
void BoostFilter::trim()
{
    uint64_t const window = static_cast<uint64_t>(std::max(format_.samples_per_second / 10, 1));
    uint64_t const keep = std::min(anchor_, position_ >= window ? position_ - window : 0);
    if (keep <= base_)
        return;
    auto const drop = static_cast<std::ptrdiff_t>(keep - base_);
    samples_.erase(samples_.begin(), samples_.begin() + drop);
    magnitude_.erase(magnitude_.begin(), magnitude_.begin() + drop);
    head_max_.erase(head_max_.begin(), head_max_.begin() + drop);
    tail_max_.erase(tail_max_.begin(), tail_max_.begin() + drop);
    base_ = keep;
}

AudioBuffer BoostFilter::flush_unboosted(AudioBuffer const& input)
{
    if (anchor_ >= base_ + samples_.size() || input.format != format_) {
        clear();
        return input;
    }
    // The level went to 1 with samples still waiting: they go out first, as they are.
    size_t const waiting = static_cast<size_t>(base_ + samples_.size() - anchor_);
    core::SharedBuffer bytes(waiting * 2 + input.length());
    uint8_t* out = bytes.writable();
    for (size_t i = 0; i < waiting; ++i)
        put_s16(out + 2 * i, sample(anchor_ + i));
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
    uint64_t const window = static_cast<uint64_t>(std::max(f.samples_per_second / 10, 1));
    if (f != format_) {
        clear();
        format_ = f;
        span_ = 2 * window + 1;
    }
    append(input);

    uint64_t const end = base_ + samples_.size();
    core::SharedBuffer output((end - anchor_) * 2);
    auto* const out_start = reinterpret_cast<int16_t*>(output.writable());
    int16_t* const out = emit_anchored(out_start, end, window);
    trim();

    if (out == out_start)
        return AudioBuffer();
    // Samples are written in the machine's order; make them little-endian where that differs.
    if constexpr (std::endian::native != std::endian::little) {
        for (int16_t* p = out_start; p != out; ++p)
            put_s16(reinterpret_cast<uint8_t*>(p), *p);
    }
    return AudioBuffer(core::SharedBuffer(output, 0, static_cast<size_t>(out - out_start) * 2), f);
}

int16_t* BoostFilter::emit_anchored(int16_t* out, uint64_t end, uint64_t window)
{
    uint64_t const max_pending = static_cast<uint64_t>(format_.samples_per_second) * MAX_PENDING_SECONDS;
    int32_t anchor_gain = gain(anchor_peak_);
    // Half-wave by half-wave, while more than one window of samples lies ahead.
    while (end > position_ && end - position_ > window) {
        auto const half_wave = find_half_wave(end, window);
        if (!half_wave || half_wave->peak_at + window >= end)
            break; // the half-wave, or the window after its peak, is not all here yet
        uint64_t const peak_at = half_wave->peak_at;
        int32_t const peak = magnitude(peak_at);
        bool const overdue = peak_at - anchor_ > max_pending;
        if (overdue || window_max(peak_at >= window ? peak_at - window : 0, peak_at + window) <= peak) {
            int32_t const peak_gain = gain(peak);
            // Before the first anchor of a recording the gain is that anchor's.
            out = emit(out, anchor_, peak_at, has_anchor_ ? anchor_gain : peak_gain, peak_gain);
            anchor_ = peak_at;
            anchor_gain = peak_gain;
            anchor_peak_ = peak;
            has_anchor_ = true;
        }
        position_ = half_wave->last + 1;
    }
    return out;
}

std::optional<BoostFilter::HalfWave> BoostFilter::find_half_wave(uint64_t end, uint64_t window) const
{
    // The half-wave ends where neighbours do not share a sign, and after one window at the latest, so that
    // audio with an offset that never crosses zero still finds anchors.
    uint64_t const limit = position_ + window - 1;
    uint64_t peak_at = position_;
    for (uint64_t at = position_; at + 1 < end; ++at) {
        if (magnitude(at) > magnitude(peak_at))
            peak_at = at;
        if (at == limit || int32_t(sample(at)) * sample(at + 1) <= 0)
            return HalfWave { at, peak_at };
    }
    return std::nullopt;
}

} // namespace audio
