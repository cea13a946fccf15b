#include "SkinTestSupport.h"

#include <gtest/gtest.h>
#include <skin/Blitter.h>
#include <skin/Drawing.h>
#include <skin/PictureRef.h>

#include <vector>

using namespace skin;
using skin_testing::fill_bitmap;

namespace {

constexpr uint16_t BACKGROUND = 0x0841;

// A picture whose pixel (x, y) is 100 * y + x, so that every drawn pixel tells where it came from.
PictureHandle numbered_picture(int32_t width, int32_t height)
{
    auto bitmap = std::make_unique<Bitmap565>(width, height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            bitmap->at(x, y) = static_cast<uint16_t>(100 * y + x);
    return std::make_shared<PictureHolder const>(u"numbered", std::move(bitmap));
}

PictureRef grid_ref(PictureHandle picture, std::array<int32_t, 4> xs, std::array<int32_t, 4> ys, int32_t shift = 0)
{
    PictureRef ref;
    for (int i = 0; i < 4; ++i)
        ref.corners[i] = { xs[i] << shift, ys[i] << shift };
    ref.picture = std::move(picture);
    ref.scale_shift = shift;
    return ref;
}

// The source column of each destination pixel of row 0 (row 0 of the picture is 0..width-1).
std::vector<int> columns(Bitmap565 const& bitmap, int32_t width)
{
    std::vector<int> result;
    for (int32_t x = 0; x < width; ++x)
        result.push_back(bitmap.at(x, 0) == BACKGROUND ? -1 : bitmap.at(x, 0) % 100);
    return result;
}

struct GridCase {
    int32_t width;
    std::vector<int> expected;
};

class NineGridAcross : public testing::TestWithParam<GridCase> { };

TEST_P(NineGridAcross, CutsOrRepeatsColumns)
{
    auto const& c = GetParam();
    RenderSurface surface(Point { 32, 4 });
    fill_bitmap(*surface.bitmap(), BACKGROUND);
    draw_picture(surface, { 0, 0 }, { c.width, 1 },
        grid_ref(numbered_picture(10, 10), { 0, 4, 6, 10 }, { 0, 4, 6, 10 }), plain_blitter());
    EXPECT_EQ(columns(*surface.bitmap(), c.width), c.expected);
    EXPECT_EQ(surface.bitmap()->at(c.width, 0), BACKGROUND) << "drawn past the size";
}

INSTANTIATE_TEST_SUITE_P(Widths, NineGridAcross,
    testing::Values(GridCase { 20, { 0, 1, 2, 3, 4, 5, 4, 5, 4, 5, 4, 5, 4, 5, 4, 5, 6, 7, 8, 9 } },
        GridCase { 6, { 0, 1, 2, 4, 8, 9 } }, GridCase { 8, { 0, 1, 2, 3, 4, 7, 8, 9 } },
        GridCase { 10, { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9 } }, GridCase { 1, { 4 } }, GridCase { 2, { 0, 4 } }));

TEST(NineGrid, MiddleRowsRepeatDownwards)
{
    RenderSurface surface(Point { 10, 12 });
    fill_bitmap(*surface.bitmap(), BACKGROUND);
    draw_picture(surface, { 0, 0 }, { 10, 12 }, grid_ref(numbered_picture(10, 10), { 0, 4, 6, 10 }, { 0, 4, 6, 10 }),
        plain_blitter());
    std::vector<int> rows;
    for (int32_t y = 0; y < 12; ++y)
        rows.push_back(surface.bitmap()->at(0, y) / 100);
    EXPECT_EQ(rows, (std::vector<int> { 0, 1, 2, 3, 4, 5, 4, 5, 6, 7, 8, 9 }));
}

TEST(NineGrid, ScaleShiftDoublesEveryPixel)
{
    RenderSurface surface(Point { 24, 24 });
    fill_bitmap(*surface.bitmap(), BACKGROUND);
    draw_picture(surface, { 0, 0 }, { 20, 20 }, grid_ref(numbered_picture(10, 10), { 0, 4, 6, 10 }, { 0, 4, 6, 10 }, 1),
        plain_blitter());
    for (int32_t y = 0; y < 24; ++y)
        for (int32_t x = 0; x < 24; ++x) {
            uint16_t const expected = (x < 20 && y < 20) ? static_cast<uint16_t>(100 * (y / 2) + x / 2) : BACKGROUND;
            ASSERT_EQ(surface.bitmap()->at(x, y), expected) << x << "," << y;
        }
}

TEST(NineGrid, ClippingKeepsThePhaseOfTheMiddle)
{
    RenderSurface whole(Point { 20, 1 });
    RenderSurface clipped(Point { 20, 1 });
    auto const ref = grid_ref(numbered_picture(10, 10), { 0, 4, 6, 10 }, { 0, 0, 1, 1 });
    draw_picture(whole, { 0, 0 }, { 20, 1 }, ref, plain_blitter());
    fill_bitmap(*clipped.bitmap(), BACKGROUND);
    {
        ClipGuard guard(clipped, { 5, 0 }, { 12, 1 });
        draw_picture(clipped, { 0, 0 }, { 20, 1 }, ref, plain_blitter());
    }
    for (int32_t x = 0; x < 20; ++x)
        EXPECT_EQ(clipped.bitmap()->at(x, 0), (x >= 5 && x < 17) ? whole.bitmap()->at(x, 0) : BACKGROUND) << x;
}

TEST(NineGrid, CornersOutsideThePictureDrawNothing)
{
    RenderSurface surface(Point { 16, 16 });
    fill_bitmap(*surface.bitmap(), BACKGROUND);
    draw_picture(surface, { 0, 0 }, { 16, 16 }, grid_ref(numbered_picture(4, 4), { 0, 1, 2, 9 }, { 0, 1, 2, 3 }),
        plain_blitter());
    draw_picture(surface, { 0, 0 }, { 16, 16 }, grid_ref(numbered_picture(4, 4), { 0, 3, 2, 4 }, { 0, 1, 2, 3 }),
        plain_blitter());
    draw_picture(surface, { 0, 0 }, { 16, 16 }, PictureRef {}, plain_blitter());
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 16; ++x)
            ASSERT_EQ(surface.bitmap()->at(x, y), BACKGROUND);
}

TEST(Blit, ClipExampleCopiesLowerRightBlock)
{
    RenderSurface surface(Point { 12, 12 });
    fill_bitmap(*surface.bitmap(), BACKGROUND);
    auto const picture = numbered_picture(10, 10);
    blit(surface, { -3, -3 }, { 10, 10 }, picture->bitmap(), { 0, 0 }, plain_blitter());
    for (int32_t y = 0; y < 12; ++y)
        for (int32_t x = 0; x < 12; ++x) {
            uint16_t const expected = (x < 7 && y < 7) ? static_cast<uint16_t>(100 * (y + 3) + x + 3) : BACKGROUND;
            ASSERT_EQ(surface.bitmap()->at(x, y), expected) << x << "," << y;
        }
}

TEST(Blit, SourceLeavingItsBitmapDrawsNothing)
{
    RenderSurface surface(Point { 8, 8 });
    fill_bitmap(*surface.bitmap(), BACKGROUND);
    auto const picture = numbered_picture(4, 4);
    blit(surface, { 0, 0 }, { 4, 4 }, picture->bitmap(), { 1, 0 }, plain_blitter());
    blit(surface, { 0, 0 }, { 2, 2 }, picture->bitmap(), { -1, 0 }, plain_blitter());
    stretch_blit(surface, { 0, 0 }, { 8, 8 }, picture->bitmap(), { 0, 2 }, { 4, 4 }, plain_blitter());
    EXPECT_EQ(surface.bitmap()->at(0, 0), BACKGROUND);
}

TEST(Blit, StretchTakesNearestSourcePixels)
{
    RenderSurface surface(Point { 8, 8 });
    fill_bitmap(*surface.bitmap(), BACKGROUND);
    auto const picture = numbered_picture(4, 4);
    {
        // The clipped start must advance the source by the clipped amount times the step.
        ClipGuard guard(surface, { 1, 0 }, { 7, 8 });
        stretch_blit(surface, { 0, 0 }, { 8, 2 }, picture->bitmap(), { 0, 1 }, { 4, 2 }, plain_blitter());
    }
    std::vector<uint16_t> row0, row1;
    for (int32_t x = 0; x < 8; ++x) {
        row0.push_back(surface.bitmap()->at(x, 0));
        row1.push_back(surface.bitmap()->at(x, 1));
    }
    EXPECT_EQ(row0, (std::vector<uint16_t> { BACKGROUND, 100, 101, 101, 102, 102, 103, 103 }));
    EXPECT_EQ(row1, (std::vector<uint16_t> { BACKGROUND, 200, 201, 201, 202, 202, 203, 203 }));
}

TEST(Fill, ConvertsColourAndStaysInClip)
{
    RenderSurface surface(Point { 7, 3 });
    fill_bitmap(*surface.bitmap(), BACKGROUND);
    {
        ClipGuard guard(surface, { 1, 1 }, { 100, 100 });
        fill(surface, { -5, -5 }, { 9, 8 }, Color { 0xFF, 0x84, 0x10, 0 });
    }
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 7; ++x)
            EXPECT_EQ(surface.bitmap()->at(x, y), (x >= 1 && x < 4 && y >= 1) ? 0xFC22 : BACKGROUND) << x << "," << y;
}

