#include "ElementTestSupport.h"

#include <cmath>

using namespace skin;
using namespace skin_testing;

namespace {

class Buttons : public testing::Test {
protected:
    void SetUp() override
    {
        std::string const dictionary = fresh_dir("lang") + "/test.lng";
        write_file(dictionary, "skin_Record=Record\n");
        ASSERT_TRUE(skin.properties.dictionary().load(core::from_utf8(dictionary)));
        root = skin.build(u"Buttons");
        full = find<ButtonElement>(*root, u"btnFull");
        plain = find<ButtonElement>(*root, u"btnPlain");
        full->set_button_listener(&recorder);
        plain->set_button_listener(&recorder);
    }
    core::String shown(ButtonElement* button) const { return button->shown_state()->id(); }

    SkinFixture skin { "widgets.skin" };
    std::unique_ptr<TestHost> root;
    ButtonElement *full = nullptr, *plain = nullptr;
    Recorder recorder;
};

// A button shows the child of its state and takes its text translated onto its text child; one with
// only a normal state shows it in every state.
TEST_F(Buttons, PressAndClickButNotWhenDisabled)
{
    EXPECT_EQ(std::tuple(full->size(), shown(full), full->text(), find<TextElement>(*root, u"#text")->text()),
        std::tuple(Point { 40, 20 }, u"#normal", u"Record", u"Record"));
    EXPECT_TRUE(full->on_pen(pen(5, 6, true)));
    EXPECT_EQ(std::tuple(full->pressed(), shown(full), root->find_child(u"#normal")->visible()),
        std::tuple(true, u"#pressed", false));
    EXPECT_TRUE(full->on_pen(pen(7, 8, false)));
    EXPECT_EQ(recorder.reports,
        (std::vector<Report> { { 'd', full, { 5, 6 }, false, {} }, { 'p', full, { 5, 6 }, false, {} },
            { 'p', full, { 7, 8 }, false, {} }, { 'c', full, { 7, 8 }, true, {} } }));
    EXPECT_EQ(shown(full), u"#normal");

    Element* normal = plain->shown_state();
    ASSERT_NE(normal, nullptr);
    plain->on_pen(pen(170, 5, true));
    EXPECT_EQ(plain->shown_state(), normal);
    plain->set_enabled(false);
    EXPECT_EQ(std::tuple(plain->shown_state(), normal->visible()), std::tuple(normal, true));
    // A disabled button keeps showing its state; its press and release are reported flagged, with no click.
    recorder.reports.clear();
    full->set_enabled(false);
    EXPECT_EQ(shown(full), u"#disabled");
    full->on_pen(pen(5, 5, true));
    EXPECT_EQ(shown(full), u"#disabled");
    full->on_pen(pen(5, 5, false));
    EXPECT_EQ(std::tuple(recorder.kinds(), recorder.reports[1].flag, recorder.reports[2].flag),
        std::tuple("dpp", true, true));
}

TEST_F(Buttons, BoundKeyPressesAndClicksAtTheCentre)
{
    EXPECT_EQ(full->bound_key(), KEY_SOFT_LEFT);
    EXPECT_FALSE(full->on_key({ KEY_SOFT_RIGHT, true }));
    EXPECT_TRUE(full->on_key({ 61, true }));
    EXPECT_EQ(shown(full), u"#pressed");
    EXPECT_TRUE(full->on_key({ 61, false }));
    EXPECT_EQ(std::tuple(recorder.kinds(), recorder.reports.back().point), std::tuple("ppc", Point { 20, 10 }));
    // Key names are case-sensitive: "soft_left" binds nothing.
    EXPECT_EQ(plain->bound_key(), KEY_NONE);
    EXPECT_FALSE(plain->on_key({ KEY_NONE, true }) || plain->on_key({ 61, true }));
}

// Moves are reported while the pen holds the button; a consumed part is reported again next time.
TEST_F(Buttons, DragsFollowThePen)
{
    full->on_pen_move({ 9, 9 });
    EXPECT_TRUE(recorder.reports.empty());
    full->on_pen(pen(5, 5, true));
    full->on_pen_move({ 8, 7 });
    recorder.consume_x = true;
    full->on_pen_move({ 10, 8 });
    full->on_pen_move({ 11, 8 });
    std::vector<Point> moves;
    for (size_t i = 2; i < recorder.reports.size(); ++i)
        moves.push_back(recorder.reports[i].movement);
    EXPECT_EQ(moves, (std::vector<Point> { { 3, 2 }, { 2, 1 }, { 3, 0 } }));
}

class Checkbox : public testing::Test {
protected:
    void click()
    {
        ButtonElement* button = box->state_button(box->state());
        button->on_pen(pen(10, 10, true));
        button->on_pen(pen(10, 10, false));
    }

