#include "SkinTestSupport.h"

#include <skin/PictureRef.h>

using namespace skin;
using skin_testing::expect_pixels;
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

// The 10 x 10 numbered picture cut at 4 and 6 both ways, unless told otherwise.
PictureRef grid_ref(int32_t shift = 0, std::array<int32_t, 4> xs = { 0, 4, 6, 10 },
    std::array<int32_t, 4> ys = { 0, 4, 6, 10 }, PictureHandle picture = numbered_picture(10, 10))
{
    PictureRef ref;
    for (int i = 0; i < 4; ++i)
        ref.corners[i] = { xs[i] << shift, ys[i] << shift };
    ref.picture = std::move(picture);
    ref.scale_shift = shift;
    return ref;
}

// A surface of the size filled with the background.
std::unique_ptr<RenderSurface> blank(Point size)
{
    auto surface = std::make_unique<RenderSurface>(size);
    fill_bitmap(*surface->bitmap(), BACKGROUND);
    return surface;
}

// The middle columns repeat to fill a wider size, and are cut first when it is narrower.
TEST(Drawing, NineGridsBlitsStretchesAndFills)
{
    std::pair<int32_t, std::vector<int>> const cases[]
        = { { 20, { 0, 1, 2, 3, 4, 5, 4, 5, 4, 5, 4, 5, 4, 5, 4, 5, 6, 7, 8, 9 } }, { 6, { 0, 1, 2, 4, 8, 9 } },
              { 8, { 0, 1, 2, 3, 4, 7, 8, 9 } }, { 10, { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9 } }, { 1, { 4 } },
              { 2, { 0, 4 } } };
    for (auto const& [width, expected] : cases) {
        auto const surface = blank({ 32, 4 });
        draw_picture(*surface, { 0, 0 }, { width, 1 }, grid_ref(), plain_blitter());
        std::vector<int> columns; // the source column of each pixel of row 0
        for (int32_t x = 0; x < width; ++x)
            columns.push_back(surface->bitmap()->at(x, 0) == BACKGROUND ? -1 : surface->bitmap()->at(x, 0) % 100);
        EXPECT_EQ(columns, expected) << width;
        EXPECT_EQ(surface->bitmap()->at(width, 0), BACKGROUND) << "drawn past " << width;
    }
    // The middle rows repeat downwards too; a scale shift doubles every pixel.
    auto const surface = blank({ 24, 24 });
    draw_picture(*surface, { 0, 0 }, { 10, 12 }, grid_ref(), plain_blitter());
    std::vector<int> rows;
    for (int32_t y = 0; y < 12; ++y)
        rows.push_back(surface->bitmap()->at(0, y) / 100);
    EXPECT_EQ(rows, (std::vector<int> { 0, 1, 2, 3, 4, 5, 4, 5, 6, 7, 8, 9 }));
    auto const doubled = blank({ 24, 24 });
    draw_picture(*doubled, { 0, 0 }, { 20, 20 }, grid_ref(1), plain_blitter());
    expect_pixels(*doubled->bitmap(), [](int32_t x, int32_t y) {
        return (x < 20 && y < 20) ? static_cast<uint16_t>(100 * (y / 2) + x / 2) : BACKGROUND;
    });
    auto const whole = blank({ 20, 1 });
    auto const clipped = blank({ 20, 1 });
    auto const ref = grid_ref(0, { 0, 4, 6, 10 }, { 0, 0, 1, 1 });
    draw_picture(*whole, { 0, 0 }, { 20, 1 }, ref, plain_blitter());
    {
        ClipGuard guard(*clipped, { 5, 0 }, { 12, 1 });
        draw_picture(*clipped, { 0, 0 }, { 20, 1 }, ref, plain_blitter());
    }
    expect_pixels(*clipped->bitmap(),
        [&](int32_t x, int32_t y) { return (x >= 5 && x < 17) ? whole->bitmap()->at(x, y) : BACKGROUND; });
    auto const clipped_blit = blank({ 12, 12 });
    blit(*clipped_blit, { -3, -3 }, { 10, 10 }, numbered_picture(10, 10)->bitmap(), { 0, 0 }, plain_blitter());
    expect_pixels(*clipped_blit->bitmap(), [](int32_t x, int32_t y) {
        return (x < 7 && y < 7) ? static_cast<uint16_t>(100 * (y + 3) + x + 3) : BACKGROUND;
    });
    // Nine-grid corners outside the picture or out of order, and blits whose source leaves its bitmap.
    auto const untouched = blank({ 16, 16 });
    auto const picture = numbered_picture(4, 4);
    for (std::array<int32_t, 4> xs : { std::array<int32_t, 4> { 0, 1, 2, 9 }, { 0, 3, 2, 4 } })
        draw_picture(*untouched, { 0, 0 }, { 16, 16 }, grid_ref(0, xs, { 0, 1, 2, 3 }, picture), plain_blitter());
    draw_picture(*untouched, { 0, 0 }, { 16, 16 }, PictureRef {}, plain_blitter());
    blit(*untouched, { 0, 0 }, { 4, 4 }, picture->bitmap(), { 1, 0 }, plain_blitter());
    blit(*untouched, { 0, 0 }, { 2, 2 }, picture->bitmap(), { -1, 0 }, plain_blitter());
    stretch_blit(*untouched, { 0, 0 }, { 8, 8 }, picture->bitmap(), { 0, 2 }, { 4, 4 }, plain_blitter());
    expect_pixels(*untouched->bitmap(), [](int32_t, int32_t) { return BACKGROUND; });
    auto const stretched = blank({ 8, 2 });
    {
        // The clipped start must advance the source by the clipped amount times the step.
        ClipGuard guard(*stretched, { 1, 0 }, { 7, 8 });
        stretch_blit(
            *stretched, { 0, 0 }, { 8, 2 }, numbered_picture(4, 4)->bitmap(), { 0, 1 }, { 4, 2 }, plain_blitter());
    }
    int const column[] = { -1, 0, 1, 1, 2, 2, 3, 3 };
    expect_pixels(*stretched->bitmap(),
        [&](int32_t x, int32_t y) { return x == 0 ? BACKGROUND : static_cast<uint16_t>(100 * (y + 1) + column[x]); });
    // A fill converts the colour and stays in a clip, which intersects and restores.
    auto const filled = blank({ 7, 3 });
    {
        ClipGuard guard(*filled, { 1, 1 }, { 100, 100 });
        fill(*filled, { -5, -5 }, { 9, 8 }, Color { 0xFF, 0x84, 0x10, 0 });
    }
    expect_pixels(*filled->bitmap(),
        [](int32_t x, int32_t y) { return (x >= 1 && x < 4 && y >= 1) ? uint16_t(0xFC22) : BACKGROUND; });
    RenderSurface guarded(Point { 50, 40 });
    {
        ClipGuard outer(guarded, { 10, 10 }, { 100, 20 });
        EXPECT_EQ(guarded.clip(), (ClipRect { 10, 10, 50, 30 }));
        {
            ClipGuard inner(guarded, { 60, 0 }, { 5, 5 });
            EXPECT_EQ(std::tuple(guarded.clip().empty(), guarded.clip_depth()), std::tuple(true, 2));
        }
        EXPECT_EQ(guarded.clip(), (ClipRect { 10, 10, 50, 30 }));
    }
    EXPECT_EQ(std::tuple(guarded.clip(), guarded.clip_depth()), std::tuple(ClipRect { 0, 0, 50, 40 }, 0));
}