TEST(ClipGuard, IntersectsAndRestores)
{
    RenderSurface surface(Point { 50, 40 });
    {
        ClipGuard outer(surface, { 10, 10 }, { 100, 20 });
        EXPECT_EQ(surface.clip(), (ClipRect { 10, 10, 50, 30 }));
        {
            ClipGuard inner(surface, { 60, 0 }, { 5, 5 });
            EXPECT_TRUE(surface.clip().empty());
            EXPECT_EQ(surface.clip_depth(), 2);
        }
        EXPECT_EQ(surface.clip(), (ClipRect { 10, 10, 50, 30 }));
    }
    EXPECT_EQ(surface.clip(), (ClipRect { 0, 0, 50, 40 }));
    EXPECT_EQ(surface.clip_depth(), 0);
}

TEST(RenderSurface, RecreateCountsOwnedPixels)
{
    int64_t const before = RenderSurface::owned_pixels();
    {
        RenderSurface surface;
        EXPECT_FALSE(surface.recreate({ 0, 0 }));
        EXPECT_TRUE(surface.recreate({ 10, 3 }));
        EXPECT_EQ(surface.bitmap()->stride(), 20);
        EXPECT_FALSE(surface.recreate({ 10, 3 }));
        EXPECT_EQ(RenderSurface::owned_pixels(), before + 30);
        EXPECT_TRUE(surface.recreate({ 5, 5 }));
        EXPECT_EQ(surface.bitmap()->stride(), 12);
        EXPECT_EQ(RenderSurface::owned_pixels(), before + 25);
        EXPECT_TRUE(surface.recreate({ 0, 0 }));
        EXPECT_EQ(surface.size(), (Point { 0, 0 }));
        fill(surface, { 0, 0 }, { 5, 5 }, Color {}); // no bitmap: nothing happens
        surface.recreate({ 4, 4 });
    }
    EXPECT_EQ(RenderSurface::owned_pixels(), before);
}

TEST(RenderSurfaceDeathTest, ResizingUnderAClipIsFatal)
{
    EXPECT_EXIT(
        {
            RenderSurface surface(Point { 4, 4 });
            ClipGuard guard(surface, { 0, 0 }, { 2, 2 });
            surface.recreate({ 8, 8 });
        },
        testing::ExitedWithCode(core::FATAL_EXIT_CODE), "Clip is in effect, cannot resize");
}

TEST(RenderSurface, BlitToCopiesWholeBitmap)
{
    RenderSurface source(Point { 2, 2 });
    fill_bitmap(*source.bitmap(), 0xF81F);
    source.bitmap()->at(1, 1) = 0x1234;
    RenderSurface target(Point { 4, 4 });
    fill_bitmap(*target.bitmap(), BACKGROUND);
    source.blit_to(target, { 2, 2 }, keyed_blitter());
    EXPECT_EQ(target.bitmap()->at(2, 2), BACKGROUND);
    EXPECT_EQ(target.bitmap()->at(3, 3), 0x1234);
}

} // namespace
