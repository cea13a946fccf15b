#include "ScreensTestSupport.h"

#include <screens/AccessibleView.h>
#include <skin/widgets/ListRow.h>

using namespace screens_test;

namespace {

class KeyboardGapsTest : public ScreensTest {
protected:
    // Tab until the element `id` holds the focus.
    void tab_to(StringView id)
    {
        for (size_t i = 0; i <= top()->focus_order().size(); ++i) {
            skin::Element const* focus = top()->focused();
            if (focus && focus->id() == id)
                return;
            press(skin::KEY_TAB);
        }
        FAIL() << "Tab never reaches " << core::to_utf8(id);
    }
    // A recording started from the keyboard, its screen shown.
    void record()
    {
        use_tone_input(30, false);
        start();
        press(letter_key('R'), CTRL);
        ASSERT_TRUE(document->is_recording());
        ASSERT_EQ(top(), &main->recording().form());
    }
};

// Enter presses the name editor's focused button: Cancel keeps the name, OK takes the typed one; Ctrl+Enter
// presses none.
TEST_F(KeyboardGapsTest, EnterPressesTheFocusedButtonOfTheNameEditorAndCtrlEnterNone)
{
    record();
    String const before = main->recording().name();
    press(letter_key('E'), CTRL);
    ASSERT_EQ(top(), &main->recording().edit_dialog().form());
    type(u"Renamed");
    press(skin::KEY_ENTER, CTRL);
    EXPECT_EQ(top(), &main->recording().edit_dialog().form());
    tab_to(u"btnCancel");
    press(skin::KEY_ENTER);
    EXPECT_NE(top(), &main->recording().edit_dialog().form());
    EXPECT_EQ(main->recording().name(), before);
    press(letter_key('E'), CTRL);
    type(u"Renamed");
    tab_to(u"btnOk");
    press(skin::KEY_ENTER);
    EXPECT_EQ(main->recording().name(), u"Renamed");
}

// Ctrl+Enter or Alt+Enter is no OK; a plain Enter that is let go of while Ctrl is held still clicks.
TEST_F(KeyboardGapsTest, ChordsWithCtrlOrAltDoNotPressTheButtonOfThePlainKey)
{
    add_record(u"Ann", u"One");
    start();
    press(skin::KEY_DOWN);
    press(skin::KEY_DEL);
    ASSERT_EQ(top(), &main->confirmation().form());
    for (uint8_t modifiers : { CTRL, ALT, static_cast<uint8_t>(CTRL | ALT) }) {
        press(skin::KEY_ENTER, modifiers);
        ASSERT_EQ(top(), &main->confirmation().form()) << int(modifiers);
        EXPECT_EQ(document->records().size(), 1u) << int(modifiers);
    }
    top()->on_key({ skin::KEY_ENTER, true, true, 0 });
    top()->on_key({ skin::KEY_ENTER, false, true, CTRL });
    settle();
    EXPECT_EQ(document->records().size(), 0u);
    EXPECT_FALSE(element<skin::ButtonElement>(main->confirmation().form(), u"btnOk").pressed());
}

TEST_F(KeyboardGapsTest, EnterLeavesAFocusedSliderWhereTheArrowsPutIt)
{
    record();
    tab_to(u"btnVAS");
    // From none, a step up: far from the middle a tap would give.
    press(skin::KEY_RIGHT);
    double const moved = document->settings().vas_level;
    ASSERT_GT(moved, 0.0);
    ASSERT_LT(moved, 0.25);
    press(skin::KEY_ENTER);
    EXPECT_EQ(document->settings().vas_level, moved);
    EXPECT_TRUE(document->is_recording());
}

// The main menu's row of Help, Minimize and Exit: Up from the first page reaches it, Left and Right go
// along it (stopping at the ends), Enter presses the button there, Down leaves it for the pages.
TEST_F(KeyboardGapsTest, ArrowsReachTheMenusRowOfButtonsAndEnterPressesOne)
{
    start();
    press(skin::KEY_CONTEXT_MENU);
    screens::Menu& menu = main->menu();
    ASSERT_EQ(top(), &menu.form());
    press(skin::KEY_DOWN);
    ASSERT_EQ(menu.items()[static_cast<size_t>(menu.list().selected())].id, u"File") << "the first Down, as before";
    press(skin::KEY_UP);
    EXPECT_EQ(menu.list().selected(), 0);
    EXPECT_EQ(menu.row_button(), 0);
    for (int32_t code : { skin::KEY_RIGHT, skin::KEY_RIGHT, skin::KEY_RIGHT, skin::KEY_LEFT })
        press(code);
    ASSERT_EQ(menu.row_button(), 1);
    auto* row = menu.list().row(0);
    ASSERT_NE(row, nullptr);
    EXPECT_TRUE(row->find_child(u"Minimize")->find_child(u"#pressed")->visible()) << "the keyed button is marked";
    EXPECT_FALSE(row->find_child(u"Help")->find_child(u"#pressed")->visible());
    press(skin::KEY_ENTER);
    EXPECT_EQ(host->minimized, 1);
    EXPECT_EQ(host->quits, 0);
    // Down from the row goes back to the first page, whose Enter opens it.
    press(skin::KEY_CONTEXT_MENU);
    press(skin::KEY_DOWN);
    press(skin::KEY_UP);
    press(skin::KEY_DOWN);
    EXPECT_EQ(menu.row_button(), -1);
    press(skin::KEY_ENTER);
    EXPECT_EQ(menu.page(), u"File");
}

// A reader sees the row's buttons as buttons inside its item, and "click" on one presses it.
TEST_F(KeyboardGapsTest, AReaderSeesTheMenusRowOfButtonsAsButtons)
{
    start();
    press(skin::KEY_CONTEXT_MENU);
    screens::AccessibleView view(
        harness->stack(), [this](StringView key) { return harness->properties().translate(key); });
    platform::AccessibleTree const tree = view.snapshot();
    std::vector<std::string> buttons;
    std::string minimize;
    for (auto const& node : tree.nodes)
        if (node.role == platform::AccessibleRole::PUSH_BUTTON && node.parent >= 0
            && tree.nodes[static_cast<size_t>(node.parent)].role == platform::AccessibleRole::LIST_ITEM) {
            buttons.push_back(node.name);
            if (node.name == "Minimize")
                minimize = node.key;
        }
    ASSERT_EQ(buttons, (std::vector<std::string> { "Help", "Minimize", "Exit" }));
    ASSERT_TRUE(
        view.carry_out({ platform::AccessibleRequest::Kind::ACTIVATE, minimize, 0 }, [this](skin::PenEvent const& pen) {
            pen.down ? harness->pen_down(pen.point()) : harness->pen_up(pen.point());
        }));
    settle();
    EXPECT_EQ(host->minimized, 1);
}

} // namespace
