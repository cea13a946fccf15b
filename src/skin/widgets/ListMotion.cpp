#include "ListMotion.h"

#include <algorithm>
#include <cmath>

namespace skin {

double approach(double value, double target, double step)
{
    if (value < target)
        return std::min(value + step, target);
    return std::max(value - step, target);
}

void ListMotion::set_borders(int32_t border_min, int32_t border_max)
{
    border_min_ = border_min;
    border_max_ = border_max;
}

void ListMotion::rest()
{
    scroll_ = border_min_;
    velocity_ = 0;
}

bool ListMotion::pulled_past_end(ListExtent const& extent) const
{
    return (extent.first_shown && over_top() > 0) || (extent.last_shown && over_bottom(extent) > 0);
}

double ListMotion::band_factor(double dy, ListExtent const& extent) const
{
    if (grow_ || extent.height <= 0)
        return 1;
    if (dy > 0 && extent.first_shown && over_top() > 0)
        return std::max(1 - 2 * over_top() / extent.height, 0.0);
    if (dy < 0 && extent.last_shown && over_bottom(extent) > 0)
        return std::max(1 - 2 * over_bottom(extent) / extent.height, 0.0);
    return 1;
}

void ListMotion::press(Point point, uint32_t time)
{
    tracker_.press(point.x, point.y, time);
}

double ListMotion::move(Point point, uint32_t time, ListExtent const& extent)
{
    if (!tracker_.down())
        return 0;
    int32_t const previous = tracker_.samples().back().y;
    if (!tracker_.add(point.x, point.y, time))
        return 0;
    double const dy = double(int64_t(point.y) - previous);
    double const moved = dy * band_factor(dy, extent);
    scroll_ += moved;
    return moved;
}

void ListMotion::release(Point point, uint32_t time, ListExtent const& extent, bool row_pressed)
{
    tracker_.add(point.x, point.y, time);
    tracker_.lift();
    if (row_pressed || pulled_past_end(extent))
        return;
    velocity_ = std::clamp(-tracker_.velocity_y(), -MAX_FLICK, MAX_FLICK);
}

void ListMotion::settle(double seconds, ListExtent const& extent, bool row_pressed)
{
    brake(seconds, extent, row_pressed);
    if (grow_)
        clamp(extent);
    else if (!tracker_.down() && velocity_ == 0)
        spring_back(seconds, extent);
}

void ListMotion::brake(double seconds, ListExtent const& extent, bool row_pressed)
{
    double b = BRAKE_FACTOR * std::abs(velocity_) + BRAKE_BASE;
    if (tracker_.down() && !row_pressed)
        b *= HELD_BRAKE;
    if (velocity_ < 0)
        velocity_ = std::min(velocity_ + b * seconds, 0.0);
    else if (velocity_ > 0)
        velocity_ = std::max(velocity_ - b * seconds, 0.0);

    double const below = over_bottom(extent);
    if (velocity_ < 0 && extent.last_shown && below > 0)
        velocity_ = std::min(velocity_ + (below + 1) * seconds * END_BRAKE, 0.0);
    double const above = over_top();
    if (velocity_ > 0 && extent.first_shown && above > 0)
        velocity_ = std::max(velocity_ - (above + 1) * seconds * END_BRAKE, 0.0);
}

void ListMotion::spring_back(double seconds, ListExtent const& extent)
{
    scroll_ = approach(scroll_, spring_target(extent), SPRING_SPEED * seconds);
}

double ListMotion::spring_target(ListExtent const& extent) const
{
    if (extent.first_shown && over_top() >= 0)
        return border_min_;
    if (extent.last_shown && over_bottom(extent) >= 0)
        return extent.height - border_max_ - extent.content_height;
    return scroll_;
}

bool ListMotion::moving(ListExtent const& extent) const
{
    if (velocity_ != 0 || tracker_.down())
        return true;
    // A growing list is clamped at once.
    return !grow_ && spring_target(extent) != scroll_;
}

bool ListMotion::clamp(ListExtent const& extent)
{
    double const before = scroll_;
    bool hit = false;
    if (extent.last_shown && scroll_ + extent.content_height < extent.height - border_max_) {
        scroll_ = extent.height - border_max_ - extent.content_height;
        hit = true;
    }
    if (extent.first_shown && scroll_ > border_min_) {
        scroll_ = border_min_;
        hit = true;
    }
    if (hit)
        velocity_ = 0;
    return scroll_ != before;
}

} // namespace skin
