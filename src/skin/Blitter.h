#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace skin {

// Copies spans of 565 pixels with one per-pixel rule. The rule is chosen once per element and costs one
// virtual call per span, never per pixel.
//   plain        d = s
//   keyed        d = s unless s is the key 0xF81F
//   keep 1/4     key: d unchanged; s opaque (bit 0x0020): d = s; else d = s + ((d & 0xE79F) >> 2)
//   keep 1/2     same, else d = s + ((d & 0xF7DF) >> 1)
//   keep 3/4     same, else h = (d & 0xF7DF) >> 1, d = s + h + ((h & 0xF7DF) >> 1)
//   opaque only  d = s when s is not the key and is opaque; else d unchanged
// A source pixel without the opaque bit is taken as already multiplied by its own opacity; the masks
// clear the bits that would carry from one channel into the next, so the sums are plain 16-bit sums.
class Blitter {
public:
    virtual ~Blitter();
    // One source pixel per destination pixel; `row` is the destination row index (unused by these rules).
    virtual void copy_span(uint16_t* dst, uint16_t* dst_end, uint16_t const* src, int32_t row) const = 0;
    // Destination pixel k takes source pixel (pos + k * step) >> 10.
    virtual void scale_span(
        uint16_t* dst, uint16_t* dst_end, uint16_t const* src, uint32_t pos, uint32_t step) const = 0;
    // Destination pixel k takes source pixel (first + k) >> shift.
    virtual void shift_span(
        uint16_t* dst, uint16_t const* src_row, int32_t first, int32_t count, int32_t shift) const = 0;
    // Like shift_span, but the source index restarts at wrap_start on reaching wrap_end.
    virtual void tile_span(uint16_t* dst, uint16_t const* src_row, int32_t first, int32_t count, int32_t shift,
        int32_t wrap_start, int32_t wrap_end) const = 0;
    virtual std::unique_ptr<Blitter> clone() const = 0;
};

// The process-wide blitters.
Blitter const& plain_blitter();
Blitter const& keyed_blitter();
// Level 0 keyed, 1 keep 1/4, 2 keep 1/2, 3 keep 3/4, 4 opaque only; other values are clamped.
Blitter const& level_blitter(int32_t level);
// The blitter of a skin "alpha" value: level alpha / 64, clamped to 0..4; a negative value (-1 in
// skins) means no alpha: the plain blitter.
Blitter const& alpha_blitter(int32_t alpha);
// Copies every pixel and sets the opaque bit where the new pixel differs from the one already there:
// text drawn over a cache stays solid when the cache is later copied through a transparency blitter.
Blitter const& mark_changed_blitter();

// The instruction sets whose span kernels this processor runs, the one the blitters above use first
// ("avx512", "avx2", "baseline").
std::vector<std::string_view> span_instruction_sets();
// A blitter of one rule (-1 plain, 0 to 4 the levels, 5 mark changed) on one of those instruction sets,
// so that every set can be checked against the per-pixel rule.
std::unique_ptr<Blitter> make_blitter(int32_t rule, std::string_view instruction_set);

} // namespace skin
