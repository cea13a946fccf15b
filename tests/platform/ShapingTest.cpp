// Text in every script of the address book: shaped as HarfBuzz's own hb-shape shapes it, from the face
// fontconfig chooses, in visual order, elided and broken between graphemes only.
#include <TestSupport.h>
#include <platform/display/fonts.h>
#include <platform/text.h>

#include <sstream>

using namespace testing_support;

namespace {

std::shared_ptr<platform::Font> sans(int32_t pixels = 16)
{
    platform::FontSpec spec;
    spec.height = -pixels;
    spec.face = u"DejaVu Sans";
    return platform::create_font(spec);
}

std::vector<uint32_t> glyphs_of(platform::Font const* font, std::u16string_view text)
{
    std::vector<uint32_t> glyphs;
    for (auto const& g : platform::shaped_glyphs(font, text))
        glyphs.push_back(g.glyph);
    return glyphs;
}

// hb-shape's glyph indices for the text in one face, as it prints them: "[12|40|7]".
std::vector<uint32_t> hb_shape(std::string const& file, int32_t index, std::u16string_view text)
{
    auto const result = run("hb-shape --no-glyph-names --no-positions --no-clusters --font-file='" + file
        + "' --face-index=" + std::to_string(index) + " --text='" + platform::to_utf8(text) + "'");
    EXPECT_EQ(result.exit_code, 0) << result.error;
    std::string line = result.output.substr(0, result.output.find('\n'));
    std::vector<uint32_t> glyphs;
    if (line.size() < 2)
        return glyphs;
    std::istringstream fields(line.substr(1, line.size() - 2));
    for (std::string field; std::getline(fields, field, '|');)
        glyphs.push_back(static_cast<uint32_t>(std::stoul(field)));
    return glyphs;
}

TEST(Shaping, NamesInEveryScriptMatchHbShapeInTheFaceChosenAndNoneIsMissing)
{
    auto const font = sans();
    ASSERT_TRUE(font);
    struct {
        char const* script;
        std::u16string_view name;
    } const names[] = { { "Latin", u"Zoë Ångström-Núñez" }, { "Cyrillic", u"Мария Ёлкина" },
        { "Greek", u"Ελένη Παπαδοπούλου" }, { "Chinese", u"王小明" }, { "Japanese", u"山田はなこ" },
        { "Korean", u"김민준" }, { "Arabic", u"عبدالله" }, { "Hebrew", u"דוד" }, { "Devanagari", u"प्रियंका" },
        { "Thai", u"สมชาย" }, { "emoji", u"😀👍🏽👨‍👩‍👧🇺🇦" } };
    for (auto const& [script, name] : names) {
        auto const shaped = platform::shaped_glyphs(font.get(), name);
        ASSERT_FALSE(shaped.empty()) << script;
        EXPECT_EQ(platform::missing_glyphs(font.get(), name), 0) << script;
        // One face draws each name (the skin's own for the scripts it has, a fallback for the others).
        bool const one_face = std::all_of(shaped.begin(), shaped.end(),
            [&](auto const& g) { return g.file == shaped.front().file && g.face_index == shaped.front().face_index; });
        ASSERT_TRUE(one_face) << script << ": " << shaped.front().file << " and " << shaped.back().file;
        EXPECT_EQ(glyphs_of(font.get(), name), hb_shape(shaped.front().file, shaped.front().face_index, name))
            << script << " in " << shaped.front().file;
        // No box: the glyph 0 of a face is its box.
        EXPECT_TRUE(std::none_of(shaped.begin(), shaped.end(), [](auto const& g) { return g.glyph == 0; })) << script;
    }
    // Emoji come from a colour face.
    EXPECT_NE(platform::shaped_glyphs(font.get(), u"😀").front().file.find("Emoji"), std::string::npos);
    // Characters that no installed font has are counted; ones that never show are not.
    std::pair<std::u16string_view, int32_t> const missing[]
        = { { u"a\u0378b\U0010FFFD", 2 }, { u"a\u200Db\uFE0F\t", 0 }, { u"\xD800x", 0 } };
    for (auto const& [text, count] : missing)
        EXPECT_EQ(platform::missing_glyphs(font.get(), text), count) << platform::to_utf8(text);
}

// Right-to-left runs read right to left inside a left-to-right line; numbers in them stay left to right.
TEST(Shaping, RightToLeftRunsAreReversedInsideALeftToRightLine)
{
    auto const font = sans();
    auto const glyph = [&](char16_t c) { return glyphs_of(font.get(), std::u16string(1, c)).at(0); };
    struct {
        std::u16string_view text;
        std::u16string_view visual; // the characters from left to right
    } const cases[] = { { u"שלום", u"םולש" }, { u"Tel אבג 42", u"Tel 42 גבא" } };
    for (auto const& [text, visual] : cases) {
        std::vector<uint32_t> expected;
        for (char16_t c : visual)
            expected.push_back(glyph(c));
        auto const shaped = platform::shaped_glyphs(font.get(), text);
        EXPECT_EQ(glyphs_of(font.get(), text), expected) << platform::to_utf8(text);
        for (size_t i = 1; i < shaped.size(); ++i)
            EXPECT_GT(shaped[i].x, shaped[i - 1].x) << platform::to_utf8(text) << " glyph " << i;
    }
}

// A canvas of 565 pixels and what draw_text leaves on it.
struct Canvas {
    std::vector<uint16_t> pixels = std::vector<uint16_t>(200 * 24, 0);
    std::vector<uint16_t> const& draw(
        platform::Font const* font, std::u16string_view text, int32_t width, uint32_t format)
    {
        std::fill(pixels.begin(), pixels.end(), 0);
        platform::Canvas565 canvas { pixels.data(), 200, 24, 400 };
        platform::draw_text(font, canvas, text, { 0, 0, width, 24 }, 255, 255, 255, format);
        return pixels;
    }
};

// At every width, an elided line is drawn exactly as the graphemes before one of the text's grapheme
// boundaries followed by "…": never a part of a grapheme.
TEST(Shaping, ElidingKeepsWholeGraphemes)
{
    auto const font = sans();
    // Each head is followed by blanks and letters, so that it is elided at every width up to its own.
    struct {
        std::u16string_view head;
        std::vector<size_t> boundaries; // code units
    } const cases[]
        = { { u"e\u0301e\u0301e\u0301e\u0301", { 0, 2, 4, 6 } }, { u"👍🏽👍🏽👍🏽", { 0, 4, 8 } },
              { u"🇺🇦🇵🇱🇯🇵", { 0, 4, 8 } }, { u"\u0928\u092E\u0938\u094D\u0924\u0947", { 0, 1, 2 } },
              { u"\u1100\u1161\u11A8\u1100\u1161\u11A8", { 0, 3 } }, { u"عبدالله", { 0, 1, 2, 3, 4, 5, 6 } } };
    namespace f = platform::text_format;
    Canvas elided, candidate;
    for (auto const& [head, head_boundaries] : cases) {
        std::u16string const text = std::u16string(head) + u" xx";
        std::vector<size_t> boundaries = head_boundaries;
        for (size_t k = head.size(); k < text.size(); ++k)
            boundaries.push_back(k);
        std::vector<int32_t> running(text.size());
        platform::text_extents(font.get(), text, running.data());
        int32_t const full = running.back();
        for (int32_t width = 1; width < full; ++width) {
            elided.draw(font.get(), text, width, f::SINGLELINE | f::END_ELLIPSIS);
            bool const matched = std::any_of(boundaries.begin(), boundaries.end(), [&](size_t k) {
                std::u16string const cut = std::u16string(text.substr(0, k)) + u"\u2026";
                return candidate.draw(font.get(), cut, width, f::SINGLELINE) == elided.pixels;
            });
            EXPECT_TRUE(matched) << platform::to_utf8(text) << " at width " << width;
        }
    }
}

// Measuring follows the shaping: the code units of a grapheme share its right edge, and the caret stops
// only where graphemes start; word breaking cuts a word too wide between graphemes.
TEST(Shaping, EdgesAndStopsKeepGraphemesWhole)
{
    auto const font = sans();
    std::u16string_view const text = u"Ze\u0301👍🏽\u0928\u0938\u094D\u0924\u0947\u05D0";
    std::vector<int32_t> running(text.size());
    std::vector<uint8_t> stops(text.size());
    platform::text_extents(font.get(), text, running.data(), stops.data());
    EXPECT_EQ(stops, (std::vector<uint8_t> { 1, 1, 0, 1, 0, 0, 0, 1, 1, 0, 0, 0, 1 }));
    for (size_t i = 0; i + 1 < text.size(); ++i)
        if (!stops[i + 1])
            EXPECT_EQ(running[i], running[i + 1]) << i;
        else
            EXPECT_LT(running[i], running[i + 1]) << i;
    // A word of two emoji in a box narrower than one: the first line holds one emoji, not a part of it.
    int32_t const emoji = running[6] - running[2];
    ASSERT_GT(emoji, 2);
    platform::FontMetrics metrics;
    ASSERT_TRUE(platform::font_metrics(font.get(), metrics) && metrics.height < 24);
    Canvas one, broken;
    broken.draw(font.get(), u"👍🏽👍🏽", emoji - 1, platform::text_format::WORDBREAK);
    one.draw(font.get(), u"👍🏽", emoji - 1, platform::text_format::WORDBREAK);
    auto const first_line = static_cast<ptrdiff_t>(200 * metrics.height);
    EXPECT_TRUE(std::equal(one.pixels.begin(), one.pixels.begin() + first_line, broken.pixels.begin()));
    EXPECT_TRUE(std::any_of(one.pixels.begin(), one.pixels.begin() + first_line, [](uint16_t p) { return p != 0; }));
}

// Lines end after blanks (which hang past the width), after a hyphen and between ideographs, never
// before a closing mark nor across a no-break space; end 0 where nothing within the width may end one.
TEST(LineBreaking, TheLastOpportunityWithinTheWidthEndsTheLine)
{
    std::tuple<std::u16string_view, size_t, size_t, size_t> const cases[] = {
        { u"one two three", 9, 7, 8 },
        { u"one two three", 7, 7, 8 },
        { u"well-known words", 7, 5, 5 },
        { u"删除 8 条录音？其文件", 10, 10, 10 },
        { u"删除 8 条录音？其文件", 8, 7, 7 },
        { u"ab\u00A0cd ef", 4, 0, 0 },
        { u"Supprimer\u202F?", 9, 0, 0 },
        { u"", 3, 0, 0 },
    };
    for (auto const& [text, fit, end, next] : cases) {
        platform::LineEnd const at = platform::line_end(text, fit);
        EXPECT_EQ(std::pair(at.end, at.next), std::pair(end, next)) << platform::to_utf8(text) << " within " << fit;
    }
}

} // namespace