TEST(RenderSurface, RecreateCountsOwnedPixelsAndBlitToCopiesTheWholeBitmap)
{
    int64_t const before = RenderSurface::owned_pixels();
    {
        RenderSurface surface;
        EXPECT_TRUE(!surface.recreate({ 0, 0 }) && surface.recreate({ 10, 3 }));
        EXPECT_FALSE(surface.recreate({ 10, 3 }));
        EXPECT_EQ(std::tuple(surface.bitmap()->stride(), RenderSurface::owned_pixels()), std::tuple(20, before + 30));
        EXPECT_TRUE(surface.recreate({ 5, 5 }));
        EXPECT_EQ(std::tuple(surface.bitmap()->stride(), RenderSurface::owned_pixels()), std::tuple(12, before + 25));
        EXPECT_TRUE(surface.recreate({ 0, 0 }) && surface.size() == (Point { 0, 0 }));
        fill(surface, { 0, 0 }, { 5, 5 }, Color {}); // no bitmap: nothing happens
        surface.recreate({ 4, 4 });
    }
    EXPECT_EQ(RenderSurface::owned_pixels(), before);
    RenderSurface source(Point { 2, 2 });
    fill_bitmap(*source.bitmap(), 0xF81F);
    source.bitmap()->at(1, 1) = 0x1234;
    auto const target = blank({ 4, 4 });
    source.blit_to(*target, { 2, 2 }, keyed_blitter());
    expect_pixels(*target->bitmap(), [](int32_t x, int32_t y) { return x == 3 && y == 3 ? 0x1234 : BACKGROUND; });
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

} // namespace
