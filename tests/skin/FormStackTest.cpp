#include "ElementTestSupport.h"

#include <skin/DiagnosticOverlay.h>

using namespace skin;
using namespace skin_testing;

namespace {

class Events : public FormStackListener {
public:
    void on_form_shown(Form* form) override { log += "+" + core::to_utf8(form->id()); }
    void on_form_closed(Form* form) override { log += "-" + core::to_utf8(form->id()); }
    std::string log;
};

uint16_t const MAIN = Color { 0x20, 0x40, 0x60, 255 }.to_565();
uint16_t const OTHER = Color { 0x40, 0x60, 0x20, 255 }.to_565();
uint16_t const OK_BUTTON = Color { 0, 0x80, 0, 255 }.to_565();
Point const IN_OK_BUTTON { 47, 74 };

auto const halved = [](uint16_t pixel) { return static_cast<uint16_t>((pixel & 0xF7DF) >> 1); };

class Stack : public testing::Test {
protected:
    void SetUp() override { stack().set_listener(&events); }
    FormStack& stack() { return harness->stack(); }

    std::unique_ptr<FormHarness> harness = form_harness();
    std::unique_ptr<Form> main = harness->make_form(u"FormMain");
    std::unique_ptr<Form> other = harness->make_form(u"FormOther");
    std::unique_ptr<Form> popup = harness->make_form(u"FormPopup");
    std::unique_ptr<Form> popup2 = harness->make_form(u"FormPopup2");
    Events events;
};

TEST_F(Stack, ClosingTheOnlyFormLeavesTheScreenColourAndAPopupDimsAFrozenBackground)
{
    Color const screen { 0x12, 0x34, 0x56, 255 };
    stack().set_screen_color(screen);
    harness->show(*main);
    harness->advance(40);
    EXPECT_TRUE(harness->close(*main) && !stack().top());
    harness->advance(40);
    expect_pixels(harness->frame(), [&](int32_t, int32_t) { return screen.to_565(); });
    EXPECT_FALSE(harness->close(*main));
    EXPECT_EQ(events.log, "+FormMain-FormMain");
    // The popup's background is a frozen picture of the screen, darkened a step a frame from 256 to 128;
    // without a popup the level climbs back.
    harness->show(*main);
    harness->advance(40);
    EXPECT_FALSE(stack().needs_redraw());
    harness->show(*popup, FormMode::POPUP);
    EXPECT_EQ(
        std::tuple(main->visible(), stack().background()->bitmap()->at(5, 5), popup->visibility_animation()->running()),
        std::tuple(false, MAIN, true));
    std::vector<int32_t> levels;
    for (int frame = 0; frame < 10; ++frame) {
        harness->advance(40);
        levels.push_back(stack().dim_level());
    }
    EXPECT_EQ(levels, (std::vector<int32_t> { 240, 224, 208, 192, 176, 160, 144, 128, 128, 128 }));
    EXPECT_EQ(std::tuple(stack().needs_redraw(), harness->pixel({ 2, 2 }), harness->pixel(IN_OK_BUTTON)),
        std::tuple(false, halved(MAIN), OK_BUTTON));

    EXPECT_TRUE(harness->close(*popup));
    EXPECT_EQ(std::tuple(main->visible(), stack().background()), std::tuple(true, nullptr));
    harness->advance(40);
    EXPECT_EQ(std::tuple(stack().dim_level(), harness->pixel({ 2, 2 })), std::tuple(144, MAIN));
    harness->advance(400);
    EXPECT_EQ(std::tuple(stack().dim_level(), stack().needs_redraw()), std::tuple(256, false));
}

TEST_F(Stack, PopupOverPopupKeepsTheFirstBackground)
{
    harness->show(*main);
    harness->show(*popup, FormMode::POPUP);
    harness->advance(400);
    RenderSurface const* first = stack().background();
    harness->show(*popup2, FormMode::POPUP);
    EXPECT_EQ(std::tuple(stack().background(), popup->visible()), std::tuple(first, false));
    harness->advance(400);
    EXPECT_TRUE(harness->close(*popup2));
    EXPECT_EQ(std::tuple(stack().top(), stack().background(), popup->visibility_animation()->direction()),
        std::tuple(popup.get(), first, 1));
    harness->advance(400);
    EXPECT_EQ(std::tuple(harness->pixel({ 2, 2 }), harness->pixel(IN_OK_BUTTON)), std::tuple(halved(MAIN), OK_BUTTON));
    EXPECT_EQ(events.log, "+FormMain+FormPopup+FormPopup2-FormPopup2");

    // A full-screen form over the popup: when it closes, the popup is back over its own picture.
    harness->show(*other);
    EXPECT_EQ(stack().dim_level(), 256);
    harness->advance(400);
    EXPECT_EQ(harness->pixel({ 60, 150 }), OTHER);
    harness->close(*other);
    harness->advance(800);
    EXPECT_EQ(harness->pixel({ 2, 2 }), halved(MAIN));
}

TEST_F(Stack, SwitchPlaysTheNewFormsAnimationAndComesBackReversed)
{
    harness->show(*main);
    harness->advance(40);
    harness->show(*other);
    VisibilityAnimation const* transition = stack().transition();
    ASSERT_NE(transition, nullptr);
    EXPECT_EQ(std::tuple(transition->side(), transition->direction(), main->visible()),
        std::tuple(VisibilityAnimation::Side::BOTTOM, 1, false));
    // "bottom" at t = 0.4: the old screen slid up by 0.4 of the height, the new form below it.
    harness->advance(80);
    EXPECT_EQ(std::tuple(harness->pixel({ 60, 50 }), harness->pixel({ 60, 150 })), std::tuple(MAIN, OTHER));
    harness->advance(120);
    EXPECT_EQ(stack().transition(), nullptr);

    // Closing plays the closing form's animation backwards, from it to the form below; shown again on
    // its way out, the same transition turns round.
    EXPECT_TRUE(harness->close(*other));
    transition = stack().transition();
    ASSERT_NE(transition, nullptr);
    EXPECT_EQ(std::tuple(transition->direction(), main->visible()), std::tuple(-1, true));
    harness->advance(80);
    EXPECT_DOUBLE_EQ(transition->progress(), 0.6);
    harness->show(*other);
    EXPECT_EQ(
        std::tuple(stack().transition(), transition->direction(), main->visible()), std::tuple(transition, 1, false));
    harness->advance(80);
    EXPECT_EQ(std::tuple(stack().transition(), harness->pixel({ 60, 50 })), std::tuple(nullptr, OTHER));
    EXPECT_EQ(events.log, "+FormMain+FormOther-FormOther+FormOther");
}

TEST_F(Stack, FormsLeaveTheStackWhenShownAgainOrDestroyed)
{
    harness->show(*main);
    harness->show(*other);
    harness->show(*popup, FormMode::POPUP);
    harness->show(*main);
    EXPECT_TRUE(stack().size() == 3 && harness->close(*other) && stack().top() == main.get());
    main.reset();
    EXPECT_EQ(std::tuple(stack().top(), stack().transition()), std::tuple(popup.get(), nullptr));
    harness->advance(400);
    EXPECT_EQ(stack().size(), 1u);
}

TEST_F(Stack, DiagnosticOverlayAndGoldenPictures)
{
    DiagnosticOverlay overlay;
    for (uint32_t t : { 0u, 10u, 30u, 70u, 110u })
        overlay.count_frame(t);
    EXPECT_DOUBLE_EQ(overlay.average_ms(), 27.5);

    // Off at start; on, it darkens its 150 x 20 box by half.
    ASSERT_FALSE(FormStack::diagnostic_overlay());
    harness->show(*other);
    harness->advance(40);
    EXPECT_EQ(harness->pixel({ 118, 1 }), OTHER);
    FormStack::set_diagnostic_overlay(true);
    harness->paint();
    FormStack::set_diagnostic_overlay(false);
    EXPECT_EQ(std::tuple(harness->pixel({ 118, 1 }), harness->pixel({ 118, 21 })), std::tuple(halved(OTHER), OTHER));
    // A popup over a dimmed list with a selected row, at rest; and at 192 dpi while it pops up.
    for (int32_t dpi : { 96, 192 }) {
        auto h = form_harness({ 120 * dpi / 96, 160 * dpi / 96 }, dpi);
        auto list_form = h->make_form(u"FormMain");
        auto dialog = h->make_form(u"FormPopup");
        RowModel model(h->properties());
        auto* list = find<VListElement>(*list_form, u"list");
        list->set_model(&model);
        list->reset(20);
        list->set_selected(1);
        h->show(*list_form);
        h->show(*dialog, FormMode::POPUP);
        h->advance(dpi == 96 ? 400 : 120);
        expect_golden(dpi == 96 ? "form_popup_96" : "form_popup_pop_192", h->frame());
    }
}

} // namespace
