#include <gtest/gtest.h>
#include <skin/Bitmap565.h>
#include <skin/Blitter.h>

#include <vector>

using namespace skin;

namespace {

struct PixelCase {
    char const* name;
    Blitter const& (*blitter)();
    uint16_t src;
    uint16_t dst;
    uint16_t expected;
};

Blitter const& keep_quarter()
{
    return level_blitter(1);
}
Blitter const& keep_half()
{
    return level_blitter(2);
}
Blitter const& keep_three_quarters()
{
    return level_blitter(3);
}
Blitter const& opaque_only()
{
    return level_blitter(4);
}

class BlitterRule : public testing::TestWithParam<PixelCase> { };

// Every span operation applies the same rule; check all four, and the vector path of copy_span (long
// spans) as well as its scalar tail.
TEST_P(BlitterRule, EverySpanOperationAppliesTheRule)
{
    auto const& c = GetParam();
    Blitter const& b = c.blitter();
    for (int length : { 1, 8, 19 }) {
        std::vector<uint16_t> src(length, c.src);
        std::vector<uint16_t> dst(length, c.dst);
        b.copy_span(dst.data(), dst.data() + length, src.data(), 0);
        EXPECT_EQ(dst, std::vector<uint16_t>(length, c.expected)) << "copy_span " << length;
        dst.assign(length, c.dst);
        b.scale_span(dst.data(), dst.data() + length, src.data(), 0, 1024);
        EXPECT_EQ(dst, std::vector<uint16_t>(length, c.expected)) << "scale_span " << length;
        dst.assign(length, c.dst);
        b.shift_span(dst.data(), src.data(), 0, length, 1);
        EXPECT_EQ(dst, std::vector<uint16_t>(length, c.expected)) << "shift_span " << length;
        dst.assign(length, c.dst);
        b.tile_span(dst.data(), src.data(), 0, length, 0, 0, 3);
        EXPECT_EQ(dst, std::vector<uint16_t>(length, c.expected)) << "tile_span " << length;
    }
}

INSTANTIATE_TEST_SUITE_P(Rules, BlitterRule,
    testing::Values(PixelCase { "plain_copies_key", plain_blitter, 0xF81F, 0x1234, 0xF81F },
        PixelCase { "keyed_keeps_under_key", keyed_blitter, 0xF81F, 0x1234, 0x1234 },
        PixelCase { "keyed_copies_other", keyed_blitter, 0x1234, 0x0000, 0x1234 },
        PixelCase { "half_adds_half_of_destination", keep_half, 0x0000, 0xFFFF, 0x7BEF },
        PixelCase { "half_keeps_under_key", keep_half, 0xF81F, 0xFFFF, 0xFFFF },
        PixelCase { "half_copies_opaque", keep_half, 0x0020, 0xFFFF, 0x0020 },
        PixelCase { "quarter_adds_quarter", keep_quarter, 0x0000, 0xFFFF, 0x39E7 },
        PixelCase { "quarter_adds_to_source", keep_quarter, 0x0801, 0xFFFF, 0x41E8 },
        PixelCase { "three_quarters_adds_three_quarters", keep_three_quarters, 0x0000, 0xFFFF, 0xB5D6 },
        PixelCase { "opaque_only_copies_opaque", opaque_only, 0x1234, 0x0000, 0x1234 },
        PixelCase { "opaque_only_skips_unmarked", opaque_only, 0x1214, 0x0F0F, 0x0F0F },
        PixelCase { "opaque_only_skips_key", opaque_only, 0xF81F, 0x0F0F, 0x0F0F },
        PixelCase { "mark_changed_sets_opaque_bit", mark_changed_blitter, 0x1000, 0x0000, 0x1020 },
        PixelCase { "mark_changed_keeps_equal", mark_changed_blitter, 0x1000, 0x1000, 0x1000 }),
    [](auto const& info) { return std::string(info.param.name); });

TEST(Blitter, KeyedRowExample)
{
    uint16_t const src[] = { 0xF81F, 0x1234 };
    uint16_t dst[] = { 0x0000, 0x0000 };
    keyed_blitter().copy_span(dst, dst + 2, src, 0);
    EXPECT_EQ(dst[0], 0x0000);
    EXPECT_EQ(dst[1], 0x1234);
}

TEST(Blitter, AlphaSelectsLevel)
{
    EXPECT_EQ(&alpha_blitter(64), &level_blitter(1));
    EXPECT_EQ(&alpha_blitter(63), &keyed_blitter());
    EXPECT_EQ(&alpha_blitter(300), &level_blitter(4));
    EXPECT_EQ(&alpha_blitter(-1), &plain_blitter());
    EXPECT_EQ(&alpha_blitter(128), &level_blitter(2));
    EXPECT_EQ(&alpha_blitter(255), &level_blitter(3));
}

TEST(Blitter, SpansIndexTheSource)
{
    uint16_t const src[] = { 10, 11, 12, 13, 14, 15 };
    uint16_t dst[8] = {};
    // 1.5 source pixels per destination pixel.
    plain_blitter().scale_span(dst, dst + 4, src, 0, 1536);
    EXPECT_EQ(std::vector<uint16_t>(dst, dst + 4), (std::vector<uint16_t> { 10, 11, 13, 14 }));
    plain_blitter().shift_span(dst, src, 2, 5, 1);
    EXPECT_EQ(std::vector<uint16_t>(dst, dst + 5), (std::vector<uint16_t> { 11, 11, 12, 12, 13 }));
    // From index 3, wrapping from 4 back to 1.
    plain_blitter().tile_span(dst, src, 3, 8, 0, 1, 4);
    EXPECT_EQ(std::vector<uint16_t>(dst, dst + 8), (std::vector<uint16_t> { 13, 11, 12, 13, 11, 12, 13, 11 }));
}

TEST(Blitter, CloneAppliesTheSameRule)
{
    auto const copy = level_blitter(2).clone();
    uint16_t const src = 0x0000;
    uint16_t dst = 0xFFFF;
    copy->copy_span(&dst, &dst + 1, &src, 0);
    EXPECT_EQ(dst, 0x7BEF);
}

} // namespace

