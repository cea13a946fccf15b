#include "FormTestSupport.h"

#include <skin/widgets/ButtonElement.h>

using namespace skin;
using namespace skin_testing;

namespace {

uint16_t const BACKGROUND = Color { 0x20, 0x40, 0x60, 255 }.to_565();
uint16_t const ROW = Color { 0x30, 0x30, 0x30, 255 }.to_565();
uint16_t const WHITE = Color { 255, 255, 255, 255 }.to_565();
uint16_t const MENU_BUTTON = Color { 0x80, 0x80, 0, 255 }.to_565();

// FormMain in 120 x 160: the list from y 20 to 140, six rows of 20 pixels.
class List : public testing::Test {
protected:
    void SetUp() override
    {
        main = harness->make_form(u"FormMain");
        list = find<VListElement>(*main, u"list");
        list->set_model(&model);
        list->reset(10000);
        harness->show(*main);
        harness->advance(40);
    }
    bool shows(int32_t index, core::StringView state) const
    {
        ListRow* row = list->row(index);
        return row && row->find_child(state)->visible();
    }
    double top_of(int32_t index) const
    {
        double top = 0, height = 0;
        EXPECT_TRUE(list->row_place(index, top, height)) << index;
        return top;
    }
    double height_of(int32_t index) const
    {
        double top = 0, height = 0;
        EXPECT_TRUE(list->row_place(index, top, height)) << index;
        return height;
    }
    void flick_up(int32_t pixels, uint32_t milliseconds)
    {
        harness->pen_down({ 60, 130 });
        harness->wait(milliseconds);
        harness->pen_move({ 60, 130 - pixels });
        harness->pen_up({ 60, 130 - pixels });
    }

