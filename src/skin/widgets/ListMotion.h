#pragma once

#include "DragTracker.h"

#include <skin/Point.h>

#include <cstdint>

namespace skin {

// Where a list's instantiated rows stand, as its motion needs to know.
struct ListExtent {
    bool first_shown = false; // the first row of the model is instantiated
    bool last_shown = false; // so is the last one
    double content_height = 0; // of the instantiated rows
    double height = 0; // of the list
};

// Moves a height toward its target by at most `step` (a positive amount).
double approach(double value, double target, double step);

// The motion of a scrolling list, apart from its rows and its drawing: the scroll offset (the top of the
// first instantiated row, from the list's top) and the velocity (pixels per second, positive moves the
// content down), the pen dragging the content with a rubber band past either end, the flick on release,
// braking, the deceleration past an end, and the spring back; or, for a list that grows with its
// content, a clamp instead of the band and the spring. The list tells it where its rows are; the motion
// never sees an element.
// Threads: main thread only.
class ListMotion {
public:
    static constexpr double MAX_FLICK = 2000; // pixels per second
    static constexpr double SPRING_SPEED = 400; // pixels per second
    static constexpr double BRAKE_FACTOR = 2; // braking: 2 |v| + 9 pixels per second squared
    static constexpr double BRAKE_BASE = 9;
    static constexpr double HELD_BRAKE = 5; // with the pen down on the list and no row pressed
    static constexpr double END_BRAKE = 50; // past an end: (overshoot + 1) x 50 per second

    void set_borders(int32_t border_min, int32_t border_max);
    int32_t border_min() const { return border_min_; }
    int32_t border_max() const { return border_max_; }
    void set_grow(bool grow) { grow_ = grow; }
    bool grow() const { return grow_; }

    double scroll() const { return scroll_; }
    void set_scroll(double scroll) { scroll_ = scroll; }
    double velocity() const { return velocity_; }
    void set_velocity(double velocity) { velocity_ = velocity; }
    DragTracker const& tracker() const { return tracker_; }
    bool pen_down() const { return tracker_.down(); }

    // How far the first row is pulled down past its border (positive), and the last row up past its.
    double over_top() const { return scroll_ - border_min_; }
    double over_bottom(ListExtent const& extent) const
    {
        return extent.height - extent.content_height - border_max_ - scroll_;
    }
    bool pulled_past_end(ListExtent const& extent) const;
    // The share of a movement dy the content follows: less the farther an end is pulled, none from half
    // the list's height on.
    double band_factor(double dy, ListExtent const& extent) const;

    // Back to the top of the window: scroll at the top border, not moving.
    void rest();
    void press(Point point, uint32_t time);
    // A pen move: the movement the content follows (0 while the pen is within the drag threshold).
    double move(Point point, uint32_t time, ListExtent const& extent);
    // The release: without a pressed row, the flick's velocity (limited to 2000 pixels per second)
    // unless the content is pulled past an end.
    void release(Point point, uint32_t time, ListExtent const& extent, bool row_pressed);
    // A release that ends the press without its effect: no flick.
    void cancel() { tracker_.lift(); }

    // A tick in two halves, with the rows brought up to date between them: the content moves by its
    // velocity, then the velocity brakes and the content springs back (or is clamped).
    void advance(double seconds) { scroll_ += velocity_ * seconds; }
    void settle(double seconds, ListExtent const& extent, bool row_pressed);
    // "grow": the content never leaves its borders; true when the scroll changed.
    bool clamp(ListExtent const& extent);
    // Whether a tick would move the content: it has a velocity, the pen holds it, or it is still to spring
    // back to an end.
    bool moving(ListExtent const& extent) const;

private:
    void brake(double seconds, ListExtent const& extent, bool row_pressed);
    void spring_back(double seconds, ListExtent const& extent);
    // Where the spring takes the content: the end it is pulled past, or where it is.
    double spring_target(ListExtent const& extent) const;

    int32_t border_min_ = 0;
    int32_t border_max_ = 0;
    bool grow_ = false;
    double scroll_ = 0;
    double velocity_ = 0;
    DragTracker tracker_;
};

} // namespace skin