namespace {

// The widened spans (doubled pixels, repeated stretches, vector tails of every width) agree with the
// per-pixel rule, for every blitter on every instruction set this processor runs, any start and length.
TEST(Blitter, WideSpansAgreeWithThePixelRule)
{
    std::vector<uint16_t> source;
    for (int i = 0; i < 80; ++i)
        source.push_back(i % 5 == 0 ? 0xF81F : static_cast<uint16_t>(0x1000 * (i % 16) + 0x21 * i));
    std::vector<std::unique_ptr<Blitter>> blitters;
    for (auto set : span_instruction_sets())
        for (int32_t rule = -1; rule <= 5; ++rule)
            blitters.push_back(make_blitter(rule, set));
    for (auto const& b : blitters)
        for (int first = 0; first < 3; ++first)
            for (int count = 0; count < 70; count += 3) {
                std::vector<uint16_t> doubled(count, 0x5AA5), tiled(count, 0x5AA5), tiled_doubled(count, 0x5AA5);
                std::vector<uint16_t> want_doubled(count, 0x5AA5), want_tiled(count, 0x5AA5), want_td(count, 0x5AA5);
                b->shift_span(doubled.data(), source.data(), first, count, 1);
                b->tile_span(tiled.data(), source.data(), first, count, 0, 1, 11);
                b->tile_span(tiled_doubled.data(), source.data(), first, count, 1, 2, 22);
                for (int k = 0; k < count; ++k) {
                    uint16_t const s1 = source[(first + k) >> 1];
                    b->copy_span(&want_doubled[k], &want_doubled[k] + 1, &s1, 0);
                    int index = first + k;
                    while (index >= 11)
                        index -= 10;
                    b->copy_span(&want_tiled[k], &want_tiled[k] + 1, &source[index], 0);
                    int wide = first + k;
                    while (wide >= 22)
                        wide -= 20;
                    b->copy_span(&want_td[k], &want_td[k] + 1, &source[wide >> 1], 0);
                }
                // A plain copy of whole spans must match too.
                std::vector<uint16_t> copied(count, 0x5AA5), want_copied(count, 0x5AA5);
                b->copy_span(copied.data(), copied.data() + count, source.data() + first, 0);
                for (int k = 0; k < count; ++k)
                    b->copy_span(&want_copied[k], &want_copied[k] + 1, &source[first + k], 0);
                ASSERT_EQ(copied, want_copied) << first << " " << count;
                ASSERT_EQ(doubled, want_doubled) << first << " " << count;
                ASSERT_EQ(tiled, want_tiled) << first << " " << count;
                ASSERT_EQ(tiled_doubled, want_td) << first << " " << count;
            }
}

} // namespace
