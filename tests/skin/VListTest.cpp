#include "ElementTestSupport.h"

#include <cmath>
#include <skin/widgets/DragTracker.h>

using namespace skin;
using namespace skin_testing;

namespace {

uint16_t const ROW = Color { 0x30, 0x30, 0x30, 255 }.to_565(), WHITE = Color { 255, 255, 255, 255 }.to_565();

// FormMain in 120 x 160: the list from y 20 to 140, six rows of 20 pixels.
class List : public testing::Test {
protected:
    void SetUp() override
    {
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
    double place(int32_t index, bool height = false) const
    {
        double top = 0, extent = 0;
        EXPECT_TRUE(list->row_place(index, top, extent)) << index;
        return height ? extent : top;
    }
    void drag(Point from, Point to, uint32_t milliseconds, bool lift = true)
    {
        harness->pen_down(from);
        harness->wait(milliseconds);
        harness->pen_move(to);
        if (lift)
            harness->pen_up(to);
    }

    std::unique_ptr<FormHarness> harness = form_harness();
    RowModel model { harness->properties() };
    std::unique_ptr<Form> main = harness->make_form(u"FormMain");
    VListElement* list = find<VListElement>(*main, u"list");
};

TEST_F(List, RowsExistOnlyWhileOnScreen)
{
    EXPECT_EQ(std::tuple(list->row_count(), list->first(), list->last(), list->row(0)->size()),
        std::tuple(6u, -1, 6, Point { 120, 20 }));
    EXPECT_EQ(model.made, (std::vector<int32_t> { 0, 1, 2, 3, 4, 5 }));
    int64_t const per_row = 5; // the row and its four children
    int64_t const others = Element::live_count() - per_row * int64_t(list->row_count());

    list->scroll_to(5000);
    EXPECT_EQ(std::tuple(list->first(), list->row(5000)->index()), std::tuple(4999, 5000));
    drag({ 60, 130 }, { 60, -70 }, 100);
    for (int frame = 0; frame < 50; ++frame) {
        harness->advance(40);
        ASSERT_TRUE(list->row_count() <= 7 && Element::live_count() == others + per_row * int64_t(list->row_count()))
            << frame;
    }
    EXPECT_GT(list->first(), 5020);
    list->scroll_to(20000);
    EXPECT_EQ(list->last(), 10000);
    harness->advance(400);
    EXPECT_DOUBLE_EQ(place(9999) + 20, 120); // sprung back to the bottom
}

// Under 10 pixels a press stays a tap on its row; 10 pixels make it a drag that lets the row go. How a
// pull past an end is banded and springs back is the motion's own case below.
TEST_F(List, TapDragAndPull)
{
    drag({ 60, 50 }, { 69, 59 }, 30, false);
    EXPECT_EQ(std::tuple(list->pressed_row(), shows(1, u"#vlist_pressed")), std::tuple(list->row(1), true));
    harness->pen_up({ 69, 59 });
    EXPECT_EQ(std::tuple(model.clicks, shows(1, u"#vlist_normal"), list->scroll()),
        std::tuple(std::vector<int32_t> { 1 }, true, 0.0));

    drag({ 60, 50 }, { 60, 60 }, 30, false);
    EXPECT_EQ(
        std::tuple(list->pressed_row(), shows(1, u"#vlist_normal"), list->scroll()), std::tuple(nullptr, true, 10.0));
    harness->pen_up({ 60, 60 });
    harness->advance(40);
    EXPECT_EQ(list->scroll(), 0);

    // Released after a pull, the list springs back without a flick.
    drag({ 60, 50 }, { 60, 150 }, 30);
    EXPECT_EQ(list->velocity(), 0);
    harness->advance(400);

    // Released over another row: no tap either.
    harness->pen_down({ 60, 50 });
    harness->pen_up({ 60, 75 });
    EXPECT_EQ(model.clicks, std::vector<int32_t> { 1 });
}

TEST_F(List, FlickGlidesAtTheLimitAndAPressWhileGlidingPressesNoRow)
{
    list->scroll_to(100);
    drag({ 60, 130 }, { 60, -170 }, 100);
    harness->advance(40);
    harness->pen_down({ 60, 50 });
    EXPECT_EQ(list->pressed_row(), nullptr);
    double const v = list->velocity();
    harness->advance(40);
    EXPECT_DOUBLE_EQ(list->velocity(), v + 5 * (2 * -v + 9) * 0.04);
    harness->pen_up({ 60, 50 });
    EXPECT_EQ(std::tuple(list->velocity(), model.clicks.size()), std::tuple(0.0, 0u));
}

TEST_F(List, InsertedAndRemovedRowsGrowAndShrinkAt200PixelsASecond)
{
    list->reset(10);
    ListRow* const old_two = list->row(2);
    model.made.clear();
    list->insert_row(2);
    EXPECT_EQ(std::tuple(model.made, list->row(3), list->animating_rows()),
        std::tuple(std::vector<int32_t> { 2 }, old_two, 1));
    harness->advance(40);
    EXPECT_DOUBLE_EQ(place(2, true), 8);
    harness->advance(60);
    EXPECT_EQ(std::tuple(place(2, true), list->last()), std::tuple(20.0, 6));

    ListRow* const old_zero = list->row(0);
    list->remove_row(0);
    EXPECT_EQ(std::tuple(old_zero->index(), list->row(2)), std::tuple(-1, old_two));
    harness->advance(40);
    EXPECT_DOUBLE_EQ(place(0), 12);
    harness->advance(60);
    EXPECT_EQ(std::tuple(place(0), list->row_count()), std::tuple(0.0, 6u));

    auto* one = static_cast<SkinRow*>(list->row(1));
    list->refresh_row(1);
    list->refresh_row(9);
    EXPECT_EQ(one->binds, (std::vector<int32_t> { ListRow::FRESH, 0 })); // made, then bound again
    list->insert_row(11);
    list->remove_row(10);
    EXPECT_EQ(list->count(), 10);

    // Inserted above the window, a row only moves it; appended to a shown end, it grows in.
    list->scroll_to(5);
    model.made.clear();
    list->insert_row(0);
    EXPECT_EQ(std::tuple(list->first(), model.made.size()), std::tuple(5, 0u));
    list->reset(3);
    list->insert_row(3);
    EXPECT_EQ(std::tuple(list->last(), place(3, true)), std::tuple(4, 0.0));
}

TEST_F(List, PressedOverSelectedOverNormal)
{
    list->set_selected(2);
    EXPECT_TRUE(shows(2, u"#vlist_selected"));
    harness->pen_down({ 60, 70 });
    EXPECT_TRUE(shows(2, u"#vlist_pressed"));
    list->scroll_to(50); // ignored while a row is pressed
    EXPECT_EQ(list->first(), -1);
    list->remove_row(2);
    EXPECT_EQ(list->pressed_row(), nullptr);
    harness->pen_up({ 60, 70 });
    EXPECT_EQ(model.clicks.size(), 0u);
    list->set_model(&model);
    EXPECT_EQ(list->selected(), -1);
}

// Rows coming and going keep the selection on its row (a new recording above it must not make Delete
// act on another); the selected row's going selects the one that takes its place.
TEST_F(List, TheSelectionFollowsItsRow)
{
    list->set_selected(2);
    list->insert_row(0);
    harness->advance(200);
    EXPECT_EQ(list->selected(), 3);
    EXPECT_TRUE(shows(3, u"#vlist_selected") && !shows(2, u"#vlist_selected"));
    list->insert_row(5);
    list->remove_row(1);
    EXPECT_EQ(list->selected(), 2);
    list->remove_row(2);
    EXPECT_EQ(list->selected(), 2);
    list->reset(3);
    list->set_selected(2);
    list->remove_row(2);
    EXPECT_EQ(list->selected(), 1);
}

TEST_F(List, RowsAreDrawnClippedToTheListAndFollowItsWidth)
{
    EXPECT_EQ(std::tuple(harness->pixel({ 60, 20 }), harness->pixel({ 60, 39 })), std::tuple(ROW, WHITE));
    drag({ 60, 100 }, { 60, 90 }, 20, false);
    harness->pen_move({ 60, 85 });
    harness->advance(40);
    EXPECT_EQ(list->scroll(), -15);
    // Above the list the form's background, below it the bar under the list.
    EXPECT_EQ(std::tuple(harness->pixel({ 60, 19 }), harness->pixel({ 60, 24 }), harness->pixel({ 60, 139 }),
                  harness->pixel({ 60, 140 })),
        std::tuple(Color { 0x20, 0x40, 0x60, 255 }.to_565(), WHITE, ROW, Color { 0x80, 0x80, 0, 255 }.to_565()));
    harness->resize({ 200, 160 });
    harness->advance(40);
    EXPECT_EQ(std::tuple(list->row(1)->size(), harness->pixel({ 190, 30 })), std::tuple(Point { 200, 20 }, ROW));
}

TEST_F(List, ARowsOwnButtonTakesThePress)
{
    RowModel buttons(harness->properties(), u"ButtonRecord");
    list->set_model(&buttons);
    harness->advance(40);
    Recorder recorder;
    auto* button = find<ButtonElement>(*list->row(0), u"btnRow");
    ASSERT_TRUE(attach_button_owner(*button, &recorder));
    harness->pen_down({ 110, 30 });
    EXPECT_TRUE(button->pressed());
    harness->pen_up({ 110, 30 });
    EXPECT_EQ(recorder.kinds(), "dppc");
    // Dragged, the row lets its button go, cancelled.
    drag({ 110, 30 }, { 110, 35 }, 10, false);
    harness->pen_move({ 110, 45 });
    harness->pen_up({ 110, 45 });
    EXPECT_EQ(std::tuple(recorder.kinds(), recorder.reports.back().flag), std::tuple("dppcdpdp", true));
    // Its listener may drop the row it is called from.
    recorder.on_clicked = [&](Element*) { list->reset(0); };
    harness->advance(200);
    harness->pen_down({ 110, 30 });
    harness->pen_up({ 110, 30 });
    EXPECT_EQ(std::tuple(list->row_count(), buttons.clicks.size()), std::tuple(0u, 0u));
}

// The model's answer to a tap may change the list; a form hidden during a drag ends it without a flick.
TEST_F(List, OddSequences)
{
    model.on_clicked = [](VListElement* l, int32_t) { l->reset(100); };
    harness->pen_down({ 60, 30 });
    harness->pen_up({ 60, 30 });
    EXPECT_EQ(model.clicks, std::vector<int32_t> { 0 });
    drag({ 60, 130 }, { 60, 30 }, 100, false);
    main->set_visible(false);
    EXPECT_FALSE(list->motion().pen_down());
    main->set_visible(true);
    harness->pen_up({ 60, 30 });
    EXPECT_EQ(std::tuple(list->velocity(), model.clicks.size()), std::tuple(0.0, 1u));

    // A model that changes the list while it makes a row is a broken program.
    class Meddler : public RowModel {
    public:
        using RowModel::RowModel;
        std::unique_ptr<ListRow> create_row(VListElement* l, int32_t index) override
        {
            l->reset(1);
            return RowModel::create_row(l, index);
        }
    } meddler(harness->properties());
    EXPECT_DEATH(list->set_model(&meddler), "while its model made");
}

TEST(GrowList, HeightFollowsTheRowsAndTheScrollIsClamped)
{
    auto harness = form_harness();
    auto menu_form = harness->make_form(u"FormMenu");
    auto* menu = find<VListElement>(*menu_form, u"menu");
    RowModel model(harness->properties());
    menu->set_model(&model);
    menu->reset(3);
    harness->show(*menu_form);
    harness->advance(40);
    EXPECT_EQ(menu->size().y, 3 * 20 + 2 + 3);
    harness->pen_down({ 60, 10 });
    harness->pen_move({ 60, 40 });
    EXPECT_EQ(menu->scroll(), 2);
    harness->pen_move({ 60, 0 });
    harness->pen_up({ 60, 0 });
    harness->advance(40);
    EXPECT_EQ(menu->scroll(), 2);
}

// Points within 10 pixels of the press are no drag; then every point counts. Up to 25 samples, none
// 251 ms older than the newest; a speed only over 50 ms or more, in whole pixels per second.
TEST(DragTracker, ThresholdSamplesAndSpeed)
{
    DragTracker tracker;
    EXPECT_FALSE(tracker.add(0, 20, 5)); // no press yet
    tracker.press(100, 100, 1000);
    EXPECT_FALSE(tracker.add(109, 91, 1010) || tracker.dragging());
    EXPECT_TRUE(tracker.add(100, 130, 1049) && tracker.velocity_y() == 0);
    EXPECT_TRUE(tracker.add(107, 101, 1050)); // near the press, but dragging now
    EXPECT_EQ(std::tuple(tracker.velocity_x(), tracker.velocity_y()), std::tuple(-140.0, -20.0));
    EXPECT_TRUE(tracker.add(100, 140, 1251));
    // -10000 / 202, truncated
    EXPECT_EQ(std::tuple(tracker.samples().front().time, tracker.velocity_y()), std::tuple(1049u, -49.0));
    tracker.lift();
    EXPECT_FALSE(tracker.add(100, 300, 1300));

    tracker.press(0, 0, 0xFFFFFFF0u); // across the wrap of the tick count
    for (uint32_t i = 1; i <= 40; ++i)
        tracker.add(0, int32_t(10 * i), 0xFFFFFFF0u + i);
    // 24 ms: no speed yet.
    EXPECT_EQ(std::tuple(tracker.samples().size(), tracker.samples().front().y, tracker.velocity_y()),
        std::tuple(DragTracker::MAX_SAMPLES, 160, 0.0));
    tracker.add(0, 1000, 0xFFFFFFF0u + 100);
    EXPECT_DOUBLE_EQ(tracker.velocity_y(), -(1000 - 170) * 1000 / 83);
}

ListExtent const middle { false, false, 10000, 200 };

void tick(ListMotion& motion, ListExtent const& extent, double seconds = 0.04)
{
    motion.advance(seconds);
    motion.settle(seconds, extent, false);
}

// 300 pixels in 100 ms: 3000 px/s, limited to 2000; then braking by 2 |v| + 9 per second, frame after
// frame. The pen down on a pressed row adds no extra braking (on the list itself it is five times: see
// the list's own flick case).
TEST(ListMotion, FlickBrakesPullsAreBandedGlidesPastAnEndSlowAndGrowClamps)
{
    ListMotion motion;
    motion.press({ 50, 400 }, 0);
    EXPECT_DOUBLE_EQ(motion.move({ 50, 100 }, 100, middle), -300);
    motion.release({ 50, 100 }, 100, middle, false);
    EXPECT_DOUBLE_EQ(motion.velocity(), -ListMotion::MAX_FLICK);
    double v = -2000, scroll = -300;
    for (int frame = 0; frame < 20; ++frame) {
        tick(motion, middle);
        scroll += v * 0.04;
        v = std::min(v + (2 * std::abs(v) + 9) * 0.04, 0.0);
        ASSERT_DOUBLE_EQ(motion.scroll(), scroll);
        ASSERT_DOUBLE_EQ(motion.velocity(), v);
    }

    motion.set_velocity(1000);
    motion.press({ 0, 0 }, 1000);
    motion.settle(0.01, middle, true);
    EXPECT_DOUBLE_EQ(motion.velocity(), 1000 - 2009 * 0.01);
    // Pulled down by half its height, the content no longer follows, and follows again at once on the way back.
    ListMotion banded;
    ListExtent const top { true, false, 1000, 200 };
    banded.press({ 0, 0 }, 0);
    EXPECT_DOUBLE_EQ(banded.move({ 0, 100 }, 50, top), 100);
    EXPECT_DOUBLE_EQ(banded.move({ 0, 180 }, 100, top), 0);
    EXPECT_DOUBLE_EQ(banded.move({ 0, 150 }, 150, top), -30);
    EXPECT_DOUBLE_EQ(banded.band_factor(1, top), 1 - 2 * 70.0 / 200);
    banded.release({ 0, 150 }, 150, top, false);
    banded.set_scroll(0);

    // Past the bottom end the same: banded while dragged, and springing back at 400 px/s.
    ListExtent const bottom { false, true, 160, 200 }; // the last row 40 px above its border
    EXPECT_DOUBLE_EQ(banded.band_factor(-10, bottom), 0.6);
    tick(banded, bottom, 0.05);
    EXPECT_DOUBLE_EQ(banded.scroll(), 20);
    // A drag that jumps past half the list's height in one move and then pulls further: at either end the
    // content stays where it is, and never moves back against the pen.
    struct End {
        ListExtent extent;
        int jump, further;
        double after_jump;
    };
    End const ends[] = {
        { { true, false, 1000, 200 }, 150, 20, 150 }, // nothing above: the whole jump
        { { false, true, 160, 200 }, -150, -20, -90 }, // already 40 px short of the bottom: banded by 0.6
    };
    for (auto const& end : ends) {
        ListMotion pulled;
        pulled.press({ 0, 0 }, 0);
        EXPECT_DOUBLE_EQ(pulled.move({ 0, end.jump }, 50, end.extent), end.after_jump);
        EXPECT_DOUBLE_EQ(pulled.move({ 0, end.jump + end.further }, 100, end.extent), 0) << end.jump;
        EXPECT_DOUBLE_EQ(pulled.scroll(), end.after_jump) << end.jump;
    }
    // Gliding past an end slows by (overshoot + 1) x 50 per second on top of the braking.
    ListMotion gliding;
    gliding.set_borders(5, 0);
    gliding.set_scroll(15);
    gliding.set_velocity(300);
    gliding.settle(0.1, top, false);
    EXPECT_DOUBLE_EQ(gliding.velocity(), 300 - 609 * 0.1 - 11 * 0.1 * 50);
    gliding.set_velocity(-300);
    gliding.settle(0.1, top, false);
    EXPECT_DOUBLE_EQ(gliding.velocity(), -300 + 609 * 0.1);
    // A growing list clamps instead of banding and springing back.
    ListMotion grown;
    grown.set_borders(2, 3);
    grown.set_grow(true);
    ListExtent const all { true, true, 50, 100 };
    grown.rest(); // a drag past the top is clamped: see the grown list's case
    grown.set_scroll(-20);
    grown.set_velocity(-500);
    grown.settle(0.04, all, false);
    // To the bottom border (47), then the top border wins.
    EXPECT_EQ(std::tuple(grown.scroll(), grown.velocity()), std::tuple(2.0, 0.0));
    ListExtent const long_list { false, true, 500, 100 };
    grown.set_scroll(-450);
    EXPECT_TRUE(grown.clamp(long_list));
    EXPECT_DOUBLE_EQ(grown.scroll(), 100 - 3 - 500);
    EXPECT_FALSE(grown.clamp(long_list));
}

// The list asks for ticks exactly while one would move its content: flicked, springing back from either
// end, held by the pen; never at rest, also with fewer rows than its height.
TEST(ListMotion, MovingWhileATickWouldMoveTheContent)
{
    struct Case {
        char const* what;
        ListExtent extent;
        double scroll, velocity;
        bool held;
    };
    Case const cases[] = {
        { "at rest, short content", { true, true, 100, 200 }, 0, 0, false },
        { "at rest in the middle", middle, -500, 0, false },
        { "flicked", middle, -300, -2000, false },
        { "pulled past the top", { true, false, 1000, 200 }, 60, 0, false },
        { "pulled past the bottom", { false, true, 160, 200 }, 0, 0, false },
        { "held by the pen", middle, -300, 0, true },
    };
    for (auto const& c : cases) {
        ListMotion motion;
        motion.set_scroll(c.scroll);
        motion.set_velocity(c.velocity);
        if (c.held)
            motion.press({ 0, 0 }, 0);
        for (int frame = 0; frame < 400; ++frame) {
            bool const moving = motion.moving(c.extent);
            double const scroll = motion.scroll(), velocity = motion.velocity();
            tick(motion, c.extent);
            bool const moved = motion.scroll() != scroll || motion.velocity() != velocity;
            ASSERT_EQ(moving, c.held || moved) << c.what << ", frame " << frame;
        }
        EXPECT_EQ(motion.moving(c.extent), c.held) << c.what;
    }
}

} // namespace
