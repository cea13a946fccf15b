#include "ElementTestSupport.h"

using namespace skin;
using namespace skin_testing;

namespace {

// FormButtons: btnA (10..50, 10..30) and btnB (30..70, 10..30) overlap; both are bound to "SOFT_LEFT".
class Forms : public testing::Test {
protected:
    void SetUp() override
    {
        form = harness->make_form(u"FormButtons");
        harness->show(*form);
        harness->advance(40);
        ASSERT_TRUE(bind_button(a, *form, u"btnA", &recorder) && bind_button(b, *form, u"btnB", &recorder));
    }
    void tap(Point point)
    {
        harness->pen_down(point);
        harness->pen_up(point);
    }

    std::unique_ptr<FormHarness> harness = form_harness();
    std::unique_ptr<Form> form;
    ButtonElement* a = nullptr;
    ButtonElement* b = nullptr;
    Recorder recorder;
};

// The button keeps the pen it took: it gets the moves away from it and the release, and does not click.
TEST_F(Forms, PressMoveOffAndReleaseDoesNotClickAndTheEarlierOfOverlappingButtonsTakesThePress)
{
    EXPECT_TRUE(harness->pen_down({ 15, 15 }));
    harness->pen_move({ 100, 100 });
    harness->pen_move({ 101, 120 });
    EXPECT_EQ(std::tuple(form->captured(), a->pressed()), std::tuple(std::vector<Element*> { a }, true));
    EXPECT_FALSE(harness->pen_up({ 101, 120 }));
    EXPECT_EQ(std::tuple(recorder.kinds(), a->pressed()), std::tuple("dpddp", false));
    // Moves with nothing held only hover: nothing is captured.
    harness->pen_move({ 15, 15 });
    EXPECT_TRUE(form->captured().empty());

    // Of overlapping buttons, the earlier that accepts takes the press.
    recorder.reports.clear();
    tap({ 40, 15 });
    EXPECT_EQ(std::tuple(recorder.kinds(a), recorder.kinds(b)), std::tuple("dppc", ""));
    a->set_enabled(false);
    tap({ 40, 15 });
    EXPECT_EQ(std::tuple(recorder.kinds(a), recorder.kinds(b)), std::tuple("dppc", "dppc"));
    // A press that nothing accepts captures nothing; its release reaches no one.
    EXPECT_FALSE(harness->pen_down({ 100, 100 }) || harness->pen_up({ 40, 15 }));
    EXPECT_EQ(recorder.reports.size(), 8u);
}

TEST_F(Forms, BoundKeyReachesAVisibleEnabledButtonOnly)
{
    EXPECT_TRUE(harness->key(KEY_SOFT_LEFT, true) && a->pressed());
    EXPECT_TRUE(harness->key(KEY_SOFT_LEFT, false) && recorder.kinds() == "ppc" && !harness->key(KEY_SOFT_RIGHT, true))
        << recorder.kinds();
    a->set_visible(false);
    harness->key(KEY_SOFT_LEFT, true);
    harness->key(KEY_SOFT_LEFT, false);
    EXPECT_EQ(std::tuple(recorder.kinds(a), recorder.kinds(b)), std::tuple("ppc", "ppc"));
    b->set_enabled(false);
    EXPECT_FALSE(harness->key(KEY_SOFT_LEFT, true) || harness->character(u'x'));
    EXPECT_EQ(recorder.reports.size(), 6u);
}

// Hidden while held, the form releases the button with cancel set: no click. So does the stack closing
// it, and so is a held button hidden or disabled on its own.
TEST_F(Forms, HeldButtonsAreCancelledWhenTheyGoAway)
{
    harness->pen_down({ 15, 15 });
    form->set_visible(false);
    EXPECT_EQ(std::tuple(recorder.kinds(), recorder.reports.back().flag, form->captured().size()),
        std::tuple("dpp", true, 0u));
    EXPECT_FALSE(harness->pen_up({ 15, 15 }));
    form->set_visible(true);

    harness->pen_down({ 15, 15 });
    EXPECT_TRUE(harness->close(*form));
    EXPECT_EQ(recorder.kinds(), "dppdpp");
    harness->show(*form);

    harness->pen_down({ 15, 15 });
    a->set_visible(false);
    harness->pen_move({ 16, 16 });
    EXPECT_EQ(recorder.kinds(), "dppdppdpp");
    a->set_visible(true);
    harness->pen_up({ 16, 16 });
    harness->pen_down({ 15, 15 });
    a->set_enabled(false);
    harness->pen_up({ 15, 15 });
    EXPECT_EQ(std::tuple(recorder.kinds(), recorder.reports.back().flag, a->pressed()),
        std::tuple("dppdppdppdpp", true, false));
}

// A screen that rebuilds its form from a click destroys the elements being routed to; nothing touches
// them afterwards.
TEST_F(Forms, ListenersMayRebuildTheFormWhileInputIsRouted)
{
    recorder.on_clicked = [&](Element*) {
        load_entry(*form, harness->properties(), u"FormButtons");
        ASSERT_TRUE(bind_button(a, *form, u"btnA", &recorder));
    };
    tap({ 15, 15 });
    // The keys reach the rebuilt button: its binding replaced the destroyed one's.
    harness->advance(40);
    harness->key(KEY_SOFT_LEFT, true);
    harness->key(KEY_SOFT_LEFT, false);
    EXPECT_EQ(std::tuple(recorder.kinds(), form->inputs().size()), std::tuple("dppcppc", 4u));
}

TEST_F(Forms, BindingFindsTypedElementsOrThrows)
{
    EXPECT_EQ(form->outside_color(), (Color { 0x10, 0x20, 0x30, 255 }));
    EXPECT_EQ(std::tuple(a->button_listener(), a->listener()), std::tuple(&recorder, &recorder));
    TextElement* text = nullptr;
    bind_element(text, *form, u"text", &recorder);
    EXPECT_EQ(std::tuple(text->text(), text->listener()), std::tuple(u"Ready", &recorder));
    auto const not_text = thrown<NodeNotFound>([&] { bind_element(text, *form, u"btnA", nullptr); });
    EXPECT_EQ(not_text ? not_text->form_id() + u"/" + not_text->child_id() : u"", u"FormButtons/btnA");
    Element* slot = nullptr;
    EXPECT_FALSE(
        bind_button(slot, *form, u"text", &recorder) || bind_button(slot, *form, u"nothing", &recorder) || slot);
    CheckboxElement* loop = nullptr;
    ASSERT_TRUE(bind_button(loop, *form, u"chkLoop", &recorder) && loop->click_listener() == &recorder);
    EXPECT_TRUE(bind_button(a, *form, u"btnA", nullptr) && !a->listener());
    auto const missing = thrown<NodeNotFoundInSkin>([&] { harness->make_form(u"FormMissing"); });
    EXPECT_EQ(missing ? missing->name() : u"", u"FormMissing");
}

} // namespace
