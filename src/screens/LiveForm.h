#pragma once

#include <skin/Form.h>
#include <skin/InputEvents.h>

#include <functional>

namespace screens {

// A screen's form that lets its screen see the keys no element took, and each press before the elements
// do (true from either consumes the event).
class ScreenForm : public skin::Form {
public:
    std::function<bool(skin::KeyEvent const&)> unhandled_key;
    std::function<bool(skin::PenEvent const&)> before_pen;

    bool on_key(skin::KeyEvent const& event) override
    {
        return skin::Form::on_key(event) || (unhandled_key && unhandled_key(event));
    }
    bool on_pen(skin::PenEvent const& event) override
    {
        return (before_pen && before_pen(event)) || skin::Form::on_pen(event);
    }
};

// A form whose screen brings its values up to date in every frame step, just before it is laid out and
// drawn (elapsed time, levels, sizes): Document events only change state, the frame shows it.
class LiveForm final : public ScreenForm {
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
