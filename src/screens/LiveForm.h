#pragma once

#include <skin/Form.h>
#include <skin/InputEvents.h>

#include <functional>

namespace screens {

// A screen's form that lets its screen see the shortcuts before the elements, the keys no element took,
// and each press before the elements do (true from any of them consumes the event).
class ScreenForm : public skin::Form {
public:
    std::function<bool(skin::KeyEvent const&)> shortcut;
    std::function<bool(skin::KeyEvent const&)> unhandled_key;
    std::function<bool(skin::PenEvent const&)> before_pen;

    bool on_key(skin::KeyEvent const& event) override
    {
        return (shortcut && shortcut(event)) || skin::Form::on_key(event) || (unhandled_key && unhandled_key(event));
    }
    bool on_pen(skin::PenEvent const& event) override
    {
        return (before_pen && before_pen(event)) || skin::Form::on_pen(event);
    }
};

// A form whose screen brings its values up to date in every frame step, just before it is laid out and
// drawn (elapsed time, levels, sizes): Document events only change state, the frame shows it. It wants
// frame steps while `live` says its values move (a recording or a playback runs).
class LiveForm final : public ScreenForm {
public:
    LiveForm(std::function<void()> on_frame, std::function<bool()> live)
        : on_frame_(std::move(on_frame))
        , live_(std::move(live))
    {
    }

    void tick(double seconds) override
    {
        on_frame_();
        skin::Form::tick(seconds);
    }

    bool wants_tick() const override { return live_() || skin::Form::wants_tick(); }

private:
    std::function<void()> on_frame_;
    std::function<bool()> live_;
};

} // namespace screens
