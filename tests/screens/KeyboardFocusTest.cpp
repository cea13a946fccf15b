#include "ScreensTestSupport.h"

#include <screens/KeyCommands.h>
#include <skin/Color.h>

using namespace screens_test;
using skin::KeyEvent;

namespace {

class KeyboardFocusTest : public ScreensTest {
protected:
    std::string focused_id()
    {
        skin::Element const* focus = top()->focused();
        return focus ? core::to_utf8(focus->id()) : "(none)";
    }
    // The ids Tab (or Shift+Tab) reaches, `count` presses from the current focus.
    std::vector<std::string> tabs(int count, uint8_t modifiers = 0)
    {
        std::vector<std::string> reached;
        for (int i = 0; i < count; ++i) {
            press(skin::KEY_TAB, modifiers);
            reached.push_back(focused_id());
        }
        return reached;
    }
    // Tab until the element `id` holds the focus.
    void tab_to(StringView id)
    {
        for (size_t i = 0; i <= top()->focus_order().size() && focused_id() != core::to_utf8(id); ++i)
            press(skin::KEY_TAB);
        ASSERT_EQ(focused_id(), core::to_utf8(id)) << "Tab never reaches it";
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
    // Pixels of the accent colour along row `y` from `x0` to `x1` (exclusive).
    int accent_run(int32_t y, int32_t x0, int32_t x1)
    {
        harness->paint();
        int run = 0;
        for (int32_t x = x0; x < x1; ++x)
            run += harness->pixel({ x, y }) == skin::Form::FOCUS_COLOR.to_565() ? 1 : 0;
        return run;
    }
};

TEST(KeyCommandTest, ChordsNameTheirCommandOnlyOnTheFirstPress)
{
    using screens::KeyCommand;
    struct Case {
        KeyEvent event;
        KeyCommand command;
    };
    int32_t const r = letter_key('R'), e = letter_key('E'), f = letter_key('F');
    Case const cases[] = {
        { { r, true, true, CTRL }, KeyCommand::RECORD },
        { { r, true, true, 0 }, KeyCommand::NONE }, // a letter typed to filter
        { { r, true, true, CTRL | SHIFT }, KeyCommand::NONE },
        { { r, true, false, CTRL }, KeyCommand::NONE }, // held: no second stop
        { { r, false, true, CTRL }, KeyCommand::NONE },
        { { e, true, true, CTRL }, KeyCommand::RENAME },
        { { f, true, true, CTRL }, KeyCommand::FILTER },
        { { skin::KEY_A + ('Z' - 'A'), true, true, CTRL }, KeyCommand::UNDO },
        { { skin::KEY_SLASH, true, true, CTRL | SHIFT }, KeyCommand::KEYS },
        { { skin::KEY_SLASH, true, true, CTRL }, KeyCommand::KEYS },
        { { skin::KEY_SLASH, true, true, SHIFT }, KeyCommand::NONE },
        { { skin::KEY_CONTEXT_MENU, true, true, 0 }, KeyCommand::MENU },
        { { skin::KEY_DEL, true, true, 0 }, KeyCommand::DELETE },
        { { skin::KEY_DEL, true, true, SHIFT }, KeyCommand::NONE },
        { { skin::KEY_ESC, true, true, 0 }, KeyCommand::NONE },
    };
    for (Case const& c : cases)
        EXPECT_EQ(screens::key_command(c.event), c.command) << c.event.code << " down " << c.event.down << " first "
                                                            << c.event.first << " modifiers " << int(c.event.modifiers);
    EXPECT_EQ(screens::slider_step({ skin::KEY_RIGHT, true, true, 0 }), 0.05);
    EXPECT_EQ(screens::slider_step({ skin::KEY_DOWN, true, true, 0 }), -0.05);
    EXPECT_EQ(screens::slider_step({ skin::KEY_RIGHT, false, true, 0 }), 0);
}

TEST_F(KeyboardFocusTest, TabVisitsTheShownButtonsAndTheListInOrderAndWraps)
{
    add_record(u"Ann", u"Lee");
    start();
    EXPECT_EQ(focused_id(), "(none)");
    // The keypad's keys and the filter's close button are hidden: Tab passes them by.
    EXPECT_EQ(tabs(5), (std::vector<std::string> { "btnFilter", "btnMenu", "list", "btnRecord", "btnFilter" }));
    EXPECT_EQ(tabs(2, SHIFT), (std::vector<std::string> { "btnRecord", "list" }));
    // The keypad opened: its keys join the order, the closed filter's button leaves it.
    press(letter_key('F'), CTRL);
    ASSERT_TRUE(main->filter_open());
    std::vector<std::string> const opened = tabs(static_cast<int>(top()->focus_order().size()));
    EXPECT_EQ(std::count(opened.begin(), opened.end(), "btnFilter"), 0);
    EXPECT_EQ(std::count(opened.begin(), opened.end(), "btnCloseFilter"), 1);
    EXPECT_EQ(std::count(opened.begin(), opened.end(), "button5"), 1);
}

TEST_F(KeyboardFocusTest, EnterAndSpacePressTheFocusedButtonAsATapDoes)
{
    start();
    tabs(2);
    ASSERT_EQ(focused_id(), "btnMenu");
    press(skin::KEY_ENTER);
    ASSERT_EQ(top(), &main->menu().form());
    press(skin::KEY_ESC);
    ASSERT_EQ(top(), &main->form());
    // The focus is kept under the menu; Space presses as Enter does.
    EXPECT_EQ(focused_id(), "btnMenu");
    press(skin::KEY_SPACE);
    EXPECT_EQ(top(), &main->menu().form());
}

TEST_F(KeyboardFocusTest, DownSelectsTheNewestFirstAndEnterOpensTheSelectedRow)
{
    add_record(u"Ann", u"Older");
    add_record(u"Bob", u"Newer");
    start();
    auto const& records = document->records();
    ASSERT_EQ(records.size(), 2u);
    press(skin::KEY_DOWN);
    ASSERT_EQ(main->list().selected(), 0);
    press(skin::KEY_DOWN);
    press(skin::KEY_DOWN);
    EXPECT_EQ(main->list().selected(), 1) << "the last row stays selected";
    press(skin::KEY_UP);
    ASSERT_EQ(main->list().selected(), 0);
    press(skin::KEY_ENTER);
    // The test's files hold tags but no sound: the playback screen opens with a message over it.
    ASSERT_TRUE(main->view().is_shown());
    EXPECT_EQ(document->current().path, records[static_cast<size_t>(main->filter().shown()[0])].path);
}

// The keys never leave the row they went to under the floating record button.
TEST_F(KeyboardFocusTest, TheRowTheKeysReachStandsClearOfTheRecordButton)
{
    for (char16_t name = u'A'; name < u'M'; ++name)
        add_record(String(1, name), u"Note");
    start({ 240, 320 }, 96);
    auto const& list = main->list();
    int32_t const button_top = element(main->form(), u"btnRecord").position().y - list.position().y;
    auto const row_bottom = [&](int32_t index) {
        double top = 0, height = 0;
        return list.row_place(index, top, height) ? top + height : 1e9;
    };
    for (int i = 0; i < 12; ++i)
        press(skin::KEY_DOWN);
    ASSERT_EQ(list.selected(), 11);
    EXPECT_LE(row_bottom(11), button_top);
    press(skin::KEY_HOME);
    press(skin::KEY_END);
    EXPECT_LE(row_bottom(11), button_top);
}

TEST_F(KeyboardFocusTest, NoSingleKeyEndsARecordingButCtrlRDoes)
{
    record();
    for (int32_t code : std::initializer_list<int32_t> { skin::KEY_ESC, skin::KEY_ENTER, skin::KEY_DEL,
             skin::KEY_BACKSPACE, skin::KEY_SOFT_LEFT, letter_key('R') }) {
        press(code);
        EXPECT_TRUE(document->is_recording()) << "key " << code;
    }
    press(letter_key('R'), CTRL);
    EXPECT_FALSE(document->is_recording());
    EXPECT_EQ(top(), &main->form());
}

// Enter presses the name editor's focused button: Cancel keeps the name, OK takes the typed one; Ctrl+Enter
// presses none.
TEST_F(KeyboardFocusTest, EnterPressesTheFocusedButtonOfTheNameEditorAndCtrlEnterNone)
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

// Delete asks about the selected record only (nothing selected, nothing asked). Ctrl+Enter or Alt+Enter is
// no OK; a plain Enter that is let go of while Ctrl is held still clicks.
TEST_F(KeyboardFocusTest, DeleteAsksAboutTheSelectedRecordAndChordsWithCtrlOrAltDoNotAnswer)
{
    add_record(u"Ann", u"One");
    add_record(u"Bob", u"Two");
    start();
    press(skin::KEY_DEL);
    EXPECT_EQ(top(), &main->form());
    press(skin::KEY_DOWN);
    String const chosen = document->records()[static_cast<size_t>(main->filter().shown()[0])].path;
    press(skin::KEY_DEL);
    ASSERT_EQ(top(), &main->confirmation().form());
    for (uint8_t modifiers : { CTRL, ALT, static_cast<uint8_t>(CTRL | ALT) }) {
        press(skin::KEY_ENTER, modifiers);
        ASSERT_EQ(top(), &main->confirmation().form()) << int(modifiers);
        EXPECT_EQ(document->records().size(), 2u) << int(modifiers);
    }
    top()->on_key({ skin::KEY_ENTER, true, true, 0 });
    top()->on_key({ skin::KEY_ENTER, false, true, CTRL });
    settle();
    ASSERT_EQ(document->records().size(), 1u);
    EXPECT_NE(document->records()[0].path, chosen);
    EXPECT_FALSE(element<skin::ButtonElement>(main->confirmation().form(), u"btnOk").pressed());
}

TEST_F(KeyboardFocusTest, EnterLeavesAFocusedSliderWhereTheArrowsPutIt)
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
TEST_F(KeyboardFocusTest, ArrowsReachTheMenusRowOfButtonsAndEnterPressesOne)
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

struct RingSize {
    skin::Point screen;
    int32_t dpi;
    int stroke;
    char const* name;
};

class FocusRingTest : public KeyboardFocusTest, public ::testing::WithParamInterface<RingSize> { };

TEST_P(FocusRingTest, TheRingIsTwoDesignPixelsOfTheAccentOutsideTheElementAndGoesAtATap)
{
    RingSize const size = GetParam();
    start(size.screen, size.dpi);
    auto const& button = element(main->form(), u"btnMenu");
    int32_t const middle = button.position().y + button.size().y / 2;
    int32_t const left = button.position().x;
    EXPECT_EQ(accent_run(middle, left - 8 * size.stroke, left), 0) << "no ring before a key";
    tabs(2);
    ASSERT_EQ(focused_id(), "btnMenu");
    save(std::string("focus-ring-") + size.name);
    // Left of the button: the gap, then the stroke; nothing inside the button is painted over.
    EXPECT_EQ(accent_run(middle, left - 3 * size.stroke / 2 - 2, left), size.stroke);
    EXPECT_EQ(accent_run(middle, left - size.stroke / 2, left + 2), 0);
    tap_at({ 2, size.screen.y / 2 });
    EXPECT_EQ(accent_run(middle, left - 8 * size.stroke, left), 0) << "a tap hides the ring";
    EXPECT_EQ(focused_id(), "btnMenu") << "the focus stays for the next key";
}

INSTANTIATE_TEST_SUITE_P(Sizes, FocusRingTest,
    ::testing::Values(RingSize { { 240, 320 }, 96, 2, "240x320" }, RingSize { { 480, 640 }, 192, 4, "480x640" },
        RingSize { { 640, 480 }, 192, 4, "640x480" }),
    [](auto const& info) { return std::string(info.param.name); });

class KeysWindowTest : public KeyboardFocusTest, public ::testing::WithParamInterface<char const*> { };

// Ctrl+? lists the keys in the current language, one row each, on a menu page of the smallest
// screen; Escape puts it away.
TEST_P(KeysWindowTest, CtrlQuestionMarkListsEveryKeyInTheLanguage)
{
    language = GetParam();
    start({ 240, 320 }, 96);
    press(skin::KEY_SLASH, CTRL | SHIFT);
    ASSERT_EQ(top(), &main->menu().form());
    auto const& items = main->menu().items();
    ASSERT_EQ(items.size(), 15u);
    String all;
    for (auto const& item : items)
        all += item.label + u"|";
    EXPECT_EQ(all.find(u"Keys_"), String::npos) << "untranslated: " << core::to_utf8(all);
    EXPECT_NE(all.find(u"Ctrl+R: "), String::npos) << core::to_utf8(all);
    save(std::string("keys-window-") + GetParam());
    press(skin::KEY_ESC);
    EXPECT_EQ(top(), &main->form());
}

INSTANTIATE_TEST_SUITE_P(Languages, KeysWindowTest, ::testing::Values("english", "russian"));

} // namespace
