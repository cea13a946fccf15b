#include "SkinTestSupport.h"

using namespace skin;

namespace {

// -1 plain, 0 keyed, 1 to 4 the levels, 5 mark changed.
Blitter const& blitter(int32_t rule)
{
    return rule < 0 ? plain_blitter() : rule > 4 ? mark_changed_blitter() : level_blitter(rule);
}

// Each rule on spans of one pixel (its scalar path) and of 19 (the vector path and its tail), on a clone
// and through scale_span, which has no vector path. How every blitter indexes the source in wider spans
// is checked against these below.
TEST(Blitter, EachRuleOnEveryPathAndWidth)
{
    struct {
        char const* name;
        int32_t rule;
        uint16_t src, dst, expected;
    } const cases[] = {
        { "plain_copies_key", -1, 0xF81F, 0x1234, 0xF81F },
        { "keyed_keeps_under_key", 0, 0xF81F, 0x1234, 0x1234 },
        { "keyed_copies_other", 0, 0x1234, 0x0000, 0x1234 },
        { "half_adds_half_of_destination", 2, 0x0000, 0xFFFF, 0x7BEF },
        { "half_keeps_under_key", 2, 0xF81F, 0xFFFF, 0xFFFF },
        { "half_copies_opaque", 2, 0x0020, 0xFFFF, 0x0020 },
        { "quarter_adds_quarter", 1, 0x0000, 0xFFFF, 0x39E7 },
        { "quarter_adds_to_source", 1, 0x0801, 0xFFFF, 0x41E8 },
        { "three_quarters_adds_three_quarters", 3, 0x0000, 0xFFFF, 0xB5D6 },
        { "opaque_only_copies_opaque", 4, 0x1234, 0x0000, 0x1234 },
        { "opaque_only_skips_unmarked", 4, 0x1214, 0x0F0F, 0x0F0F },
        { "opaque_only_skips_key", 4, 0xF81F, 0x0F0F, 0x0F0F },
        { "mark_changed_sets_opaque_bit", 5, 0x1000, 0x0000, 0x1020 },
        { "mark_changed_keeps_equal", 5, 0x1000, 0x1000, 0x1000 },
    };
    for (auto const& c : cases) {
        Blitter const& b = blitter(c.rule);
        std::vector<uint16_t> const src(19, c.src), expected(19, c.expected);
        std::vector<uint16_t> dst(19, c.dst);
        b.copy_span(dst.data(), dst.data() + 19, src.data(), 0);
        EXPECT_EQ(dst, expected) << c.name;
        uint16_t one = c.dst, scaled = c.dst, cloned = c.dst;
        b.copy_span(&one, &one + 1, &c.src, 0);
        b.scale_span(&scaled, &scaled + 1, &c.src, 0, 1024);
        b.clone()->copy_span(&cloned, &cloned + 1, &c.src, 0);
        EXPECT_EQ(std::vector<uint16_t>({ one, scaled, cloned }), std::vector<uint16_t>(3, c.expected)) << c.name;
    }
    EXPECT_EQ(&level_blitter(0), &keyed_blitter());
    std::pair<int32_t, int32_t> const alpha_rule[]
        = { { 64, 1 }, { 63, 0 }, { 300, 4 }, { -1, -1 }, { 128, 2 }, { 255, 3 } };
    for (auto const& [alpha, rule] : alpha_rule)
        EXPECT_EQ(&alpha_blitter(alpha), &blitter(rule)) << alpha;
    // 1.5 source pixels per destination pixel; how shift and tile spans index the source is checked below.
    uint16_t const src[] = { 10, 11, 12, 13, 14, 15 };
    uint16_t dst[4] = {};
    plain_blitter().scale_span(dst, dst + 4, src, 0, 1536);
    EXPECT_EQ(std::vector<uint16_t>(dst, dst + 4), (std::vector<uint16_t> { 10, 11, 13, 14 }));
    // The widened spans (whole copies, doubled pixels, repeated stretches, vector tails of every width) agree
    // with the per-pixel rule, for every blitter on every instruction set this processor runs, any start and
    // length.
    std::vector<uint16_t> source;
    for (int i = 0; i < 80; ++i)
        source.push_back(i % 5 == 0 ? 0xF81F : static_cast<uint16_t>(0x1000 * (i % 16) + 0x21 * i));
    // The source index of destination pixel k of a span from `first`, tiled over [from, to) with a shift.
    auto index = [](int first, int k, int from, int to, int shift) {
        int i = first + k;
        while (to > 0 && i >= to)
            i -= to - from;
        return i >> shift;
    };
    for (auto set : span_instruction_sets())
        for (int32_t rule = -1; rule <= 5; ++rule) {
            auto const b = make_blitter(rule, set);
            for (int first = 0; first < 3; ++first)
                for (int count = 0; count < 70; count += 3) {
                    std::vector<std::vector<uint16_t>> got(4, std::vector<uint16_t>(count, 0x5AA5)), want = got;
                    b->copy_span(got[0].data(), got[0].data() + count, source.data() + first, 0);
                    b->shift_span(got[1].data(), source.data(), first, count, 1);
                    b->tile_span(got[2].data(), source.data(), first, count, 0, 1, 11);
                    b->tile_span(got[3].data(), source.data(), first, count, 1, 2, 22);
                    for (int k = 0; k < count; ++k) {
                        int const from[] = { index(first, k, 0, 0, 0), index(first, k, 0, 0, 1),
                            index(first, k, 1, 11, 0), index(first, k, 2, 22, 1) };
                        for (int op = 0; op < 4; ++op)
                            b->copy_span(&want[op][k], &want[op][k] + 1, &source[from[op]], 0);
                    }
                    for (int op = 0; op < 4; ++op)
                        ASSERT_EQ(got[op], want[op])
                            << set << " rule " << rule << " op " << op << " " << first << " " << count;
                }
        }
}

} // namespace
