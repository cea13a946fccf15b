// Caller names in any script in the skin: the edit's caret moves by whole graphemes, and characters no
// font has are logged once per text and counted by the skin compiler.
#include "ElementTestSupport.h"

#include <skin/FontRep.h>

using namespace skin;
using namespace skin_testing;

namespace {

class GraphemeEdit : public testing::Test {
protected:
    SkinFixture skin { "widgets.skin" };
    std::unique_ptr<TestHost> root = skin.build(u"Edits", 400, 40);
    EditElement* edit = find<EditElement>(*root, u"edName");
    // Z, e with a combining acute, a thumb with a skin tone, the Devanagari न and the conjunct स्ते, א.
    core::StringView const text = u"Ze\u0301\U0001F44D\U0001F3FD\u0928\u0938\u094D\u0924\u0947\u05D0";
    std::vector<size_t> const boundaries { 0, 1, 3, 7, 8, 12, 13 };
};

TEST_F(GraphemeEdit, CaretMovesDeletesAndLandsOnGraphemeBoundariesOnly)
{
    edit->set_text(text);
    edit->activate();
    edit->set_caret(0);
    std::vector<size_t> walked { edit->caret() };
    for (size_t i = 0; i < text.size(); ++i) {
        edit->on_key({ KEY_RIGHT, true });
        if (edit->caret() != walked.back())
            walked.push_back(edit->caret());
    }
    EXPECT_EQ(walked, boundaries);
    std::vector<size_t> back { edit->caret() };
    for (size_t i = 0; i < text.size(); ++i) {
        edit->on_key({ KEY_LEFT, true });
        if (edit->caret() != back.back())
            back.push_back(edit->caret());
    }
    EXPECT_EQ(back, std::vector<size_t>(boundaries.rbegin(), boundaries.rend()));
    // A caret asked inside a grapheme stands at its start; a press anywhere lands on a boundary.
    std::pair<size_t, size_t> const inside[] = { { 2, 1 }, { 5, 3 }, { 10, 8 }, { 99, 13 } };
    for (auto const& [asked, at] : inside) {
        edit->set_caret(asked);
        EXPECT_EQ(edit->caret(), at) << asked;
    }
    for (int32_t x = 0; x < 400; x += 3) {
        edit->on_pen(pen(edit->position().x + x, edit->position().y + 5, true));
        EXPECT_TRUE(std::find(boundaries.begin(), boundaries.end(), edit->caret()) != boundaries.end())
            << "x " << x << ": " << edit->caret();
    }
    // Backspace takes a whole grapheme: the conjunct, न, the emoji with its tone, then é.
    edit->set_caret(12);
    for (core::StringView left :
        { u"Ze\u0301\U0001F44D\U0001F3FD\u0928\u05D0", u"Ze\u0301\U0001F44D\U0001F3FD\u05D0" }) {
        edit->on_key({ KEY_BACKSPACE, true });
        EXPECT_EQ(edit->text(), left);
    }
    edit->on_key({ KEY_BACKSPACE, true });
    edit->on_key({ KEY_BACKSPACE, true });
    EXPECT_EQ(std::tuple(edit->text(), edit->caret()), std::tuple(core::String(u"Z\u05D0"), 1u));
}

TEST(MissingGlyphs, AreCountedAndLoggedOncePerText)
{
    FontRep const font { FontDesc {} };
    RenderSurface surface { Point { 100, 30 } };
    LogCapture log;
    uint64_t const before = FontRep::missing_glyphs_drawn();
    for (int i = 0; i < 3; ++i) {
        font.draw_text(surface, u"a\u0378b", {}, { 100, 30 }, TextStyle {});
        font.draw_text(surface, u"Ann Lee", {}, { 100, 30 }, TextStyle {});
    }
    EXPECT_EQ(FontRep::missing_glyphs_drawn() - before, 1u);
    auto const logged = log.utf8();
    std::string const line = "FontRep::draw_text missing glyphs=1 {a\u0378b}\n";
    EXPECT_EQ(
        std::tuple(logged.find(line) != std::string::npos, logged.find("missing", logged.find(line) + line.size())),
        std::tuple(true, std::string::npos))
        << logged;
}

// Names in every script (each drawn from a face that has it, as the shaping tests check) and one character
// no font has, on the main screen: the skin compiler counts that one, so that a render tells of its boxes.
TEST(ScriptsOnTheMainScreen, TheSkinCompilerCountsOnlyTheCharacterNoFontHas)
{
    std::string const sample = rendered_dir() + "/sample-scripts.txt";
    write_file(sample,
        "[FormMain]\nhide KeyboardContainer btnCloseFilter emptyHint\nrows list Record\n"
        "row icon=@main_memory_incoming | artist=Мария 王小明 | name=Mon 7 Dec, 10:44\n"
        "row icon=@main_memory_incoming | artist=محمد דוד | name=Mon 7 Dec, 10:44\n"
        "row icon=@main_memory_incoming | artist=प्रियंका 😀👍🏽 | name=Mon 7 Dec, 10:44\n"
        "row icon=@main_memory_incoming | artist=Ann \xCD\xB8 Lee | name=Mon 7 Dec, 10:44 · 4:12\n");
    auto const result = run(SKINC + " --render " + bin_dir() + "/skins/bin/default.skin FormMain --size 240x320@96"
        + " --out " + rendered_dir() + "/scripts.png --lang " + bin_dir() + "/english.lng --sample " + sample);
    ASSERT_EQ(result.exit_code, 0) << result.error;
    EXPECT_TRUE(result.output.ends_with("missing glyphs: 1\n")) << result.output;
}

} // namespace
