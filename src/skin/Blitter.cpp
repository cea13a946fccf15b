#include "Blitter.h"

#include "Bitmap565.h"

#include <algorithm>
#include <cstring>

namespace skin {

Blitter::~Blitter() = default;

namespace {

// Eight pixels at a time through the compiler's vector extension (SSE2 or NEON), so that a blit runs
// near memory speed without a single intrinsic.
using Pixels8 = uint16_t __attribute__((vector_size(16)));
constexpr int LANES = 8;

Pixels8 load(uint16_t const* p)
{
    Pixels8 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

void store(uint16_t* p, Pixels8 v)
{
    std::memcpy(p, &v, sizeof v);
}

Pixels8 splat(uint16_t value)
{
    return Pixels8 {} + value;
}

// All ones where `mask` is set.
Pixels8 select(Pixels8 mask, Pixels8 if_set, Pixels8 if_clear)
{
    return (mask & if_set) | (~mask & if_clear);
}

Pixels8 is_key(Pixels8 s)
{
    return reinterpret_cast<Pixels8>(s == splat(Bitmap565::KEY));
}

Pixels8 is_opaque(Pixels8 s)
{
    return reinterpret_cast<Pixels8>((s & splat(Bitmap565::OPAQUE)) != splat(0));
}

struct Plain {
    static uint16_t pixel(uint16_t s, uint16_t) { return s; }
    static Pixels8 pixels(Pixels8 s, Pixels8) { return s; }
};

struct Keyed {
    static uint16_t pixel(uint16_t s, uint16_t d) { return s == Bitmap565::KEY ? d : s; }
    static Pixels8 pixels(Pixels8 s, Pixels8 d) { return select(is_key(s), d, s); }
};

// The transparency rules share the key and opaque cases and differ in the fraction of d kept.
template <typename Fraction> struct Keep {
    static uint16_t pixel(uint16_t s, uint16_t d)
    {
        if (s == Bitmap565::KEY)
            return d;
        if (s & Bitmap565::OPAQUE)
            return s;
        return static_cast<uint16_t>(s + Fraction::of(d));
    }
    static Pixels8 pixels(Pixels8 s, Pixels8 d)
    {
        Pixels8 const blended = s + Fraction::of(d);
        return select(is_key(s), d, select(is_opaque(s), s, blended));
    }
};

struct Quarter {
    template <typename T> static T of(T d) { return static_cast<T>((d & static_cast<uint16_t>(0xE79F)) >> 2); }
};

struct Half {
    template <typename T> static T of(T d) { return static_cast<T>((d & static_cast<uint16_t>(0xF7DF)) >> 1); }
};

struct ThreeQuarters {
    template <typename T> static T of(T d)
    {
        T const h = static_cast<T>((d & static_cast<uint16_t>(0xF7DF)) >> 1);
        return static_cast<T>(h + ((h & static_cast<uint16_t>(0xF7DF)) >> 1));
    }
};

struct OpaqueOnly {
    static uint16_t pixel(uint16_t s, uint16_t d) { return (s != Bitmap565::KEY && (s & Bitmap565::OPAQUE)) ? s : d; }
    static Pixels8 pixels(Pixels8 s, Pixels8 d) { return select(is_opaque(s) & ~is_key(s), s, d); }
};

struct MarkChanged {
    static uint16_t pixel(uint16_t s, uint16_t d) { return s == d ? d : static_cast<uint16_t>(s | Bitmap565::OPAQUE); }
    static Pixels8 pixels(Pixels8 s, Pixels8 d)
    {
        Pixels8 const same = reinterpret_cast<Pixels8>(s == d);
        return select(same, d, s | splat(Bitmap565::OPAQUE));
    }
};

template <typename Rule> class RuleBlitter final : public Blitter {
public:
    void copy_span(uint16_t* dst, uint16_t* dst_end, uint16_t const* src, int32_t) const override
    {
        if constexpr (std::is_same_v<Rule, Plain>) {
            if (dst_end > dst)
                std::memmove(dst, src, static_cast<size_t>(dst_end - dst) * sizeof(uint16_t));
            return;
        }
        for (; dst_end - dst >= LANES; dst += LANES, src += LANES)
            store(dst, Rule::pixels(load(src), load(dst)));
        for (; dst < dst_end; ++dst, ++src)
            *dst = Rule::pixel(*src, *dst);
    }

    void scale_span(uint16_t* dst, uint16_t* dst_end, uint16_t const* src, uint32_t pos, uint32_t step) const override
    {
        for (; dst < dst_end; ++dst, pos += step)
            *dst = Rule::pixel(src[pos >> 10], *dst);
    }

    void shift_span(uint16_t* dst, uint16_t const* src_row, int32_t first, int32_t count, int32_t shift) const override
    {
        if (shift == 0) {
            copy_span(dst, dst + count, src_row + first, 0);
            return;
        }
        for (int32_t k = 0; k < count; ++k)
            dst[k] = Rule::pixel(src_row[(first + k) >> shift], dst[k]);
    }

    void tile_span(uint16_t* dst, uint16_t const* src_row, int32_t first, int32_t count, int32_t shift,
        int32_t wrap_start, int32_t wrap_end) const override
    {
        // Whole stretches between wraps go through shift_span, which copies unscaled stretches in bulk.
        if (wrap_end <= wrap_start)
            return;
        int32_t index = first;
        while (count > 0) {
            int32_t const run = std::min(count, wrap_end - index);
            if (run <= 0) {
                index = wrap_start;
                continue;
            }
            shift_span(dst, src_row, index, run, shift);
            dst += run;
            count -= run;
            index = wrap_start;
        }
    }

    std::unique_ptr<Blitter> clone() const override { return std::make_unique<RuleBlitter>(); }
};

} // namespace

Blitter const& plain_blitter()
{
    static RuleBlitter<Plain> const instance;
    return instance;
}

Blitter const& keyed_blitter()
{
    static RuleBlitter<Keyed> const instance;
    return instance;
}

Blitter const& level_blitter(int32_t level)
{
    static RuleBlitter<Keep<Quarter>> const quarter;
    static RuleBlitter<Keep<Half>> const half;
    static RuleBlitter<Keep<ThreeQuarters>> const three_quarters;
    static RuleBlitter<OpaqueOnly> const opaque_only;
    switch (std::clamp(level, 0, 4)) {
    case 0:
        return keyed_blitter();
    case 1:
        return quarter;
    case 2:
        return half;
    case 3:
        return three_quarters;
    default:
        return opaque_only;
    }
}

Blitter const& alpha_blitter(int32_t alpha)
{
    if (alpha < 0)
        return plain_blitter();
    return level_blitter(alpha / 64);
}

Blitter const& mark_changed_blitter()
{
    static RuleBlitter<MarkChanged> const instance;
    return instance;
}

} // namespace skin
