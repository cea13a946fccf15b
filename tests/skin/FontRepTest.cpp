#include "SkinTestSupport.h"

#include <skin/FontRep.h>
#include <skin/TextLayout.h>

using namespace skin;

namespace {

FontDesc desc(int32_t size, int32_t scale = 1, core::String face = u"Tahoma")
{
    FontDesc d;
    d.size = size;
    d.scale = scale;
    d.face = std::move(face);
    return d;
}

// Character heights of points at 96 dpi, scaled; "Tahoma" resolves to an installed face whose pixel
// height is close to the height asked.
TEST(FontRep, HeightFollowsPointsAtNinetySixDpi)
{
    struct {
        int32_t size, scale, dpi, height;
    } const cases[] = { { 12, 1, 96, -16 }, { 12, 2, 192, -32 }, { 10, 1, 96, -13 }, { 7, 1, 96, -9 } };
    for (auto const& c : cases) {
        FontRep const font(desc(c.size, c.scale), c.dpi);
        EXPECT_EQ(font.requested_height(), c.height);
        EXPECT_TRUE(font.has_face());
        EXPECT_GE(font.height(), -c.height);
        EXPECT_LE(font.height(), -c.height * 3 / 2 + 2);
    }
}

TEST(FontRep, FaceNameIsCutAtThirtyOneCharacters)
{
    core::String const face = u"DejaVu Sans Condensed Extra Long Face Name";
    FontRep const font(desc(12, 1, face));
    EXPECT_EQ(font.requested_face(), face.substr(0, 31));
    EXPECT_EQ(font.description().face, face);
}

TEST(FontRep, WidthsAreAskedOncePerCharacter)
{
    FontRep const font(desc(12));
    uint64_t const start = font.platform_requests();
    auto const first = font.measure(u"aaa");
    EXPECT_EQ(font.platform_requests(), start + 1);
    EXPECT_EQ(font.measure(u"aaa").width, first.width);
    EXPECT_EQ(font.measure(u"a").width * 3, first.width);
    EXPECT_EQ(font.platform_requests(), start + 1);
    font.measure(u"abba");
    font.measure(u"baab");
    EXPECT_EQ(font.platform_requests(), start + 2);
}

TEST(FontRep, FitCountExample)
{
    // Widths 5, 6 and 7 with max_width 10: the running sum 11 first exceeds 10 at the second character.
    std::vector<int32_t> const edges = { 5, 11, 18 };
    EXPECT_EQ(FontRep::fit_count(edges, 10), 1);
    EXPECT_EQ(FontRep::fit_count(edges, 11), 2);
    EXPECT_EQ(FontRep::fit_count(edges, 4), 0);
    EXPECT_EQ(FontRep::fit_count(edges, 18), 3);
    // Zero-width characters after the limit do not fit either.
    EXPECT_EQ(FontRep::fit_count(std::vector<int32_t> { 5, 5, 11 }, 5), 2);
}

// measure() reports the character edges, counts the fit against them, and measures the whole text anyway.
TEST(FontRep, MeasureReportsEdgesAndFit)
{
    FontRep const font(desc(12));
    std::vector<int32_t> edges;
    auto const all = font.measure(u"iMW", 0, &edges);
    ASSERT_EQ(edges.size(), 3u);
    ASSERT_TRUE(0 < edges[0] && edges[0] < edges[1] && edges[1] < edges[2]);
    EXPECT_EQ(all.width, edges[2]);
    EXPECT_EQ(all.height, font.height());
    EXPECT_EQ(font.measure(u"iMW", edges[1] - 1).fit, 1);
    EXPECT_EQ(font.measure(u"iMW", edges[1]).fit, 2);
    EXPECT_EQ(font.measure(u"iMW", edges[2]).fit, 3);
    EXPECT_EQ(font.measure(u"iMW", edges[1] - 1).width, edges[2]);
    EXPECT_EQ(font.measure(u"", 10).width, 0);
    EXPECT_EQ(font.measure(u"", 10).height, 0);
}

TEST(FontRep, TabsAreFourBlanksAndLineFeedsStartLines)
{
    FontRep const font(desc(12));
    EXPECT_EQ(font.measure(u"a\tb").width, font.measure(u"a    b").width);
    EXPECT_EQ(font.measure(u"\t").width, 4 * font.measure(u" ").width);
    EXPECT_EQ(font.text_extent(u"ab\nWWW"), (Point { font.measure(u"WWW").width, 2 * font.height() }));
    EXPECT_EQ(font.text_extent(u"").x, 0);
}

// Text drawing on a tiny surface: where ink lands, and what it looks like.
class TextDrawing : public testing::Test {
protected:
    static constexpr uint16_t PAPER = 0x0000;

