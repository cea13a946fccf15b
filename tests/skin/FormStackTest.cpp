#include "FormTestSupport.h"
#include "GoldenSupport.h"

#include <skin/Blitter.h>
#include <skin/DiagnosticOverlay.h>
#include <skin/VisibilityAnimation.h>

using namespace skin;
using namespace skin_testing;

namespace {

class Events : public FormStackListener {
public:
    void on_form_shown(Form* form) override { log += "+" + core::to_utf8(form->id()); }
    void on_form_closed(Form* form) override { log += "-" + core::to_utf8(form->id()); }
    std::string log;
};

class Stack : public testing::Test {
protected:
    void SetUp() override
    {
        main = harness->make_form(u"FormMain");
        other = harness->make_form(u"FormOther");
        popup = harness->make_form(u"FormPopup");
        popup2 = harness->make_form(u"FormPopup2");
        stack().set_listener(&events);
    }
    FormStack& stack() { return harness->stack(); }
    bool every_pixel_is(uint16_t value) const
    {
        Bitmap565 const& frame = harness->frame();
        for (int32_t y = 0; y < frame.height(); ++y)
            for (int32_t x = 0; x < frame.width(); ++x)
                if (frame.at(x, y) != value)
                    return false;
        return true;
    }

    std::unique_ptr<FormHarness> harness = form_harness();
    std::unique_ptr<Form> main, other, popup, popup2;
    Events events;
};

uint16_t const MAIN = Color { 0x20, 0x40, 0x60, 255 }.to_565();
uint16_t const OTHER = Color { 0x40, 0x60, 0x20, 255 }.to_565();

uint16_t halved(uint16_t pixel)
{
    return static_cast<uint16_t>((pixel & 0xF7DF) >> 1);
}

TEST_F(Stack, ClosingTheOnlyFormLeavesTheScreenColour)
{
    stack().set_screen_color({ 0x12, 0x34, 0x56, 255 });
    harness->show(*main);
    harness->advance(40);
    EXPECT_EQ(harness->pixel({ 5, 5 }), MAIN);
    EXPECT_TRUE(harness->close(*main));
    EXPECT_EQ(stack().top(), nullptr);
    EXPECT_EQ(stack().size(), 0u);
    EXPECT_TRUE(stack().needs_redraw());
    harness->advance(40);
    EXPECT_TRUE(every_pixel_is(Color { 0x12, 0x34, 0x56, 255 }.to_565()));
    EXPECT_FALSE(harness->close(*main));
    EXPECT_EQ(events.log, "+FormMain-FormMain");
}

// The popup's background is a frozen picture of the screen, darkened a step a frame from 256 to 128.
TEST_F(Stack, PopupDimsAFrozenBackground)
{
    harness->show(*main);
    harness->advance(40);
    EXPECT_FALSE(stack().needs_redraw());
    harness->show(*popup, FormMode::POPUP);
    EXPECT_FALSE(main->visible());
    ASSERT_NE(stack().background(), nullptr);
    EXPECT_EQ(stack().background()->bitmap()->at(5, 5), MAIN);
    EXPECT_TRUE(popup->visibility_animation()->running());
    std::vector<int32_t> levels;
    for (int frame = 0; frame < 10; ++frame) {
        harness->advance(40);
        levels.push_back(stack().dim_level());
    }
    EXPECT_EQ(levels, (std::vector<int32_t> { 240, 224, 208, 192, 176, 160, 144, 128, 128, 128 }));
    EXPECT_FALSE(popup->visibility_animation()->running());
    EXPECT_FALSE(stack().needs_redraw());
    EXPECT_EQ(harness->pixel({ 2, 2 }), halved(MAIN));
    EXPECT_EQ(harness->pixel({ 47, 74 }), (Color { 0, 0x80, 0, 255 }.to_565())); // the OK button

    EXPECT_TRUE(harness->close(*popup));
    EXPECT_TRUE(main->visible());
    EXPECT_EQ(stack().background(), nullptr);
    harness->advance(40);
    EXPECT_EQ(stack().dim_level(), 144);
    EXPECT_EQ(harness->pixel({ 2, 2 }), MAIN);
    harness->advance(400);
    EXPECT_EQ(stack().dim_level(), 256);
    EXPECT_FALSE(stack().needs_redraw());
}

TEST_F(Stack, PopupOverPopupKeepsTheFirstBackground)
{
    harness->show(*main);
    harness->show(*popup, FormMode::POPUP);
    harness->advance(400);
    RenderSurface const* first = stack().background();
    harness->show(*popup2, FormMode::POPUP);
    EXPECT_EQ(stack().background(), first);
    EXPECT_FALSE(popup->visible());
    harness->advance(400);
    EXPECT_EQ(harness->pixel({ 2, 2 }), halved(MAIN));

    EXPECT_TRUE(harness->close(*popup2));
    EXPECT_EQ(stack().top(), popup.get());
    EXPECT_EQ(stack().background(), first);
    EXPECT_TRUE(popup->visible());
    EXPECT_TRUE(popup->visibility_animation()->running());
    EXPECT_EQ(popup->visibility_animation()->direction(), 1);
    harness->advance(400);
    EXPECT_FALSE(popup->visibility_animation()->running());
    EXPECT_EQ(harness->pixel({ 47, 74 }), (Color { 0, 0x80, 0, 255 }.to_565()));
    EXPECT_EQ(events.log, "+FormMain+FormPopup+FormPopup2-FormPopup2");
}

// A full-screen form over a popup: when it closes, the popup is back over its own dimmed picture.
TEST_F(Stack, PopupUnderAFullScreenFormKeepsItsBackground)
{
    harness->show(*main);
    harness->show(*popup, FormMode::POPUP);
    harness->advance(400);
    harness->show(*other);
    EXPECT_EQ(stack().dim_level(), 256);
    harness->advance(400);
    EXPECT_EQ(harness->pixel({ 60, 150 }), OTHER);
    harness->close(*other);
    harness->advance(800);
    EXPECT_EQ(stack().top(), popup.get());
    EXPECT_EQ(harness->pixel({ 2, 2 }), halved(MAIN));
    EXPECT_EQ(stack().dim_level(), 128);
}

TEST_F(Stack, SwitchPlaysTheNewFormsAnimationAndComesBackReversed)
{
    harness->show(*main);
    harness->advance(40);
    harness->show(*other);
    VisibilityAnimation const* transition = stack().transition();
    ASSERT_NE(transition, nullptr);
    EXPECT_EQ(transition->side(), VisibilityAnimation::Side::BOTTOM);
    EXPECT_EQ(transition->direction(), 1);
    EXPECT_FALSE(main->visible());
    EXPECT_TRUE(other->visible());
    // "bottom" at t = 0.4: the old screen slid up by 0.4 of the height, the new form below it.
    harness->advance(80);
    EXPECT_EQ(harness->pixel({ 60, 50 }), MAIN);
    EXPECT_EQ(harness->pixel({ 60, 150 }), OTHER);
    harness->advance(120);
    EXPECT_EQ(stack().transition(), nullptr);
    EXPECT_EQ(harness->pixel({ 60, 50 }), OTHER);

    // Closing plays the closing form's animation backwards, from it to the form below.
    EXPECT_TRUE(harness->close(*other));
    transition = stack().transition();
    ASSERT_NE(transition, nullptr);
    EXPECT_EQ(transition->direction(), -1);
    EXPECT_TRUE(main->visible());
    harness->advance(80);
    EXPECT_DOUBLE_EQ(transition->progress(), 0.6);
    // The same form shown again on its way out: the same transition turns round.
    harness->show(*other);
    EXPECT_EQ(stack().transition(), transition);
    EXPECT_EQ(transition->direction(), 1);
    EXPECT_FALSE(main->visible());
    harness->advance(80);
    EXPECT_EQ(stack().transition(), nullptr);
    EXPECT_EQ(harness->pixel({ 60, 50 }), OTHER);
    EXPECT_EQ(stack().top(), other.get());
    EXPECT_EQ(stack().size(), 2u);
    EXPECT_EQ(events.log, "+FormMain+FormOther-FormOther+FormOther");
}

TEST_F(Stack, FormsLeaveTheStackWhenShownAgainOrDestroyed)
{
    harness->show(*main);
    harness->show(*other);
    harness->show(*popup, FormMode::POPUP);
    harness->show(*main);
    EXPECT_EQ(stack().size(), 3u);
    EXPECT_EQ(stack().top(), main.get());
    EXPECT_TRUE(harness->close(*other));
    EXPECT_EQ(stack().size(), 2u);
    EXPECT_EQ(stack().top(), main.get());
    main.reset();
    EXPECT_EQ(stack().top(), popup.get());
    EXPECT_EQ(stack().transition(), nullptr);
    harness->advance(400);
    EXPECT_EQ(stack().size(), 1u);
}

TEST(DiagnosticOverlay, TextAndColour)
{
    EXPECT_EQ(DiagnosticOverlay::text(12.34, true, 345678), u"[12.3 ms] 345 Kp");
    EXPECT_EQ(DiagnosticOverlay::text(40, false, 999), u"40.0 ms 0 Kp");
    EXPECT_EQ(DiagnosticOverlay::text(0.06, false, 1000), u"0.1 ms 1 Kp");
    EXPECT_EQ(DiagnosticOverlay::text_color(5), (Color { 0, 255, 0, 255 }));
    EXPECT_EQ(DiagnosticOverlay::text_color(30), (Color { 128, 255, 0, 255 }));
    EXPECT_EQ(DiagnosticOverlay::text_color(40), (Color { 255, 255, 0, 255 }));
    EXPECT_EQ(DiagnosticOverlay::text_color(55), (Color { 255, 64, 0, 255 }));
    EXPECT_EQ(DiagnosticOverlay::text_color(90), (Color { 255, 0, 0, 255 }));

    DiagnosticOverlay overlay;
    EXPECT_EQ(overlay.average_ms(), 0);
    for (uint32_t t : { 0u, 10u, 30u })
        overlay.count_frame(t);
    EXPECT_DOUBLE_EQ(overlay.average_ms(), 15);
    for (uint32_t i = 1; i <= DiagnosticOverlay::FRAMES; ++i)
        overlay.count_frame(30 + 40 * i);
    EXPECT_DOUBLE_EQ(overlay.average_ms(), 40);
}

TEST_F(Stack, DiagnosticOverlayDarkensItsBoxOnlyWhenOn)
{
    ASSERT_FALSE(FormStack::diagnostic_overlay());
    harness->show(*other);
    harness->advance(40);
    EXPECT_EQ(harness->pixel({ 118, 1 }), OTHER);
    FormStack::set_diagnostic_overlay(true);
    harness->paint();
    FormStack::set_diagnostic_overlay(false);
    EXPECT_EQ(harness->pixel({ 118, 1 }), halved(OTHER));
    EXPECT_EQ(harness->pixel({ 118, 21 }), OTHER);
}

TEST_F(Stack, GoldenPopupOverDimmedList)
{
    RowModel model(harness->properties());
    auto* list = find<VListElement>(*main, u"list");
    list->set_model(&model);
    list->reset(20);
    list->set_selected(1);
    harness->show(*main);
    harness->show(*popup, FormMode::POPUP);
    harness->advance(400);
    expect_golden("form_popup_96", harness->frame());
}

TEST(StackGolden, PopupAt192Dpi)
{
    auto harness = form_harness({ 240, 320 }, 192);
    auto main = harness->make_form(u"FormMain");
    auto popup = harness->make_form(u"FormPopup");
    RowModel model(harness->properties());
    find<VListElement>(*main, u"list")->set_model(&model);
    find<VListElement>(*main, u"list")->reset(20);
    harness->show(*main);
    harness->show(*popup, FormMode::POPUP);
    harness->advance(120);
    expect_golden("form_popup_pop_192", harness->frame());
}

} // namespace
