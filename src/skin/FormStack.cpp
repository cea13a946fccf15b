#include "FormStack.h"

#include "Blitter.h"
#include "Drawing.h"
#include "Form.h"
#include "RenderSurface.h"
#include "VisibilityAnimation.h"

#include <algorithm>
#include <platform/ticks.h>

namespace skin {

namespace {

constexpr int32_t UNDIMMED = 256;
constexpr int32_t DIMMED = 128;
constexpr int32_t DIM_STEP = 16;

// A list that grows with its rows asks for more room once it has filled what it got; a few passes a
// frame let such a form settle at once instead of a row a frame.
constexpr int LAYOUT_PASSES = 8;

// A transition of the same geometry as the form's own visibility animation, or none.
std::unique_ptr<VisibilityAnimation> transition_like(Form const& form)
{
    VisibilityAnimation const* own = form.visibility_animation();
    return own ? std::make_unique<VisibilityAnimation>(own->kind(), own->side()) : nullptr;
}

} // namespace

FormStackListener::~FormStackListener() = default;
void FormStackListener::on_form_closed(Form*)
{
}
void FormStackListener::on_form_shown(Form*)
{
}

void FormStackListener::on_focus_changed(Form*, Element*)
{
}

FormStack::FormStack(Point window_size)
    : window_size_(window_size)
    , clock_([] { return platform::tick_count(); })
{
}

FormStack::~FormStack()
{
    for (Entry const& entry : entries_)
        entry.form->stack_ = nullptr;
}

void FormStack::set_window_size(Point size)
{
    if (size == window_size_)
        return;
    window_size_ = size;
    redraw_all_ = true;
}

void FormStack::set_screen_color(Color color)
{
    screen_color_ = color;
    redraw_all_ = true;
}

void FormStack::set_clock(std::function<uint32_t()> clock)
{
    if (clock)
        clock_ = std::move(clock);
}

Form* FormStack::top() const
{
    return entries_.empty() ? nullptr : entries_.back().form;
}

bool FormStack::top_is_popup() const
{
    return !entries_.empty() && entries_.back().popup;
}

bool FormStack::contains(Form const* form) const
{
    return std::any_of(entries_.begin(), entries_.end(), [form](Entry const& e) { return e.form == form; });
}

VisibilityAnimation const* FormStack::transition() const
{
    return transition_ ? transition_->animation.get() : nullptr;
}

RenderSurface const* FormStack::background() const
{
    return top_is_popup() ? entries_.back().background.get() : nullptr;
}

bool FormStack::needs_redraw() const
{
    if (redraw_all_ || transition_)
        return true;
    Form const* form = top();
    if (form && form->needs_redraw())
        return true;
    // The dim level moves a step each painted frame until it rests.
    return top_is_popup() ? dim_level_ > DIMMED : dim_level_ < UNDIMMED;
}

bool FormStack::wants_tick() const
{
    if (transition_ || DiagnosticOverlay::enabled())
        return true;
    if (top_is_popup() ? dim_level_ > DIMMED : dim_level_ < UNDIMMED)
        return true;
    Form const* form = top();
    return form && form->wants_tick();
}

void FormStack::lay_out(Form& form) const
{
    for (int pass = 0; pass < LAYOUT_PASSES; ++pass) {
        form.set_geometry_x(0, window_size_.x);
        form.set_geometry_y(0, window_size_.y);
        if (!form.layout_pending())
            break;
    }
}

// A form shown full-screen is drawn as it is, not through its own show animation.
void FormStack::make_visible(Form& form) const
{
    if (VisibilityAnimation* own = form.visibility_animation(); own && own->running())
        own->stop();
    form.set_visible(true);
}

void FormStack::drop_transition()
{
    if (transition_)
        transition_->animation->stop();
    transition_.reset();
}

void FormStack::push(Form* form, bool popup, std::shared_ptr<RenderSurface> background)
{
    entries_.push_back({ form, popup, std::move(background) });
    form->stack_ = this;
    // A form comes up without a focus, as a dialog does on a desktop: Enter then means its own bound
    // key, not a button focused the last time it was shown.
    form->focused_ = nullptr;
}

void FormStack::show_form(Form* form, FormMode mode)
{
    if (!form)
        return;
    bool const popup = mode == FormMode::POPUP;
    redraw_all_ = true;
    if (top() == form && top_is_popup() == popup)
        return;
    // A form appears once: shown again, it leaves its old place first.
    std::erase_if(entries_, [form](Entry const& e) { return e.form == form; });
    lay_out(*form);
    if (entries_.empty()) {
        drop_transition();
        make_visible(*form);
        push(form, popup, nullptr);
    } else if (popup) {
        drop_transition();
        Entry const& current = entries_.back();
        std::shared_ptr<RenderSurface> background = current.background;
        if (!current.popup) {
            background = std::make_shared<RenderSurface>();
            snapshot(*background);
        }
        current.form->set_visible(false);
        // Shown from hidden, so that its animation plays.
        if (form->visible() && !(form->visibility_animation() && form->visibility_animation()->running()))
            form->set_visible(false);
        form->show_animated(true);
        push(form, popup, std::move(background));
    } else if (transition_ && transition_->form == form && transition_->animation->direction() < 0) {
        // The form that is going away comes back: the same transition runs the other way.
        transition_->animation->reverse();
        transition_->live_is_new = true;
        entries_.back().form->set_visible(false);
        make_visible(*form);
        push(form, popup, nullptr);
    } else {
        show_full_screen(form);
    }
    if (listener_)
        listener_->on_form_shown(form);
}

void FormStack::show_full_screen(Form* form)
{
    drop_transition();
    auto animation = transition_like(*form);
    if (animation)
        snapshot(animation->old_picture());
    // Popups under a full-screen form keep their picture for when they are on top again.
    dim_level_ = UNDIMMED;
    entries_.back().form->set_visible(false);
    make_visible(*form);
    push(form, false, nullptr);
    if (animation) {
        animation->start(1);
        transition_ = std::make_unique<Transition>(Transition { std::move(animation), form, true });
        render_top(transition_->animation->new_picture());
    }
}

bool FormStack::close_form(Form* form)
{
    auto const found
        = std::find_if(entries_.begin(), entries_.end(), [form](Entry const& e) { return e.form == form; });
    if (!form || found == entries_.end())
        return false;
    redraw_all_ = true;
    Entry const closing = *found;
    bool const was_top = found + 1 == entries_.end();
    // The picture of the form going away is the screen as it is before it goes.
    std::unique_ptr<VisibilityAnimation> leaving;
    if (was_top && !closing.popup && entries_.size() > 1 && !coming_in(form)) {
        leaving = transition_like(*form);
        if (leaving)
            snapshot(leaving->new_picture());
    }
    entries_.erase(found);
    form->stack_ = nullptr;
    if (was_top)
        close_top(closing, std::move(leaving));
    if (listener_)
        listener_->on_form_closed(form);
    return true;
}

bool FormStack::coming_in(Form const* form) const
{
    return transition_ && transition_->form == form && transition_->animation->direction() > 0;
}

void FormStack::close_top(Entry const& closing, std::unique_ptr<VisibilityAnimation> leaving)
{
    if (entries_.empty()) {
        drop_transition();
        // Hidden, so that a press it still holds is released.
        closing.form->set_visible(false);
        return;
    }
    Entry const& next = entries_.back();
    if (closing.popup) {
        drop_transition();
        closing.form->set_visible(false);
        if (next.popup)
            next.form->show_animated(true);
        else
            make_visible(*next.form);
        return;
    }
    if (coming_in(closing.form)) {
        // The form that is coming in goes back: the same transition runs the other way.
        transition_->animation->reverse();
        transition_->live_is_new = false;
    } else {
        drop_transition();
        if (leaving) {
            // Played backwards: from the closing form to the one below.
            leaving->start(-1);
            transition_ = std::make_unique<Transition>(Transition { std::move(leaving), closing.form, false });
        }
    }
    closing.form->set_visible(false);
    make_visible(*next.form);
}

void FormStack::forget(Form* form)
{
    std::erase_if(entries_, [form](Entry const& e) { return e.form == form; });
    if (transition_ && transition_->form == form)
        drop_transition();
    redraw_all_ = true;
}

void FormStack::tick(double seconds)
{
    if (transition_ && transition_->animation->tick(seconds)) {
        drop_transition();
        redraw_all_ = true;
    }
    if (Form* form = top()) {
        lay_out(*form);
        form->tick(seconds);
    }
}

void FormStack::render_top(RenderSurface& surface)
{
    if (surface.size() != window_size_)
        surface.recreate(window_size_);
    fill(surface, {}, surface.size(), screen_color_);
    Form* form = top();
    if (!form)
        return;
    lay_out(*form);
    if (top_is_popup()) {
        if (RenderSurface const* picture = entries_.back().background.get())
            picture->blit_to(surface, {}, plain_blitter());
        fill(surface, {}, surface.size(), Color {}, alpha_blitter(dim_level_));
    }
    form->paint(surface, {});
}

void FormStack::draw_transition(RenderSurface& surface)
{
    VisibilityAnimation& animation = *transition_->animation;
    render_top(transition_->live_is_new ? animation.new_picture() : animation.old_picture());
    fill(surface, {}, surface.size(), screen_color_);
    Blitter const& blitter = transition_->form ? transition_->form->cache_blitter() : plain_blitter();
    animation.draw(surface, {}, blitter);
}

void FormStack::snapshot(RenderSurface& surface)
{
    if (!transition_) {
        render_top(surface);
        return;
    }
    surface.recreate(window_size_);
    draw_transition(surface);
}

void FormStack::paint_frame(RenderSurface& surface)
{
    if (surface.size().x > 0 && surface.size().y > 0)
        set_window_size(surface.size());
    bool const redrawn = needs_redraw();
    redraw_all_ = false;
    if (transition_) {
        draw_transition(surface);
    } else if (Form* form = top()) {
        lay_out(*form);
        fill(surface, {}, surface.size(), screen_color_);
        if (top_is_popup()) {
            if (RenderSurface const* picture = entries_.back().background.get())
                picture->blit_to(surface, {}, plain_blitter());
            fill(surface, {}, surface.size(), Color {}, alpha_blitter(dim_level_));
            if (dim_level_ > DIMMED) {
                dim_level_ = std::max(dim_level_ - DIM_STEP, DIMMED);
                redraw_all_ = true;
            }
        }
        form->paint(surface, {});
    } else {
        fill(surface, {}, surface.size(), screen_color_);
    }
    if (!top_is_popup())
        dim_level_ = std::min(dim_level_ + DIM_STEP, UNDIMMED);
    overlay_.count_frame(clock_());
    if (DiagnosticOverlay::enabled())
        overlay_.draw(surface, redrawn);
}

} // namespace skin