    // The columns holding ink, as [first, last]; (-1, -1) without ink.
    std::pair<int, int> ink_columns() const
    {
        int first = -1, last = -1;
        for (int32_t x = 0; x < 120; ++x)
            for (int32_t y = 0; y < 40; ++y)
                if (surface.bitmap()->at(x, y) != PAPER) {
                    if (first < 0)
                        first = x;
                    last = x;
                }
        return { first, last };
    }

    std::pair<int, int> draw(core::StringView text, HAlign align)
    {
        skin_testing::fill_bitmap(*surface.bitmap(), PAPER);
        TextStyle style;
        style.color = { 255, 255, 255, 255 };
        style.halign = align;
        font.draw_text(surface, text, { 10, 5 }, { 100, 30 }, style);
        return ink_columns();
    }

    FontRep const font { desc(12) };
    RenderSurface surface { Point { 120, 40 } };
};

TEST_F(TextDrawing, InkStaysInTheBoxAndIsMarkedOpaque)
{
    ASSERT_GE(draw(u"Hello", HAlign::LEFT).first, 10);
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 120; ++x) {
            uint16_t const pixel = surface.bitmap()->at(x, y);
            if (pixel != PAPER) {
                EXPECT_TRUE(pixel & Bitmap565::OPAQUE) << x << "," << y;
                EXPECT_TRUE(y >= 5 && y < 35 && x >= 10 && x < 110) << x << "," << y;
            }
        }
}

TEST_F(TextDrawing, AlignmentMovesTheLine)
{
    auto const left = draw(u"Hi", HAlign::LEFT);
    auto const centre = draw(u"Hi", HAlign::CENTER);
    auto const right = draw(u"Hi", HAlign::RIGHT);
    auto const justify = draw(u"Hi", HAlign::JUSTIFY);
    EXPECT_LT(left.first, 15);
    EXPECT_GT(right.second, 100);
    EXPECT_NEAR((centre.first + centre.second) / 2.0, 60, 3);
    EXPECT_EQ(justify, left);
}

TEST_F(TextDrawing, ClipLimitsTheInk)
{
    {
        ClipGuard guard(surface, { 0, 0 }, { 14, 40 });
        draw(u"WWWW", HAlign::LEFT);
    }
    auto const [first, last] = ink_columns();
    EXPECT_GE(first, 10);
    EXPECT_LT(last, 14);
}

TEST_F(TextDrawing, WithoutWrapLineFeedsAreBlanks)
{
    draw(u"a b", HAlign::LEFT);
    std::vector<uint16_t> const blank(surface.bitmap()->pixels(), surface.bitmap()->pixels() + 60 * 40);
    draw(u"a\nb", HAlign::LEFT);
    std::vector<uint16_t> const feed(surface.bitmap()->pixels(), surface.bitmap()->pixels() + 60 * 40);
    EXPECT_EQ(blank, feed);
}

TEST(TextLayout, PrepareTurnsTabsAndLineEndsIntoBlanks)
{
    EXPECT_EQ(TextLayout::prepare(u"a\tb", false), u"a    b");
    EXPECT_EQ(TextLayout::prepare(u"a\tb", true), u"a    b");
    EXPECT_EQ(TextLayout::prepare(u"a\nb", false), u"a b");
    EXPECT_EQ(TextLayout::prepare(u"a\r\nb", false), u"a  b");
    EXPECT_EQ(TextLayout::prepare(u"a\nb", true), u"a\nb");
}

TEST(TextLayout, WrapBreaksAtBlanksAndNeverExceedsTheWidth)
{
    FontRep const font(desc(12));
    int32_t const width = font.measure(u"three four").width;
    TextLayout const layout(font, u"one two three four\nfive", true, width);
    std::vector<core::String> lines;
    for (auto const& line : layout.lines()) {
        lines.push_back(line.text);
        EXPECT_LE(line.width, width);
    }
    EXPECT_EQ(lines, (std::vector<core::String> { u"one two", u"three four", u"five" }));
    EXPECT_EQ(layout.size().y, 3 * font.height());

    // A word wider than the element is cut between characters.
    TextLayout const narrow(font, u"WWWWWW", true, font.measure(u"WW").width);
    ASSERT_EQ(narrow.lines().size(), 3u);
    for (auto const& line : narrow.lines())
        EXPECT_EQ(line.text, u"WW");

    TextLayout const single(font, u"one\ntwo", false, 1);
    ASSERT_EQ(single.lines().size(), 1u);
    EXPECT_EQ(single.lines()[0].text, u"one two");
}

} // namespace
