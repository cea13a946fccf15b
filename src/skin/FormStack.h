#pragma once

#include "Color.h"
#include "DiagnosticOverlay.h"
#include "Point.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace skin {

class Form;
class RenderSurface;
class VisibilityAnimation;

enum class FormMode { FULL_SCREEN, POPUP };

class Element;

// Told when a form was shown on the stack or closed, and when the keyboard focus of a form on the stack
// moved (`focused` null: no element has it); not owned.
class FormStackListener {
public:
    virtual ~FormStackListener();
    virtual void on_form_closed(Form* form);
    virtual void on_form_shown(Form* form);
    virtual void on_focus_changed(Form* form, Element* focused);
};

// The forms of the application window: the top one is shown full-screen, or as a popup over a dimmed,
// frozen picture of what was on the screen before it, and changes between full-screen forms play as a
// transition that follows the visibility animation of the form coming or going. Only the top form is
// painted live and ticked; the window gives input to it alone.
//
// A form is shown on one stack at a time; one destroyed while on the stack leaves it.
// Threads: main thread only.
class FormStack {
public:
    explicit FormStack(Point window_size = { 480, 640 });
    ~FormStack();
    FormStack(FormStack const&) = delete;
    FormStack& operator=(FormStack const&) = delete;

    // The window's client size; forms are laid out over it. paint_frame takes the size of the surface it
    // is given.
    void set_window_size(Point size);
    Point window_size() const { return window_size_; }

    // Pushes the form. A popup is shown through its own visibility animation over a picture of the
    // screen; a full-screen form replaces the top, through a transition when it has an animation. A
    // form already on the stack is moved to the top.
    void show_form(Form* form, FormMode mode);
    // False, changing nothing, when the form is not on the stack.
    bool close_form(Form* form);
    // Advances the transition, lays the top form out over the window and ticks it.
    void tick(double seconds);
    // Draws the frame into the window's back buffer.
    void paint_frame(RenderSurface& surface);

    Form* top() const;
    bool top_is_popup() const;
    size_t size() const { return entries_.size(); }
    bool contains(Form const* form) const;
    // Something changed since the last frame: the stack, the transition, the dimming, the top form.
    bool needs_redraw() const;
    // Ticks would change something: a transition or the dimming runs, the top form moves or waits on a
    // clock, or the diagnostic overlay counts frames.
    bool wants_tick() const;

    void set_listener(FormStackListener* listener) { listener_ = listener; }
    Color screen_color() const { return screen_color_; }
    void set_screen_color(Color color);
    // 256 (not dimmed) down to 128.
    int32_t dim_level() const { return dim_level_; }
    // The running transition between full-screen forms, or null.
    VisibilityAnimation const* transition() const;
    // The frozen picture under the top popup, or null.
    RenderSurface const* background() const;

    // The clock the diagnostic overlay times frames with (milliseconds); the tick count by default.
    void set_clock(std::function<uint32_t()> clock);
    // The process-wide diagnostic overlay flag (clear at start).
    static void set_diagnostic_overlay(bool on) { DiagnosticOverlay::set_enabled(on); }
    static bool diagnostic_overlay() { return DiagnosticOverlay::enabled(); }

private:
    friend class Form;

    struct Entry {
        Form* form = nullptr;
        bool popup = false;
        // Popups shown one over another share the picture taken under the first of them.
        std::shared_ptr<RenderSurface> background;
    };
    struct Transition {
        std::unique_ptr<VisibilityAnimation> animation;
        // The form coming (shown) or going (closed), whose animation the transition follows.
        Form* form = nullptr;
        // Which picture is the top of the stack, drawn afresh each frame; the other is frozen.
        bool live_is_new = true;
    };

    // A form destroyed while on the stack.
    void forget(Form* form);
    void push(Form* form, bool popup, std::shared_ptr<RenderSurface> background);
    void show_full_screen(Form* form);
    void close_top(Entry const& closing, std::unique_ptr<VisibilityAnimation> leaving);
    // The running transition brings this form in.
    bool coming_in(Form const* form) const;
    void lay_out(Form& form) const;
    void make_visible(Form& form) const;
    void drop_transition();
    // What the top entry looks like, without a transition, at the current dim level.
    void render_top(RenderSurface& surface);
    // The screen as it is now, into a surface of the window's size.
    void snapshot(RenderSurface& surface);
    void draw_transition(RenderSurface& surface);

    Point window_size_;
    std::vector<Entry> entries_;
    std::unique_ptr<Transition> transition_;
    int32_t dim_level_ = 256;
    bool redraw_all_ = true;
    FormStackListener* listener_ = nullptr;
    Color screen_color_;
    std::function<uint32_t()> clock_;
    DiagnosticOverlay overlay_;
};

} // namespace skin
