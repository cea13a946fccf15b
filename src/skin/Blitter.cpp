#include "Blitter.h"

#include "Bitmap565.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace skin {

Blitter::~Blitter() = default;

namespace {

// Spans are copied a vector of pixels at a time through the compiler's vector extension (SSE2 or NEON,
// and AVX2 or AVX-512 where the processor has it), so that a blit runs near memory speed without an intrinsic.
using Pixels8 = uint16_t __attribute__((vector_size(16)));
using Pixels16 = uint16_t __attribute__((vector_size(32)));
using Pixels32 = uint16_t __attribute__((vector_size(64)));

#define SPAN_INLINE inline __attribute__((always_inline))

// The wide helpers are always inlined into the AVX copies, so no vector crosses a call and the ABI
// note about passing them does not apply.
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wpsabi"
#elif defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

template <typename V> SPAN_INLINE V load(uint16_t const* p)
{
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename V> SPAN_INLINE void store(uint16_t* p, V v)
{
    std::memcpy(p, &v, sizeof v);
}

template <typename V> SPAN_INLINE V splat(uint16_t value)
{
    return V {} + value;
}

// All ones where `mask` is set.
template <typename V> SPAN_INLINE V select(V mask, V if_set, V if_clear)
{
    return (mask & if_set) | (~mask & if_clear);
}

template <typename V> SPAN_INLINE V is_key(V s)
{
    return reinterpret_cast<V>(s == splat<V>(Bitmap565::KEY));
}

template <typename V> SPAN_INLINE V is_opaque(V s)
{
    return reinterpret_cast<V>((s & splat<V>(Bitmap565::OPAQUE)) != splat<V>(0));
}

struct Plain {
    static uint16_t pixel(uint16_t s, uint16_t) { return s; }
    template <typename V> SPAN_INLINE static V pixels(V s, V) { return s; }
};

struct Keyed {
    static uint16_t pixel(uint16_t s, uint16_t d) { return s == Bitmap565::KEY ? d : s; }
    template <typename V> SPAN_INLINE static V pixels(V s, V d) { return select(is_key(s), d, s); }
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
    template <typename V> SPAN_INLINE static V pixels(V s, V d)
    {
        V const blended = s + Fraction::of(d);
        return select(is_key(s), d, select(is_opaque(s), s, blended));
    }
};

struct Quarter {
    template <typename T> SPAN_INLINE static T of(T d)
    {
        return static_cast<T>((d & static_cast<uint16_t>(0xE79F)) >> 2);
    }
};

struct Half {
    template <typename T> SPAN_INLINE static T of(T d)
    {
        return static_cast<T>((d & static_cast<uint16_t>(0xF7DF)) >> 1);
    }
};

struct ThreeQuarters {
    template <typename T> SPAN_INLINE static T of(T d)
    {
        T const h = static_cast<T>((d & static_cast<uint16_t>(0xF7DF)) >> 1);
        return static_cast<T>(h + ((h & static_cast<uint16_t>(0xF7DF)) >> 1));
    }
};

struct OpaqueOnly {
    static uint16_t pixel(uint16_t s, uint16_t d) { return (s != Bitmap565::KEY && (s & Bitmap565::OPAQUE)) ? s : d; }
    template <typename V> SPAN_INLINE static V pixels(V s, V d) { return select(is_opaque(s) & ~is_key(s), s, d); }
};

struct MarkChanged {
    static uint16_t pixel(uint16_t s, uint16_t d) { return s == d ? d : static_cast<uint16_t>(s | Bitmap565::OPAQUE); }
    template <typename V> SPAN_INLINE static V pixels(V s, V d)
    {
        V const same = reinterpret_cast<V>(s == d);
        return select(same, d, s | splat<V>(Bitmap565::OPAQUE));
    }
};

template <typename Rule, typename V> SPAN_INLINE void copy_pixels(uint16_t* dst, uint16_t* dst_end, uint16_t const* src)
{
    constexpr ptrdiff_t lanes = sizeof(V) / sizeof(uint16_t);
    // Two vectors a step, so that the loads of one overlap the arithmetic of the other.
    for (; dst_end - dst >= 2 * lanes; dst += 2 * lanes, src += 2 * lanes) {
        V const first = Rule::template pixels<V>(load<V>(src), load<V>(dst));
        V const second = Rule::template pixels<V>(load<V>(src + lanes), load<V>(dst + lanes));
        store(dst, first);
        store(dst + lanes, second);
    }
    for (; dst_end - dst >= lanes; dst += lanes, src += lanes)
        store(dst, Rule::template pixels<V>(load<V>(src), load<V>(dst)));
    // What is left of a wide vector goes through the narrower ones: short spans (the corners of a
    // nine-grid) stay vectorised.
    if constexpr (sizeof(V) > sizeof(Pixels16)) {
        if (dst_end - dst >= 16) {
            store(dst, Rule::template pixels<Pixels16>(load<Pixels16>(src), load<Pixels16>(dst)));
            dst += 16;
            src += 16;
        }
    }
    if constexpr (sizeof(V) > sizeof(Pixels8)) {
        if (dst_end - dst >= 8) {
            store(dst, Rule::template pixels<Pixels8>(load<Pixels8>(src), load<Pixels8>(dst)));
            dst += 8;
            src += 8;
        }
    }
    for (; dst < dst_end; ++dst, ++src)
        *dst = Rule::pixel(*src, *dst);
}

// Destination pixel k takes source pixel (first + k) >> 1: every source pixel twice, as skins are drawn
// on 192-dpi screens. Eight source pixels are widened to sixteen with one shuffle.
template <typename Rule>
SPAN_INLINE void copy_doubled(uint16_t* dst, uint16_t const* src_row, int32_t first, int32_t count)
{
    int32_t k = 0;
    if ((first & 1) && count > 0) {
        dst[0] = Rule::pixel(src_row[first >> 1], dst[0]);
        k = 1;
    }
    uint16_t const* src = src_row + ((first + k) >> 1);
    for (; count - k >= 16; k += 16, src += 8) {
        Pixels8 const narrow = load<Pixels8>(src);
        Pixels16 const wide = __builtin_shufflevector(narrow, narrow, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7);
        store(dst + k, Rule::template pixels<Pixels16>(wide, load<Pixels16>(dst + k)));
    }
    for (; k < count; ++k)
        dst[k] = Rule::pixel(src_row[(first + k) >> 1], dst[k]);
}

// A run repeating the source indices [wrap_start, wrap_end) from `first`, at scale 1 or 2.
template <typename Rule, typename V, int SHIFT>
SPAN_INLINE void tile_pixels(
    uint16_t* dst, uint16_t const* src_row, int32_t first, int32_t count, int32_t wrap_start, int32_t wrap_end)
{
    int32_t index = first;
    while (count > 0) {
        int32_t const run = std::min(count, wrap_end - index);
        if (run > 0) {
            if constexpr (SHIFT == 0)
                copy_pixels<Rule, V>(dst, dst + run, src_row + index);
            else
                copy_doubled<Rule>(dst, src_row, index, run);
            dst += run;
            count -= run;
        }
        index = wrap_start;
    }
}

// The span kernels of one rule for one instruction set, chosen once when the blitter is made.
struct Kernels {
    void (*copy)(uint16_t*, uint16_t*, uint16_t const*);
    void (*doubled)(uint16_t*, uint16_t const*, int32_t, int32_t);
    void (*tile)(uint16_t*, uint16_t const*, int32_t, int32_t, int32_t, int32_t);
    void (*tile_doubled)(uint16_t*, uint16_t const*, int32_t, int32_t, int32_t, int32_t);
};

// One set of kernels per instruction set; TARGET is the function attribute that enables it.
#define SPAN_KERNELS(NAME, TARGET, V)                                                                                  \
    template <typename Rule> TARGET void copy_##NAME(uint16_t* dst, uint16_t* dst_end, uint16_t const* src)            \
    {                                                                                                                  \
        copy_pixels<Rule, V>(dst, dst_end, src);                                                                       \
    }                                                                                                                  \
    template <typename Rule>                                                                                           \
    TARGET void doubled_##NAME(uint16_t* dst, uint16_t const* src_row, int32_t first, int32_t count)                   \
    {                                                                                                                  \
        copy_doubled<Rule>(dst, src_row, first, count);                                                                \
    }                                                                                                                  \
    template <typename Rule>                                                                                           \
    TARGET void tile_##NAME(                                                                                           \
        uint16_t* dst, uint16_t const* src_row, int32_t first, int32_t count, int32_t wrap_start, int32_t wrap_end)    \
    {                                                                                                                  \
        tile_pixels<Rule, V, 0>(dst, src_row, first, count, wrap_start, wrap_end);                                     \
    }                                                                                                                  \
    template <typename Rule>                                                                                           \
    TARGET void tile_doubled_##NAME(                                                                                   \
        uint16_t* dst, uint16_t const* src_row, int32_t first, int32_t count, int32_t wrap_start, int32_t wrap_end)    \
    {                                                                                                                  \
        tile_pixels<Rule, V, 1>(dst, src_row, first, count, wrap_start, wrap_end);                                     \
    }                                                                                                                  \
    template <typename Rule> Kernels kernels_##NAME()                                                                  \
    {                                                                                                                  \
        return { copy_##NAME<Rule>, doubled_##NAME<Rule>, tile_##NAME<Rule>, tile_doubled_##NAME<Rule> };              \
    }

SPAN_KERNELS(baseline, , Pixels8)
#if defined(__x86_64__) || defined(__i386__)
SPAN_KERNELS(avx2, __attribute__((target("avx2"))), Pixels16)
SPAN_KERNELS(avx512, __attribute__((target("avx512bw"))), Pixels32)
#endif

// The instruction sets this processor runs, widest first.
std::vector<std::string_view> supported_sets()
{
    std::vector<std::string_view> sets;
#if defined(__x86_64__) || defined(__i386__)
    if (__builtin_cpu_supports("avx512bw"))
        sets.push_back("avx512");
    if (__builtin_cpu_supports("avx2"))
        sets.push_back("avx2");
#endif
    sets.push_back("baseline");
    return sets;
}

template <typename Rule> Kernels kernels_for(std::string_view set)
{
#if defined(__x86_64__) || defined(__i386__)
    if (set == "avx512")
        return kernels_avx512<Rule>();
    if (set == "avx2")
        return kernels_avx2<Rule>();
#endif
    (void)set;
    return kernels_baseline<Rule>();
}

template <typename Rule> Kernels best_kernels()
{
    return kernels_for<Rule>(supported_sets().front());
}

template <typename Rule> class RuleBlitter final : public Blitter {
public:
    explicit RuleBlitter(Kernels kernels = best_kernels<Rule>())
        : kernels_(kernels)
    {
    }

    void copy_span(uint16_t* dst, uint16_t* dst_end, uint16_t const* src, int32_t) const override
    {
        if constexpr (std::is_same_v<Rule, Plain>) {
            if (dst_end > dst)
                std::memmove(dst, src, static_cast<size_t>(dst_end - dst) * sizeof(uint16_t));
        } else {
            kernels_.copy(dst, dst_end, src);
        }
    }

    void scale_span(uint16_t* dst, uint16_t* dst_end, uint16_t const* src, uint32_t pos, uint32_t step) const override
    {
        for (; dst < dst_end; ++dst, pos += step)
            *dst = Rule::pixel(src[pos >> 10], *dst);
    }

    void shift_span(uint16_t* dst, uint16_t const* src_row, int32_t first, int32_t count, int32_t shift) const override
    {
        if (shift == 0) {
            kernels_.copy(dst, dst + count, src_row + first);
        } else if (shift == 1) {
            kernels_.doubled(dst, src_row, first, count);
        } else {
            for (int32_t k = 0; k < count; ++k)
                dst[k] = Rule::pixel(src_row[(first + k) >> shift], dst[k]);
        }
    }

    void tile_span(uint16_t* dst, uint16_t const* src_row, int32_t first, int32_t count, int32_t shift,
        int32_t wrap_start, int32_t wrap_end) const override
    {
        if (wrap_end <= wrap_start)
            return;
        if (shift == 0) {
            kernels_.tile(dst, src_row, first, count, wrap_start, wrap_end);
        } else if (shift == 1) {
            kernels_.tile_doubled(dst, src_row, first, count, wrap_start, wrap_end);
        } else {
            for (int32_t k = 0, index = first; k < count; ++k, ++index) {
                if (index >= wrap_end)
                    index = wrap_start;
                dst[k] = Rule::pixel(src_row[index >> shift], dst[k]);
            }
        }
    }

    std::unique_ptr<Blitter> clone() const override { return std::make_unique<RuleBlitter>(kernels_); }

private:
    Kernels const kernels_;
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

std::vector<std::string_view> span_instruction_sets()
{
    return supported_sets();
}

std::unique_ptr<Blitter> make_blitter(int32_t rule, std::string_view instruction_set)
{
    switch (rule) {
    case -1:
        return std::make_unique<RuleBlitter<Plain>>(kernels_for<Plain>(instruction_set));
    case 0:
        return std::make_unique<RuleBlitter<Keyed>>(kernels_for<Keyed>(instruction_set));
    case 1:
        return std::make_unique<RuleBlitter<Keep<Quarter>>>(kernels_for<Keep<Quarter>>(instruction_set));
    case 2:
        return std::make_unique<RuleBlitter<Keep<Half>>>(kernels_for<Keep<Half>>(instruction_set));
    case 3:
        return std::make_unique<RuleBlitter<Keep<ThreeQuarters>>>(kernels_for<Keep<ThreeQuarters>>(instruction_set));
    case 4:
        return std::make_unique<RuleBlitter<OpaqueOnly>>(kernels_for<OpaqueOnly>(instruction_set));
    default:
        return std::make_unique<RuleBlitter<MarkChanged>>(kernels_for<MarkChanged>(instruction_set));
    }
}

} // namespace skin
