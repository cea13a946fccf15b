#include "SkinTestSupport.h"

#include <skin/FontRep.h>
#include <skin/TextLayout.h>

using namespace skin;

namespace {

// Character heights of points at 96 dpi, scaled; "Tahoma" resolves to an installed face whose pixel
// height is close to the height asked. Its name is cut at 31 characters.
TEST(FontRep, HeightsWidthsFitsEdgesTabsAndLineFeeds)
{
    struct {
        int32_t size, scale, dpi, height;
    } const cases[] = { { 12, 1, 96, -16 }, { 12, 2, 192, -32 }, { 10, 1, 96, -13 }, { 7, 1, 96, -9 } };
    for (auto const& c : cases) {
        FontRep const sized(FontDesc { .size = c.size, .scale = c.scale }, c.dpi);
        EXPECT_EQ(std::tuple(sized.requested_height(), sized.has_face()), std::tuple(c.height, true)) << c.size;
        EXPECT_TRUE(sized.height() >= -c.height && sized.height() <= -c.height * 3 / 2 + 2) << sized.height();
    }
    core::String const face = u"DejaVu Sans Condensed Extra Long Face Name";
    FontRep const sized(FontDesc { .face = face });
    EXPECT_EQ(std::tuple(sized.requested_face(), sized.description().face), std::tuple(face.substr(0, 31), face));
    FontRep const plain { FontDesc {} };
    uint64_t const start = plain.platform_requests();
    // Each text is shaped once; measuring it again asks the platform nothing.
    auto const first = plain.measure(u"aaa");
    EXPECT_EQ(plain.platform_requests(), start + 1);
    EXPECT_EQ(
        std::tuple(plain.measure(u"aaa").width, plain.measure(u"a").width * 3), std::tuple(first.width, first.width));
    EXPECT_EQ(plain.platform_requests(), start + 2);
    plain.measure(u"abba");
    plain.measure(u"abba");
    EXPECT_EQ(plain.platform_requests(), start + 3);
    // Widths 5, 6 and 7: the running sum 11 first exceeds 10 at the second character.
    std::vector<int32_t> const sums = { 5, 11, 18 };
    std::pair<int32_t, int32_t> const fits[] = { { 10, 1 }, { 11, 2 }, { 4, 0 }, { 18, 3 } };
    for (auto const& [max_width, fit] : fits)
        EXPECT_EQ(FontRep::fit_count(sums, max_width), fit) << max_width;
    // Zero-width characters after the limit do not fit either.
    EXPECT_EQ(FontRep::fit_count(std::vector<int32_t> { 5, 5, 11 }, 5), 2);
    // measure() reports the character edges, counts the fit against them, and measures the whole text anyway.
    FontRep const font { FontDesc {} };
    std::vector<int32_t> edges;
    auto const all = font.measure(u"iMW", 0, &edges);
    ASSERT_TRUE(edges.size() == 3 && 0 < edges[0] && edges[0] < edges[1] && edges[1] < edges[2]);
    EXPECT_EQ(std::tuple(all.width, all.height), std::tuple(edges[2], font.height()));
    EXPECT_EQ(std::tuple(font.measure(u"iMW", edges[1] - 1).fit, font.measure(u"iMW", edges[1]).fit,
                  font.measure(u"iMW", edges[2]).fit, font.measure(u"iMW", edges[1] - 1).width),
        std::tuple(1, 2, 3, edges[2]));
    EXPECT_EQ(std::tuple(font.measure(u"", 10).width, font.measure(u"", 10).height), std::tuple(0, 0));
    // Tabs are four blanks and line feeds start lines.
    EXPECT_EQ(std::tuple(font.measure(u"a\tb").width, font.measure(u"\t").width, font.text_extent(u"ab\nWWW"),
                  font.text_extent(u"").x),
        std::tuple(font.measure(u"a    b").width, 4 * font.measure(u" ").width,
            Point { font.measure(u"WWW").width, 2 * font.height() }, 0));
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
                    first = first < 0 ? x : first;
                    last = x;
                }
        return { first, last };
    }

    std::pair<int, int> draw(core::StringView text, HAlign align)
    {
        skin_testing::fill_bitmap(*surface.bitmap(), PAPER);
        font.draw_text(
            surface, text, { 10, 5 }, { 100, 30 }, TextStyle { .color = { 255, 255, 255, 255 }, .halign = align });
        return ink_columns();
    }

    FontRep const font { FontDesc {} };
    RenderSurface surface { Point { 120, 40 } };
};

