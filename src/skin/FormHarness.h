#pragma once

#include "Form.h"
#include "FormStack.h"
#include "NodeRegistry.h"
#include "Properties.h"
#include "RenderSurface.h"

#include <core/Strings.h>

#include <cstdint>
#include <memory>
#include <string>

namespace skin {

// A screen without a window, for tests and tools: a skin loaded for a screen size and dpi with the
// fifteen element types, a form stack drawing into a back buffer, and a simulated clock. Input is
// given to the top form as the window gives it, stamped with the simulated time; time advances in frame
// steps, each ticked and painted as the window's frame timer does; frames can be written as PNG files.
// Forms made by it belong to the caller and may outlive it.
// Threads: main thread only.
class FormHarness {
public:
    // The window timer's period.
    static constexpr uint32_t FRAME_MS = 40;

    explicit FormHarness(core::StringView skin_path, Point screen_size = { 480, 640 }, int32_t dpi = 96);
    ~FormHarness();
    FormHarness(FormHarness const&) = delete;
    FormHarness& operator=(FormHarness const&) = delete;

    // Whether the skin loaded.
    bool loaded() const { return loaded_; }
    Properties& properties() { return properties_; }
    FormStack& stack() { return stack_; }
    Point screen_size() const { return screen_.size(); }
    // The simulated tick count in milliseconds.
    uint32_t now() const { return now_; }

    // A form loaded from the skin entry `name`; throws NodeNotFoundInSkin when there is none.
    std::unique_ptr<Form> make_form(core::StringView name);
    void show(Form& form, FormMode mode = FormMode::FULL_SCREEN) { stack_.show_form(&form, mode); }
    bool close(Form& form) { return stack_.close_form(&form); }

    // Input to the top form at the current simulated time; false when there is no top form or it did
    // not take the event.
    bool pen_down(Point point);
    void pen_move(Point point);
    bool pen_up(Point point);
    bool key(int32_t code, bool down);
    bool character(char16_t character);

    // Advances the clock by `milliseconds` in frame steps of at most `frame_ms`, ticking the stack and
    // painting a frame after each step.
    void advance(uint32_t milliseconds, uint32_t frame_ms = FRAME_MS);
    // Advances the clock without a tick: the time that passes between two input events.
    void wait(uint32_t milliseconds) { now_ += milliseconds; }
    void paint();
    // A new screen size, as when the window is resized or the screen turned.
    void resize(Point size);

    Bitmap565 const& frame() const { return *screen_.bitmap(); }
    uint16_t pixel(Point point) const;
    bool save_png(std::string const& path) const;

private:
    NodeRegistry registry_;
    Properties properties_;
    bool loaded_ = false;
    FormStack stack_;
    RenderSurface screen_;
    uint32_t now_ = 0;
};

} // namespace skin
