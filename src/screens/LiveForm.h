#pragma once

#include <skin/Form.h>

#include <functional>

namespace screens {

// A form whose screen brings its values up to date in every frame step, just before it is laid out and
// drawn (elapsed time, levels, sizes): Document events only change state, the frame shows it.
class LiveForm final : public skin::Form {
public:
    explicit LiveForm(std::function<void()> on_frame)
        : on_frame_(std::move(on_frame))
    {
    }

    void tick(double seconds) override
    {
        on_frame_();
        skin::Form::tick(seconds);
    }

private:
    std::function<void()> on_frame_;
};

} // namespace screens
