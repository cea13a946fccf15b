#include "DragTracker.h"

#include <cstdlib>

namespace skin {

void DragTracker::press(int32_t x, int32_t y, uint32_t time)
{
    press_ = { x, y, time };
    samples_.clear();
    samples_.push_back(press_);
    velocity_x_ = velocity_y_ = 0;
    dragging_ = false;
    down_ = true;
}

bool DragTracker::add(int32_t x, int32_t y, uint32_t time)
{
    if (!down_)
        return false;
    if (!dragging_ && std::llabs(int64_t(x) - press_.x) < THRESHOLD && std::llabs(int64_t(y) - press_.y) < THRESHOLD)
        return false;
    dragging_ = true;
    samples_.push_back({ x, y, time });
    if (samples_.size() > MAX_SAMPLES)
        samples_.erase(samples_.begin());
    // Ages are unsigned differences, so the tick count may wrap; a point from before the newest one (a
    // clock gone backwards) is as old as can be and goes too.
    std::erase_if(samples_, [time](Sample const& s) { return uint32_t(time - s.time) >= WINDOW_MS; });
    Sample const& oldest = samples_.front();
    uint32_t const span = time - oldest.time;
    if (span < MIN_SPAN_MS) {
        velocity_x_ = velocity_y_ = 0;
    } else {
        velocity_x_ = double((int64_t(oldest.x) - x) * 1000 / int64_t(span));
        velocity_y_ = double((int64_t(oldest.y) - y) * 1000 / int64_t(span));
    }
    return true;
}

} // namespace skin
