#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace skin {

// Follows the pen from a press to its release and tells how fast it moved. Points within 10 pixels of
// the press (in both directions) are not a drag yet; once one is not, every point counts. The speed is
// taken over the recent points: at most 25 of them, none 251 ms or more older than the newest, and only
// when they span 50 ms or more. Times are tick counts in milliseconds.
// Threads: main thread only.
class DragTracker {
public:
    static constexpr int32_t THRESHOLD = 10;
    static constexpr size_t MAX_SAMPLES = 25;
    static constexpr uint32_t WINDOW_MS = 251;
    static constexpr uint32_t MIN_SPAN_MS = 50;

    struct Sample {
        int32_t x = 0;
        int32_t y = 0;
        uint32_t time = 0;
    };

    // Starts a new drag: the press is the first sample; not dragging, no speed.
    void press(int32_t x, int32_t y, uint32_t time);
    // A later point (a move, or the release before `lift`). False when it was ignored: the pen is up,
    // or it is not dragging yet and the point is within the threshold of the press.
    bool add(int32_t x, int32_t y, uint32_t time);
    // The pen went up.
    void lift() { down_ = false; }

    bool down() const { return down_; }
    bool dragging() const { return dragging_; }
    // Pixels per second; positive when the pen moved left (up): the oldest point minus the newest.
    double velocity_x() const { return velocity_x_; }
    double velocity_y() const { return velocity_y_; }
    Sample const& pressed_at() const { return press_; }
    std::vector<Sample> const& samples() const { return samples_; }

private:
    double velocity_x_ = 0;
    double velocity_y_ = 0;
    bool dragging_ = false;
    Sample press_;
    bool down_ = false;
    std::vector<Sample> samples_;
};

} // namespace skin
