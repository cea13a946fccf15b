#include <cmath>
#include <gtest/gtest.h>
#include <skin/widgets/DragTracker.h>
#include <skin/widgets/ListMotion.h>

using namespace skin;

namespace {

// Points within 10 pixels of the press are no drag; then every point counts. Up to 25 samples, none
// 251 ms older than the newest; a speed only over 50 ms or more, in whole pixels per second.
TEST(DragTracker, ThresholdSamplesAndSpeed)
{
    DragTracker tracker;
    EXPECT_FALSE(tracker.add(0, 20, 5)); // no press yet
    tracker.press(100, 100, 1000);
    EXPECT_FALSE(tracker.add(109, 91, 1010));
    EXPECT_FALSE(tracker.dragging());
    EXPECT_TRUE(tracker.add(100, 130, 1049));
    EXPECT_EQ(tracker.velocity_y(), 0);
    EXPECT_TRUE(tracker.add(107, 101, 1050)); // near the press, but dragging now
    EXPECT_DOUBLE_EQ(tracker.velocity_y(), -20);
    EXPECT_DOUBLE_EQ(tracker.velocity_x(), -140);
    EXPECT_TRUE(tracker.add(100, 140, 1251));
    EXPECT_EQ(tracker.samples().front().time, 1049u);
    EXPECT_DOUBLE_EQ(tracker.velocity_y(), -49); // -10000 / 202, truncated
    tracker.lift();
    EXPECT_FALSE(tracker.add(100, 300, 1300));

    tracker.press(0, 0, 0xFFFFFFF0u); // across the wrap of the tick count
    for (uint32_t i = 1; i <= 40; ++i)
        tracker.add(0, int32_t(10 * i), 0xFFFFFFF0u + i);
    EXPECT_EQ(tracker.samples().size(), DragTracker::MAX_SAMPLES);
    EXPECT_EQ(tracker.samples().front().y, 160);
    EXPECT_EQ(tracker.velocity_y(), 0); // 24 ms
    tracker.add(0, 1000, 0xFFFFFFF0u + 100);
    EXPECT_DOUBLE_EQ(tracker.velocity_y(), -(1000 - 170) * 1000 / 83);
}

ListExtent const middle { false, false, 10000, 200 };

void tick(ListMotion& motion, ListExtent const& extent, double seconds = 0.04)
{
    motion.advance(seconds);
    motion.settle(seconds, extent, false);
}

// 300 pixels in 100 ms: 3000 px/s, limited to 2000; then braking by 2 |v| + 9 per second, five times
// that while the pen is down on the list, none while a row is pressed.
TEST(ListMotion, FlickGlidesAtTheLimitAndBrakes)
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
    // v' = 0.92 v + 0.36 a tick: toward 4.5 from -2000.
    EXPECT_NEAR(v, -2000 * std::pow(0.92, 20) + 4.5 * (1 - std::pow(0.92, 20)), 1e-9);

    motion.set_velocity(1000);
    motion.press({ 0, 0 }, 1000);
    motion.settle(0.01, middle, false);
    EXPECT_DOUBLE_EQ(motion.velocity(), 1000 - 5 * 2009 * 0.01);
    motion.set_velocity(1000);
    motion.settle(0.01, middle, true);
    EXPECT_DOUBLE_EQ(motion.velocity(), 1000 - 2009 * 0.01);
    motion.release({ 0, 0 }, 1010, middle, false); // a tap stops the glide
    EXPECT_EQ(motion.velocity(), 0);
}

// Pulled down by half its height, the content no longer follows; released, it springs back at 400 px/s.
TEST(ListMotion, RubberBandAndSpringBack)
{
    ListMotion motion;
    ListExtent const top { true, false, 1000, 200 };
    motion.press({ 0, 0 }, 0);
    EXPECT_DOUBLE_EQ(motion.move({ 0, 100 }, 50, top), 100);
    EXPECT_DOUBLE_EQ(motion.move({ 0, 180 }, 100, top), 0);
    EXPECT_DOUBLE_EQ(motion.move({ 0, 150 }, 150, top), -30);
    EXPECT_DOUBLE_EQ(motion.band_factor(1, top), 1 - 2 * 70.0 / 200);
    motion.release({ 0, 150 }, 150, top, false);
    EXPECT_EQ(motion.velocity(), 0); // pulled past the end: no flick
    std::vector<double> scrolls;
    while (motion.scroll() > 0) {
        tick(motion, top);
        scrolls.push_back(motion.scroll());
    }
    EXPECT_EQ(scrolls, (std::vector<double> { 54, 38, 22, 6, 0 }));

    ListExtent const bottom { false, true, 160, 200 }; // the last row 40 px above its border
    EXPECT_DOUBLE_EQ(motion.band_factor(-10, bottom), 0.6);
    tick(motion, bottom, 0.05);
    EXPECT_DOUBLE_EQ(motion.scroll(), 20);
}

// Gliding past an end slows by (overshoot + 1) x 50 per second on top of the braking.
TEST(ListMotion, DeceleratesPastAnEnd)
{
    ListMotion motion;
    motion.set_borders(5, 0);
    ListExtent const top { true, false, 1000, 200 };
    motion.set_scroll(15);
    motion.set_velocity(300);
    motion.settle(0.1, top, false);
    EXPECT_DOUBLE_EQ(motion.velocity(), 300 - 609 * 0.1 - 11 * 0.1 * 50);
    motion.set_velocity(-300);
    motion.settle(0.1, top, false);
    EXPECT_DOUBLE_EQ(motion.velocity(), -300 + 609 * 0.1);
}

TEST(ListMotion, GrowClampsInsteadOfBandAndSpring)
{
    ListMotion motion;
    motion.set_borders(2, 3);
    motion.set_grow(true);
    ListExtent const all { true, true, 50, 100 };
    motion.rest();
    motion.press({ 0, 0 }, 0);
    EXPECT_DOUBLE_EQ(motion.move({ 0, 60 }, 10, all), 60);
    EXPECT_TRUE(motion.clamp(all));
    EXPECT_DOUBLE_EQ(motion.scroll(), 2);
    motion.set_scroll(-20);
    motion.set_velocity(-500);
    motion.settle(0.04, all, false);
    EXPECT_DOUBLE_EQ(motion.scroll(), 2); // to the bottom border (47), then the top border wins
    EXPECT_EQ(motion.velocity(), 0);
    ListExtent const long_list { false, true, 500, 100 };
    motion.set_scroll(-450);
    EXPECT_TRUE(motion.clamp(long_list));
    EXPECT_DOUBLE_EQ(motion.scroll(), 100 - 3 - 500);
    EXPECT_FALSE(motion.clamp(long_list));
}

} // namespace