    SkinFixture skin { "widgets.skin" };
    std::unique_ptr<TestHost> root = skin.build(u"Checkbox");
    CheckboxElement* box = find<CheckboxElement>(*root, u"chkLoop");
};

TEST_F(Checkbox, CyclesThroughItsStatesWithTheTextUnlessItsListenerDecides)
{
    ASSERT_EQ(box->states(), 3);
    std::vector<int32_t> seen;
    for (int i = 0; i < 4; ++i) {
        seen.push_back(box->state());
        for (int32_t s = 0; s < 3; ++s) {
            EXPECT_EQ(box->state_button(s)->visible(), s == box->state());
            EXPECT_EQ(find<TextElement>(*box->state_button(s), u"#text")->text(), s == box->state() ? u"Loop" : u"");
        }
        click();
    }
    EXPECT_EQ(seen, (std::vector<int32_t> { 0, 1, 2, 0 }));
    // With a listener, the listener decides.
    box->set_state(0);
    Recorder listener;
    box->set_click_listener(&listener);
    click();
    ASSERT_EQ(std::tuple(box->state(), listener.kinds()), std::tuple(0, "c"));
    EXPECT_EQ(listener.reports[0].source, box);
    box->set_state(2);
    EXPECT_TRUE(box->state_button(2)->visible());
    box->set_state(3);
    EXPECT_EQ(box->state(), 2);
}

TEST(Progress, LineFollowsTheValueAndAListReadsItsKeysAndGrowsByItsBorders)
{
    SkinFixture skin("widgets.skin");
    auto root = skin.build(u"Progress");
    auto* bar = find<ProgressElement>(*root, u"pbLevel");
    Element* line = bar->line();
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(std::tuple(bar->size(), root->find_child(u"#back")->size().x, line->size().x),
        std::tuple(Point { 102, 10 }, 102, 0));
    // Each value, what the bar keeps of it, and the line's width.
    std::tuple<double, double, int32_t> const values[]
        = { { 0.5, 0.5, 50 }, { 0.004, 0.004, 0 }, { 7, 1, 100 }, { std::nan(""), 0, 0 } };
    for (auto const& [value, kept, width] : values) {
        bar->set_value(value);
        EXPECT_EQ(std::tuple(bar->value(), line->size().x), std::tuple(kept, width)) << value;
    }
    bar->set_value(0.5);
    EXPECT_EQ(std::tuple(line->position(), line->size()), std::tuple(Point { 2, 1 }, Point { 50, 9 }));
    // The line going away leaves a bar that still takes values.
    bar->remove_child(line);
    bar->set_value(0.3);
    EXPECT_EQ(std::tuple(bar->line(), bar->value()), std::tuple(nullptr, 0.3));
    // A list reads its keys and grows by its borders.
    auto tree = skin.build(u"Tree");
    auto* list = find<VListElement>(*tree, u"b");
    EXPECT_EQ(
        std::tuple(list->locked(), list->grow(), list->scroll(), list->selected()), std::tuple(true, true, 4.0, -1));
    list->invalidate_layout();
    EXPECT_EQ(list->measured(Axis::Y), (Extent { 10, 10 }));
}

class Texts : public testing::Test {
protected:
    TextElement* text(core::StringView id) { return find<TextElement>(*root, id); }
    SkinFixture skin { "widgets.skin" };
    std::unique_ptr<TestHost> root = skin.build(u"Texts", 1000, 400);
};

// Companions stay beside the text.
TEST_F(Texts, GrowAsksForTheTextAndCompanionsStayBesideIt)
{
    int32_t const mid = text(u"txtSides")->font()->measure(u"Mid").width;
    Element* left = root->find_child(u"#left");
    EXPECT_EQ(std::tuple(left->position().x, left->size().x, root->find_child(u"#right")->position().x),
        std::tuple(1000 - mid - 2 - 6, 6, 1000 + 3));
    auto* grow = text(u"txtGrow");
    int32_t const width = grow->font()->measure(u"Recording").width;
    int32_t const height = grow->font()->height();
    ASSERT_GT(width, 0);
    EXPECT_EQ(std::tuple(grow->measured(Axis::X), grow->measured(Axis::Y), text(u"txtGrowMin")->measured(Axis::X)),
        std::tuple(Extent { width, 0 }, Extent { height, height }, Extent { width, width }));
    EXPECT_EQ(std::tuple(text(u"txtPlain")->measured(Axis::X), text(u"txtPlain")->measured(Axis::Y),
                  find<OldTextElement>(*root, u"txtOld")->measured(Axis::Y)),
        std::tuple(Extent { 0, 0 }, Extent { 0, 0 }, Extent { 2 * height, 0 }));

    grow->set_text(u"Recordings");
    EXPECT_FALSE(root->measure_valid(Axis::X));
    EXPECT_EQ(grow->measured(Axis::X).preferred, grow->font()->measure(u"Recordings").width);
}

// A wrapped text asks for the height of its lines at its width, and insists on at most 20 pixels.
TEST_F(Texts, WrappedHeightFollowsTheWidthAndAHighlightedRunStandsWhereTheLineHasIt)
{
    auto* wrap = text(u"txtWrap");
    int32_t const line = wrap->font()->height();
    EXPECT_EQ(
        std::tuple(wrap->lines().size(), wrap->measured(Axis::Y)), std::tuple(1u, Extent { line, std::min(line, 20) }));
    root->set_geometry_x(0, 60);
    root->set_geometry_y(0, 400);
    int32_t const lines = static_cast<int32_t>(wrap->lines().size());
    EXPECT_GT(lines, 2);
    EXPECT_EQ(
        std::tuple(wrap->measured(Axis::Y), wrap->size().y), std::tuple(Extent { lines * line, 20 }, lines * line));
    // A highlighted run is drawn in its colour where the whole line puts those characters, the rest in the
    // text's own colour; a new text drops the highlight.
    auto* plain = text(u"txtGrow");
    root->set_geometry_x(0, 300);
    root->set_geometry_y(0, 400);
    plain->set_highlight(3, 3, Color { 255, 0, 0, 255 }); // "ord" of "Recording"
    RenderSurface screen(Point { 300, 400 });
    fill(screen, {}, { 300, 400 }, Color { 255, 255, 255, 255 });
    root->paint(screen, {});
    int32_t const left = plain->position().x + (plain->size().x - plain->font()->measure(u"Recording").width) / 2;
    int32_t const from = left + plain->font()->measure(u"Rec").width;
    int32_t const to = left + plain->font()->measure(u"Record").width;
    int red_inside = 0, red_outside = 0, dark_outside = 0;
    for (int32_t y = plain->position().y; y < plain->position().y + plain->size().y; ++y)
        for (int32_t x = 0; x < 300; ++x) {
            uint16_t const p = screen.bitmap()->at(x, y);
            bool const red = (p >> 11) > 20 && ((p >> 5) & 63) < 16 && (p & 31) < 8;
            bool const dark = (p >> 11) < 8 && ((p >> 5) & 63) < 16;
            bool const inside = x >= from && x < to;
            red_inside += red && inside;
            red_outside += red && !inside;
            dark_outside += dark && !inside;
        }
    EXPECT_TRUE(red_inside > 10 && red_outside == 0 && dark_outside > 10)
        << red_inside << " red inside, " << red_outside << " outside, " << dark_outside << " dark outside";
    plain->set_text(u"Recorded");
    EXPECT_EQ(plain->highlight_length(), 0u);
}

class Edits : public testing::Test {
protected:
    SkinFixture skin { "widgets.skin" };
    std::unique_ptr<TestHost> root = skin.build(u"Edits", 200, 40);
    EditElement* edit = find<EditElement>(*root, u"edName");
    LabelEditElement* label_edit = find<LabelEditElement>(*root, u"leTitle");
};

TEST_F(Edits, PressActivatesAndKeysEdit)
{
    EXPECT_FALSE(edit->on_char(u'x') || edit->on_key({ KEY_RIGHT, true }));
    EXPECT_EQ(root->inputs.front(), edit);
    edit->on_pen(pen(1, 1, true));
    EXPECT_EQ(std::tuple(edit->active(), root->inputs.back()), std::tuple(true, edit));
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(edit->on_key({ KEY_RIGHT, true }));
    EXPECT_TRUE(edit->on_char(u'c') && !edit->on_char(u'\b') && edit->text() == u"abc") << core::to_utf8(edit->text());
    for (int32_t key : { KEY_BACKSPACE, KEY_LEFT, KEY_ENTER })
        EXPECT_TRUE(edit->on_key({ key, true })) << key;
    EXPECT_EQ(std::tuple(edit->text(), edit->caret()), std::tuple(u"a\nb", 2u));
    EXPECT_FALSE(edit->on_key({ KEY_UP, true }) || edit->on_key({ KEY_ENTER, false }));

    // A press on the active edit puts the caret at the point: far right is the end.
    edit->on_pen(pen(199, 10, true));
    EXPECT_EQ(edit->caret(), 3u);
    edit->on_pen(pen(0, 10, true));
    EXPECT_EQ(std::tuple(edit->caret(), edit->caret_point().x), std::tuple(0u, 0));
}

TEST_F(Edits, ALineLongerThanTheEditScrollsToKeepTheCaretInView)
{
    edit->activate();
    edit->set_caret(edit->text().size());
    for (int i = 0; i < 60; ++i)
        edit->on_char(u'W');
    int32_t const width = edit->size().x;
    ASSERT_TRUE(width > 0 && edit->text_size().x > 2 * width);
    EXPECT_TRUE(edit->caret_point().x >= 0 && edit->caret_point().x < width) << edit->caret_point().x;
    // What shows is the end of the line: a press at the right edge lands next to the caret.
    edit->on_pen(pen(edit->position().x + width - 1, 10, true));
    EXPECT_GE(edit->caret(), edit->text().size() - 2);
    // Walking back to the start brings the start back into view.
    for (size_t i = 0; i < edit->text().size(); ++i)
        edit->on_key({ KEY_LEFT, true });
    EXPECT_EQ(std::tuple(edit->caret(), edit->caret_point().x), std::tuple(0u, 0));
}

// The caret blinks while the edit is active, shown again by a key; a destroyed edit is no longer active.
TEST_F(Edits, CaretBlinksWhileActiveAndALabelEditSwitchesToItsEdit)
{
    EXPECT_FALSE(edit->caret_shown());
    edit->activate();
    EXPECT_TRUE(edit->caret_shown());
    root->tick(0.3);
    EXPECT_TRUE(edit->caret_shown());
    root->tick(0.3);
    EXPECT_FALSE(edit->caret_shown());
    edit->on_key({ KEY_LEFT, true });
    EXPECT_TRUE(edit->caret_shown());
    root->tick(0.6);
    root->tick(0.5);
    EXPECT_TRUE(edit->caret_shown());
    root->set_active_edit(nullptr);
    root->tick(0.1);
    EXPECT_FALSE(edit->caret_shown());
    edit->activate();
    root->remove_child(edit);
    EXPECT_EQ(std::tuple(root->active_edit(), root->inputs.size()), std::tuple(nullptr, 1u));
    EditElement* inner = label_edit->edit();
    ASSERT_TRUE(inner && inner->listener() == label_edit);
    EXPECT_EQ(std::tuple(label_edit->label()->visible(), inner->visible()), std::tuple(true, false));
    label_edit->set_editing(true);
    EXPECT_EQ(std::tuple(label_edit->label()->visible(), inner->visible(), root->active_edit()),
        std::tuple(false, true, inner));
}

// Every code has one name and back; the names skins use most map to the codes the program handles.
TEST(KeyNames, EveryCodeHasOneName)
{
    for (int32_t code = 0; code <= KEY_SLASH; ++code) {
        core::StringView const name = key_name(code);
        ASSERT_FALSE(name.empty()) << code;
        EXPECT_EQ(key_code_from_name(name), code);
    }
    EXPECT_TRUE(key_name(KEY_SLASH + 1).empty());
    std::pair<core::StringView, int32_t> const anchors[] = { { u"SOFT_LEFT", 61 }, { u"Esc", KEY_ESC },
        { u"Z", KEY_A + 25 }, { u"9", KEY_0 + 9 }, { u"#", KEY_HASH }, { u"VOLUME_DOWN", 64 }, { u"/", 65 },
        { u"soft_left", KEY_NONE }, { u"", KEY_NONE }, { u"AB", KEY_NONE } };
    for (auto const& [name, code] : anchors)
        EXPECT_EQ(key_code_from_name(name), code) << core::to_utf8(name);
}

} // namespace