TEST_F(TextDrawing, InkStaysInTheBoxFollowsTheAlignmentAndTheClip)
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
    auto const left = draw(u"Hi", HAlign::LEFT);
    auto const centre = draw(u"Hi", HAlign::CENTER);
    EXPECT_TRUE(left.first < 15 && draw(u"Hi", HAlign::RIGHT).second > 100);
    EXPECT_NEAR((centre.first + centre.second) / 2.0, 60, 3);
    EXPECT_EQ(draw(u"Hi", HAlign::JUSTIFY), left);
    {
        ClipGuard guard(surface, { 0, 0 }, { 14, 40 });
        draw(u"WWWW", HAlign::LEFT);
    }
    auto const [first, last] = ink_columns();
    EXPECT_TRUE(first >= 10 && last < 14) << first << ".." << last;
    // Without wrap a line feed is a blank.
    draw(u"a b", HAlign::LEFT);
    std::vector<uint16_t> const blank(surface.bitmap()->pixels(), surface.bitmap()->pixels() + 60 * 40);
    draw(u"a\nb", HAlign::LEFT);
    EXPECT_EQ(std::vector<uint16_t>(surface.bitmap()->pixels(), surface.bitmap()->pixels() + 60 * 40), blank);
    // A laid-out text in a box lower than one line shows nothing instead of spilling over; one line fits.
    TextLayout const layout(font, u"Paused", false, 100);
    for (int32_t const height : { font.height() - 1, font.height() }) {
        skin_testing::fill_bitmap(*surface.bitmap(), PAPER);
        layout.draw(surface, { 10, 20 }, { 100, height }, TextStyle { .color = { 255, 255, 255, 255 } });
        EXPECT_EQ(ink_columns().first >= 0, height == font.height()) << height;
    }
}

TEST(TextLayout, PrepareMakesBlanksAndWrapBreaksWhereLinesMayEndWithinTheWidth)
{
    std::tuple<core::StringView, bool, core::StringView> const cases[]
        = { { u"a\tb", false, u"a    b" }, { u"a\tb", true, u"a    b" }, { u"a\nb", false, u"a b" },
              { u"a\r\nb", false, u"a  b" }, { u"a\nb", true, u"a\nb" } };
    for (auto const& [text, wrap, prepared] : cases)
        EXPECT_EQ(TextLayout::prepare(text, wrap), prepared) << core::to_utf8(text) << " " << wrap;
    // Lines break at blanks and never exceed the width; a word wider than the element is cut between
    // characters; without wrap everything is one line.
    FontRep const font { FontDesc {} };
    // The lines of a layout, each at most `width` wide.
    auto const lines_of = [&](TextLayout const& layout, int32_t width) {
        std::vector<core::String> lines;
        for (auto const& line : layout.lines()) {
            lines.push_back(line.text);
            EXPECT_LE(line.width, width) << core::to_utf8(line.text);
        }
        return lines;
    };
    int32_t const width = font.measure(u"three four").width, narrow = font.measure(u"WW").width;
    TextLayout const layout(font, u"one two three four\nfive", true, width);
    EXPECT_EQ(lines_of(layout, width), (std::vector<core::String> { u"one two", u"three four", u"five" }));
    EXPECT_EQ(layout.size().y, 3 * font.height());
    EXPECT_EQ(lines_of(TextLayout(font, u"WWWWWW", true, narrow), narrow),
        (std::vector<core::String> { u"WW", u"WW", u"WW" }));
    EXPECT_EQ(lines_of(TextLayout(font, u"one\ntwo", false, 1), INT32_MAX), std::vector<core::String> { u"one two" });
    // Chinese breaks between ideographs, but "？" never starts a line.
    int32_t const cjk = font.measure(u"删除 8 条录音").width;
    EXPECT_EQ(lines_of(TextLayout(font, u"删除 8 条录音？其文件", true, cjk), cjk),
        (std::vector<core::String> { u"删除 8 条录", u"音？其文件" }));
}

} // namespace
