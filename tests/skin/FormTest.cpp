#include "FormTestSupport.h"

#include <skin/KeyNames.h>
#include <skin/SkinListener.h>
#include <skin/widgets/ButtonElement.h>
#include <skin/widgets/CheckboxElement.h>
#include <skin/widgets/TextElement.h>

using namespace skin;
using namespace skin_testing;

namespace {

class Forms : public testing::Test {
protected:
    void SetUp() override
    {
        form = harness->make_form(u"FormButtons");
        harness->show(*form);
        harness->advance(40);
        ASSERT_TRUE(bind_button(a, *form, u"btnA", &recorder));
        ASSERT_TRUE(bind_button(b, *form, u"btnB", &recorder));
    }

    std::unique_ptr<FormHarness> harness = form_harness();
    std::unique_ptr<Form> form;
    ButtonElement* a = nullptr;
    ButtonElement* b = nullptr;
    ButtonRecorder recorder;
};

// The button keeps the pen it took: it gets the moves away from it and the release, and does not click.
TEST_F(Forms, PressMoveOffAndReleaseDoesNotClick)
{
    EXPECT_TRUE(harness->pen_down({ 15, 15 }));
    EXPECT_EQ(form->captured(), std::vector<Element*> { a });
    harness->pen_move({ 100, 100 });
    harness->pen_move({ 101, 120 });
    EXPECT_EQ(form->captured(), std::vector<Element*> { a });
    EXPECT_TRUE(a->pressed());
    EXPECT_FALSE(harness->pen_up({ 101, 120 }));
    EXPECT_EQ(recorder.kinds(), "dpddp");
    EXPECT_FALSE(a->pressed());
    EXPECT_TRUE(form->captured().empty());

    // Moves with nothing held only hover: nothing is captured, a button not held ignores them.
    harness->pen_move({ 15, 15 });
    EXPECT_TRUE(form->captured().empty());
    EXPECT_EQ(recorder.kinds(), "dpddp");
}

TEST_F(Forms, OverlappingButtonsTheEarlierThatAcceptsTakesThePress)
{
    harness->pen_down({ 40, 15 });
    harness->pen_up({ 40, 15 });
    EXPECT_EQ(recorder.kinds(a), "dppc");
    EXPECT_EQ(recorder.kinds(b), "");

    recorder.reports.clear();
    a->set_enabled(false);
    harness->pen_down({ 40, 15 });
    harness->pen_up({ 40, 15 });
    EXPECT_EQ(recorder.kinds(a), "");
    EXPECT_EQ(recorder.kinds(b), "dppc");

    // A press where nothing accepts it captures nothing, and its release reaches no one.
    recorder.reports.clear();
    EXPECT_FALSE(harness->pen_down({ 100, 100 }));
    EXPECT_FALSE(harness->pen_up({ 40, 15 }));
    EXPECT_TRUE(recorder.reports.empty());
}

TEST_F(Forms, BoundKeyReachesAVisibleEnabledButtonOnly)
{
    EXPECT_TRUE(harness->key(KEY_SOFT_LEFT, true));
    EXPECT_TRUE(a->pressed());
    EXPECT_TRUE(harness->key(KEY_SOFT_LEFT, false));
    EXPECT_EQ(recorder.kinds(a), "ppc");
    EXPECT_EQ(recorder.kinds(b), "");
    EXPECT_FALSE(harness->key(KEY_SOFT_RIGHT, true));

    recorder.reports.clear();
    a->set_visible(false);
    EXPECT_TRUE(harness->key(KEY_SOFT_LEFT, true));
    EXPECT_TRUE(harness->key(KEY_SOFT_LEFT, false));
    EXPECT_EQ(recorder.kinds(a), "");
    EXPECT_EQ(recorder.kinds(b), "ppc");

    recorder.reports.clear();
    b->set_enabled(false);
    EXPECT_FALSE(harness->key(KEY_SOFT_LEFT, true));
    EXPECT_FALSE(harness->character(u'x'));
    EXPECT_TRUE(recorder.reports.empty());
}

TEST_F(Forms, HidingTheFormReleasesTheHeldButtonCancelled)
{
    harness->pen_down({ 15, 15 });
    form->set_visible(false);
    ASSERT_EQ(recorder.kinds(), "dpp");
    EXPECT_TRUE(recorder.reports.back().flag);
    EXPECT_FALSE(a->pressed());
    EXPECT_TRUE(form->captured().empty());
    EXPECT_FALSE(harness->pen_up({ 15, 15 }));
    EXPECT_EQ(recorder.kinds(), "dpp");

    // Closed by the stack while held: the same.
    form->set_visible(true);
    recorder.reports.clear();
    harness->pen_down({ 15, 15 });
    EXPECT_TRUE(harness->close(*form));
    EXPECT_EQ(recorder.kinds(), "dpp");
    EXPECT_FALSE(a->pressed());
}

// A held button that is hidden or disabled is let go at once, cancelled, instead of staying pressed.
TEST_F(Forms, HeldButtonThatGoesAwayIsCancelled)
{
    harness->pen_down({ 15, 15 });
    a->set_visible(false);
    harness->pen_move({ 16, 16 });
    EXPECT_EQ(recorder.kinds(), "dpp");
    EXPECT_TRUE(recorder.reports.back().flag);
    EXPECT_FALSE(a->pressed());
    a->set_visible(true);
    harness->pen_up({ 16, 16 });
    EXPECT_EQ(recorder.kinds(), "dpp");

    recorder.reports.clear();
    harness->pen_down({ 15, 15 });
    a->set_enabled(false);
    harness->pen_up({ 15, 15 });
    EXPECT_EQ(recorder.kinds(), "dpp");
    EXPECT_FALSE(a->pressed());
}

// A screen that rebuilds its form from a click destroys the elements being routed to; nothing touches
// them afterwards.
TEST_F(Forms, ListenersMayRebuildTheFormWhileInputIsRouted)
{
    recorder.on_clicked = [&](Element*) {
        load_entry(*form, harness->properties(), u"FormButtons");
        ASSERT_TRUE(bind_button(a, *form, u"btnA", &recorder));
    };
    ButtonElement* const before = a;
    harness->pen_down({ 15, 15 });
    harness->pen_up({ 15, 15 });
    EXPECT_NE(a, before);
    harness->advance(40);
    EXPECT_TRUE(harness->key(KEY_SOFT_LEFT, true));
    EXPECT_TRUE(harness->key(KEY_SOFT_LEFT, false));
    EXPECT_EQ(recorder.kinds(), "dppcppc");
    EXPECT_EQ(form->inputs().size(), 4u);
}

TEST_F(Forms, BindingFindsTypedElementsOrThrows)
{
    EXPECT_EQ(form->outside_color(), (Color { 0x10, 0x20, 0x30, 255 }));
    EXPECT_EQ(a->button_listener(), &recorder);
    EXPECT_EQ(a->listener(), &recorder);

    TextElement* text = nullptr;
    bind_element(text, *form, u"text", &recorder);
    EXPECT_EQ(text->text(), u"Ready");
    EXPECT_EQ(text->listener(), &recorder);
    try {
        bind_element(text, *form, u"btnA", nullptr);
        FAIL() << "a button bound as a text";
    } catch (NodeNotFound const& e) {
        EXPECT_EQ(e.form_id(), u"FormButtons");
        EXPECT_EQ(e.child_id(), u"btnA");
    }
    EXPECT_THROW(bind_element(text, *form, u"nothing", nullptr), NodeNotFound);

    Element* slot = nullptr;
    EXPECT_FALSE(bind_button(slot, *form, u"text", &recorder));
    EXPECT_FALSE(bind_button(slot, *form, u"nothing", &recorder));
    EXPECT_EQ(slot, nullptr);
    CheckboxElement* loop = nullptr;
    ASSERT_TRUE(bind_button(loop, *form, u"chkLoop", &recorder));
    EXPECT_EQ(loop->click_listener(), &recorder);
    ASSERT_TRUE(bind_button(a, *form, u"btnA", nullptr));
    EXPECT_EQ(a->button_listener(), nullptr);
    EXPECT_EQ(a->listener(), nullptr);

    try {
        harness->make_form(u"FormMissing");
        FAIL() << "no exception";
    } catch (NodeNotFoundInSkin const& e) {
        EXPECT_EQ(e.name(), u"FormMissing");
    }
}

// A screen loads and binds in its constructor and again on every skin reload.
class ConfirmationScreen : public SkinListener, public ButtonListener {
public:
    explicit ConfirmationScreen(PropertiesImpl& properties)
        : SkinListener(properties)
    {
        build(properties);
    }
    void on_reload_skin(PropertiesImpl& properties) override { build(properties); }
    void on_click(Element*, ButtonEvent const&) override { ++clicks; }

    Form form;
    TextElement* text = nullptr;
    ButtonElement* ok = nullptr;
    int clicks = 0;

private:
    void build(PropertiesImpl const& properties)
    {
        load_entry(form, properties, u"FormButtons");
        bind_element(text, form, u"text", nullptr);
        if (!bind_button(ok, form, u"btnA", this))
            throw NodeNotFound(form.id(), u"btnA");
    }
};

TEST_F(Forms, ScreenRebindsOnSkinReload)
{
    ConfirmationScreen screen(harness->properties());
    harness->show(screen.form);
    ButtonElement* const first = screen.ok;
    harness->properties().send_reload_skin();
    EXPECT_NE(screen.ok, first);
    EXPECT_EQ(screen.ok->button_listener(), &screen);
    harness->advance(40);
    harness->pen_down({ 15, 15 });
    harness->pen_up({ 15, 15 });
    EXPECT_EQ(screen.clicks, 1);
    harness->close(screen.form);
}

} // namespace