    std::unique_ptr<FormHarness> harness = form_harness();
    RowModel model { harness->properties() };
    std::unique_ptr<Form> main;
    VListElement* list = nullptr;
};

TEST_F(List, RowsExistOnlyWhileOnScreen)
{
    EXPECT_EQ(list->row_count(), 6u);
    EXPECT_EQ(model.made, (std::vector<int32_t> { 0, 1, 2, 3, 4, 5 }));
    EXPECT_EQ(std::make_pair(list->first(), list->last()), std::make_pair(-1, 6));
    EXPECT_EQ(list->content_height(), 120);
    auto* row = static_cast<SkinRow*>(list->row(0));
    EXPECT_EQ(row->binds, std::vector<int32_t> { ListRow::FRESH });
    EXPECT_EQ(row->size(), (Point { 120, 20 }));
    int64_t const per_row = 5; // the row and its four children
    int64_t const others = Element::live_count() - per_row * int64_t(list->row_count());

    list->scroll_to(5000);
    EXPECT_EQ(list->row(5000)->index(), 5000);
    EXPECT_EQ(list->first(), 4999);
    EXPECT_EQ(list->scroll(), 0);
    flick_up(200, 100);
    for (int frame = 0; frame < 50; ++frame) {
        harness->advance(40);
        ASSERT_LE(list->row_count(), 7u);
        ASSERT_EQ(Element::live_count(), others + per_row * int64_t(list->row_count()));
    }
    EXPECT_GT(list->first(), 5020);
    list->scroll_to(20000);
    EXPECT_EQ(list->last(), 10000);
    harness->advance(400);
    EXPECT_EQ(list->row(9999)->index(), 9999);
    EXPECT_DOUBLE_EQ(top_of(9999) + 20, 120); // sprung back to the bottom
}

// Under 10 pixels the press stays a tap and clicks its row; 10 pixels make it a drag.
TEST_F(List, TapClicksARowAndAMoveOfTenScrolls)
{
    harness->pen_down({ 60, 50 });
    EXPECT_EQ(list->pressed_row(), list->row(1));
    EXPECT_TRUE(shows(1, u"#vlist_pressed"));
    harness->wait(30);
    harness->pen_move({ 69, 59 });
    harness->pen_up({ 69, 59 });
    EXPECT_EQ(model.clicks, std::vector<int32_t> { 1 });
    EXPECT_EQ(list->pressed_row(), nullptr);
    EXPECT_TRUE(shows(1, u"#vlist_normal"));
    EXPECT_EQ(list->scroll(), 0);

    harness->pen_down({ 60, 50 });
    harness->wait(30);
    harness->pen_move({ 60, 60 });
    EXPECT_EQ(list->pressed_row(), nullptr);
    EXPECT_TRUE(shows(1, u"#vlist_normal"));
    EXPECT_EQ(list->scroll(), 10);
    harness->pen_up({ 60, 60 });
    EXPECT_EQ(model.clicks, std::vector<int32_t> { 1 });

    // Released over another row: no tap either.
    harness->advance(200);
    harness->pen_down({ 60, 50 });
    harness->pen_up({ 60, 75 });
    EXPECT_EQ(model.clicks, std::vector<int32_t> { 1 });
}

TEST_F(List, FlickGlidesAtTheLimitAndAPressWhileGlidingPressesNoRow)
{
    list->scroll_to(100);
    flick_up(300, 100);
    EXPECT_DOUBLE_EQ(list->velocity(), -2000);
    double const scroll = list->scroll();
    harness->advance(40);
    EXPECT_DOUBLE_EQ(list->velocity(), -2000 + 4009 * 0.04);
    EXPECT_GT(list->first(), 100);

    harness->pen_down({ 60, 50 });
    EXPECT_EQ(list->pressed_row(), nullptr);
    double const v = list->velocity();
    harness->advance(40);
    EXPECT_DOUBLE_EQ(list->velocity(), v + 5 * (2 * -v + 9) * 0.04);
    harness->pen_up({ 60, 50 });
    EXPECT_EQ(list->velocity(), 0);
    EXPECT_TRUE(model.clicks.empty());
    EXPECT_NE(list->scroll(), scroll);
}

TEST_F(List, PulledDownByHalfItsHeightItStopsFollowingAndSpringsBack)
{
    harness->pen_down({ 60, 30 });
    harness->wait(50);
    harness->pen_move({ 60, 90 });
    EXPECT_EQ(list->scroll(), 60);
    harness->pen_move({ 60, 150 });
    EXPECT_EQ(list->scroll(), 60);
    harness->pen_up({ 60, 150 });
    EXPECT_EQ(list->velocity(), 0);
    EXPECT_TRUE(model.clicks.empty());
    std::vector<double> scrolls;
    for (int frame = 0; frame < 5; ++frame) {
        harness->advance(40);
        scrolls.push_back(list->scroll());
    }
    EXPECT_EQ(scrolls, (std::vector<double> { 44, 28, 12, 0, 0 }));
}

TEST_F(List, InsertedAndRemovedRowsGrowAndShrinkAt200PixelsASecond)
{
    list->reset(10);
    harness->advance(40);
    ListRow* const old_two = list->row(2);
    model.made.clear();
    list->insert_row(2);
    EXPECT_EQ(list->count(), 11);
    EXPECT_EQ(model.made, std::vector<int32_t> { 2 });
    EXPECT_EQ(list->row(3), old_two);
    EXPECT_EQ(height_of(2), 0);
    EXPECT_EQ(list->animating_rows(), 1);
    harness->advance(40);
    EXPECT_DOUBLE_EQ(height_of(2), 8);
    harness->advance(60);
    EXPECT_DOUBLE_EQ(height_of(2), 20);
    EXPECT_EQ(list->animating_rows(), 0);
    EXPECT_EQ(list->last(), 6);

    ListRow* const old_zero = list->row(0);
    list->remove_row(0);
    EXPECT_EQ(old_zero->index(), -1);
    EXPECT_EQ(list->row(2), old_two);
    EXPECT_EQ(list->count(), 10);
    harness->advance(40);
    EXPECT_DOUBLE_EQ(top_of(0), 12);
    harness->advance(60);
    EXPECT_EQ(list->row_count(), 6u);
    EXPECT_DOUBLE_EQ(top_of(0), 0);

    auto* one = static_cast<SkinRow*>(list->row(1));
    list->refresh_row(1);
    list->refresh_row(9);
    EXPECT_EQ(one->binds, (std::vector<int32_t> { ListRow::FRESH, 0 }));
    list->insert_row(-1);
    list->insert_row(11);
    list->remove_row(10);
    EXPECT_EQ(list->count(), 10);

    // Rows inserted above the window only move it; one appended to a shown end grows in.
    list->scroll_to(5);
    model.made.clear();
    list->insert_row(0);
    EXPECT_EQ(list->first(), 5);
    EXPECT_EQ(list->row(6)->index(), 6);
    EXPECT_TRUE(model.made.empty());
    list->reset(3);
    harness->advance(40);
    list->insert_row(3);
    EXPECT_EQ(list->last(), 4);
    EXPECT_EQ(height_of(3), 0);
}

TEST_F(List, PressedOverSelectedOverNormal)
{
    list->set_selected(2);
    EXPECT_TRUE(shows(2, u"#vlist_selected"));
    EXPECT_TRUE(shows(1, u"#vlist_normal"));
    harness->pen_down({ 60, 70 });
    EXPECT_TRUE(shows(2, u"#vlist_pressed"));
    EXPECT_FALSE(shows(2, u"#vlist_selected"));
    // A press keeps the list where it is.
    list->scroll_to(50);
    EXPECT_EQ(list->first(), -1);
    list->remove_row(2);
    EXPECT_EQ(list->pressed_row(), nullptr);
    harness->pen_up({ 60, 70 });
    EXPECT_TRUE(model.clicks.empty());
    list->set_model(&model);
    EXPECT_EQ(list->selected(), -1);
    EXPECT_EQ(list->count(), 9999);
}

TEST_F(List, RowsAreDrawnClippedToTheList)
{
    EXPECT_EQ(harness->pixel({ 60, 19 }), BACKGROUND);
    EXPECT_EQ(harness->pixel({ 60, 20 }), ROW);
    EXPECT_EQ(harness->pixel({ 60, 39 }), WHITE);
    harness->pen_down({ 60, 100 });
    harness->pen_move({ 60, 90 });
    harness->pen_move({ 60, 85 });
    harness->advance(40);
    EXPECT_EQ(list->scroll(), -15);
    EXPECT_EQ(harness->pixel({ 60, 19 }), BACKGROUND);
    EXPECT_EQ(harness->pixel({ 60, 24 }), WHITE);
    EXPECT_EQ(harness->pixel({ 60, 139 }), ROW);
    EXPECT_EQ(harness->pixel({ 60, 140 }), MENU_BUTTON);
}

TEST_F(List, ARowsOwnButtonTakesThePress)
{
    RowModel buttons(harness->properties(), u"ButtonRecord");
    list->set_model(&buttons);
    harness->advance(40);
    ButtonRecorder recorder;
    auto* button = find<ButtonElement>(*list->row(0), u"btnRow");
    ASSERT_TRUE(attach_button_owner(*button, &recorder));
    harness->pen_down({ 110, 30 });
    EXPECT_TRUE(button->pressed());
    harness->pen_up({ 110, 30 });
    EXPECT_EQ(recorder.kinds(), "dppc");
    EXPECT_TRUE(buttons.clicks.empty());

    // Dragged, the row lets its button go, cancelled.
    recorder.reports.clear();
    harness->pen_down({ 110, 30 });
    harness->pen_move({ 110, 35 });
    harness->pen_move({ 110, 45 });
    EXPECT_FALSE(button->pressed());
    harness->pen_up({ 110, 45 });
    EXPECT_EQ(recorder.kinds(), "dpdp");
    EXPECT_TRUE(recorder.reports.back().flag);

    // The row's own listener may drop the row it is called from.
    recorder.on_clicked = [&](Element*) { list->reset(0); };
    harness->advance(200);
    harness->pen_down({ 110, 30 });
    harness->pen_up({ 110, 30 });
    EXPECT_EQ(list->row_count(), 0u);
    EXPECT_TRUE(buttons.clicks.empty());
}

// The model's answer to a tap may change the list; a form hidden during a drag ends it without a flick.
TEST_F(List, OddSequences)
{
    model.on_clicked = [](VListElement* l, int32_t) { l->reset(0); };
    harness->pen_down({ 60, 30 });
    harness->pen_up({ 60, 30 });
    EXPECT_EQ(model.clicks, std::vector<int32_t> { 0 });
    EXPECT_EQ(list->row_count(), 0u);
    harness->advance(40);

    list->reset(100);
    harness->pen_down({ 60, 130 });
    harness->wait(100);
    harness->pen_move({ 60, 30 });
    main->set_visible(false);
    EXPECT_FALSE(list->motion().pen_down());
    EXPECT_EQ(list->velocity(), 0);
    main->set_visible(true);
    harness->pen_up({ 60, 30 });
    EXPECT_EQ(list->velocity(), 0);
    EXPECT_EQ(model.clicks.size(), 1u);

    // A model that changes the list while it makes a row is a broken program.
    model.on_clicked = nullptr;
    EXPECT_DEATH(
        {
            class Meddler : public RowModel {
            public:
                using RowModel::RowModel;
                std::unique_ptr<ListRow> create_row(VListElement* l, int32_t index) override
                {
                    l->reset(1);
                    return RowModel::create_row(l, index);
                }
            } meddler(harness->properties());
            list->set_model(&meddler);
        },
        "while its model made");
}

TEST_F(List, FollowsTheWidthOfItsForm)
{
    harness->resize({ 200, 160 });
    harness->advance(40);
    EXPECT_EQ(list->row(0)->size(), (Point { 200, 20 }));
    EXPECT_EQ(harness->pixel({ 190, 20 }), ROW);
}

TEST(GrowList, HeightFollowsTheRowsAndTheScrollIsClamped)
{
    auto harness = form_harness();
    auto menu_form = harness->make_form(u"FormMenu");
    auto* menu = find<VListElement>(*menu_form, u"menu");
    RowModel model(harness->properties());
    menu->set_model(&model);
    menu->reset(3);
    LogCapture log;
    harness->show(*menu_form);
    harness->advance(40);
    EXPECT_EQ(menu->size().y, 3 * 20 + 2 + 3);
    EXPECT_EQ(menu->row_count(), 3u);
    EXPECT_TRUE(log.contains(std::string("Desired size=65\n")));
    harness->pen_down({ 60, 10 });
    harness->pen_move({ 60, 40 });
    EXPECT_EQ(menu->scroll(), 2);
    harness->pen_move({ 60, 0 });
    EXPECT_EQ(menu->scroll(), 2);
    harness->pen_up({ 60, 0 });
    harness->advance(40);
    EXPECT_EQ(menu->scroll(), 2);
}

} // namespace
