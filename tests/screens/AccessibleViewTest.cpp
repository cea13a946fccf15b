#include "ScreensTestSupport.h"

#include <document/Settings.h>
#include <screens/AccessibleView.h>
#include <screens/FormView.h>

using namespace screens_test;
using platform::AccessibleNode;
using platform::AccessibleRequest;
using platform::AccessibleRole;

namespace {

class AccessibleViewTest : public ScreensTest {
protected:
    std::unique_ptr<screens::AccessibleView> view;

    // One recording that plays (a second of WAV into a WAV file as the speaker) and one other.
    void open()
    {
        add_record(u"Anna", u"Budget call");
        add_note(u"Note one.wav", testing_support::wav16(8000, std::vector<int16_t>(8000, 100)));
        start();
        view = std::make_unique<screens::AccessibleView>(
            harness->stack(), [this](StringView key) { return harness->properties().translate(key); });
    }
    // The node of that role and name (or, with `prefix`, whose name starts so) on the top form.
    AccessibleNode const* find(AccessibleRole role, std::string const& name, bool prefix = false) const
    {
        static platform::AccessibleTree tree;
        tree = view->snapshot();
        for (auto const& node : tree.nodes)
            if (node.role == role && (prefix ? node.name.starts_with(name) : node.name == name))
                return &node;
        return nullptr;
    }
    bool carry_out(AccessibleRequest::Kind kind, AccessibleNode const* node, double value = 0)
    {
        bool const done = node && view->carry_out({ kind, node->key, value }, [this](skin::PenEvent const& pen) {
            pen.down ? harness->pen_down(pen.point()) : harness->pen_up(pen.point());
        });
        settle();
        return done;
    }
};

} // namespace

// "click" taps the element: the record button opens the recording screen, a question's OK answers it.
// A slider's value is set by a press at its place, and Tab walks what can be pressed, round the form.
TEST_F(AccessibleViewTest, ClickSetValueAndFocusDoWhatATapAndTabDo)
{
    open();
    EXPECT_EQ(view->snapshot().form_role, AccessibleRole::PANEL);
    ASSERT_TRUE(carry_out(AccessibleRequest::Kind::ACTIVATE, find(AccessibleRole::LIST_ITEM, "Note one", true)));
    ASSERT_EQ(top(), &main->view().form());
    auto const* volume = find(AccessibleRole::SLIDER, "Volume");
    ASSERT_NE(volume, nullptr);
    double const pixel = 1.0 / volume->width;
    for (double wanted : { 0.3, 0.0, 1.0 }) {
        ASSERT_TRUE(carry_out(AccessibleRequest::Kind::SET_VALUE, find(AccessibleRole::SLIDER, "Volume"), wanted));
        EXPECT_NEAR(document->settings().volume, wanted, pixel) << wanted;
        EXPECT_NEAR(find(AccessibleRole::SLIDER, "Volume")->value, wanted, pixel) << wanted;
    }
    EXPECT_FALSE(carry_out(AccessibleRequest::Kind::SET_VALUE, find(AccessibleRole::PROGRESS_BAR, "Level"), 0.5));

    // The name button opens the name field: a dialog with the text and its caret, the field focused.
    ASSERT_TRUE(carry_out(AccessibleRequest::Kind::ACTIVATE, find(AccessibleRole::PUSH_BUTTON, "Note one", true)));
    auto const edit = view->snapshot();
    EXPECT_EQ(edit.form_role, AccessibleRole::DIALOG);
    auto const field = std::find_if(
        edit.nodes.begin(), edit.nodes.end(), [](AccessibleNode const& n) { return n.role == AccessibleRole::TEXT; });
    ASSERT_NE(field, edit.nodes.end());
    EXPECT_EQ(field->text, "Note one");
    EXPECT_EQ(field->caret, 8);
    EXPECT_TRUE(field->focused);
    ASSERT_TRUE(carry_out(AccessibleRequest::Kind::ACTIVATE, find(AccessibleRole::PUSH_BUTTON, "Cancel")));

    ASSERT_TRUE(carry_out(AccessibleRequest::Kind::ACTIVATE, find(AccessibleRole::PUSH_BUTTON, "Back")));
    use_tone_input(30, false);
    ASSERT_TRUE(carry_out(AccessibleRequest::Kind::ACTIVATE, find(AccessibleRole::PUSH_BUTTON, "Record")));
    EXPECT_EQ(top()->id(), u"FormRecording");
    EXPECT_EQ(view->snapshot().form_name, "Recording");

    std::vector<std::string> focused;
    for (int i = 0; i < 12; ++i) {
        view->move_focus(1);
        for (auto const& node : view->snapshot().nodes)
            if (node.focused)
                focused.push_back(node.name);
    }
    ASSERT_EQ(focused.size(), 12u);
    auto const round = std::find(focused.begin() + 1, focused.end(), focused[0]) - focused.begin();
    EXPECT_GT(round, 2) << "Tab went round " << round << " elements";
    EXPECT_TRUE(std::equal(focused.begin(), focused.end() - round, focused.begin() + round));
    EXPECT_NE(std::find(focused.begin(), focused.end(), "Stop"), focused.end());
}

// A question is a dialog named by what it asks; its OK does what OK does.
TEST_F(AccessibleViewTest, AQuestionIsADialogNamedByItsText)
{
    open();
    main->confirm_delete();
    settle();
    auto const tree = view->snapshot();
    EXPECT_EQ(tree.form_role, AccessibleRole::DIALOG);
    EXPECT_EQ(tree.form_name, "Delete 2 recordings? Their files go to the trash.");
    ASSERT_TRUE(carry_out(AccessibleRequest::Kind::ACTIVATE, find(AccessibleRole::PUSH_BUTTON, "OK")));
    run_until([&] { return document->records().empty(); });
    EXPECT_TRUE(document->records().empty());
}

// The main menu's row of Help, Minimize and Exit: buttons inside its item, and "click" on one presses it.
TEST_F(AccessibleViewTest, TheMenusRowOfButtonsIsButtonsInsideItsItem)
{
    open();
    press(skin::KEY_CONTEXT_MENU);
    auto const tree = view->snapshot();
    std::vector<std::string> buttons;
    for (auto const& node : tree.nodes)
        if (node.role == AccessibleRole::PUSH_BUTTON && node.parent >= 0
            && tree.nodes[static_cast<size_t>(node.parent)].role == AccessibleRole::LIST_ITEM)
            buttons.push_back(node.name);
    ASSERT_EQ(buttons, (std::vector<std::string> { "Help", "Minimize", "Exit" }));
    ASSERT_TRUE(carry_out(AccessibleRequest::Kind::ACTIVATE, find(AccessibleRole::PUSH_BUTTON, "Minimize")));
    EXPECT_EQ(host->minimized, 1);
}
