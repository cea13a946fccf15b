#include "Form.h"

#include "Drawing.h"
#include "FormStack.h"
#include "KeyNames.h"
#include "PropertiesImpl.h"
#include "widgets/ButtonElement.h"
#include "widgets/VListElement.h"

#include <algorithm>
#include <cmath>
#include <platform/ticks.h>

namespace skin {

Form::Form()
    : Element(nullptr)
{
}

Form::~Form()
{
    if (stack_)
        stack_->forget(this);
    // The elements leave the input list while this is still an input host.
    clear_children();
}

void Form::load(PropertiesImpl const& properties, ElementRecord record)
{
    Element::load(properties, record);
    outside_color_ = properties.lookup_color(record, u"outside_color", Color {});
    scale_shift_ = properties.scale_shift();
}

void Form::set_visible(bool visible)
{
    Element::set_visible(visible);
    if (!visible)
        router_.cancel_captured();
}

bool Form::on_pen(PenEvent const& event)
{
    input_time_ = event.time;
    // The ring is for keys: a tap hides it until the next key.
    if (event.down && focus_shown_) {
        focus_shown_ = false;
        mark_redraw();
    }
    return router_.route_pen(event);
}

void Form::on_pen_move(Point point)
{
    on_pen_move(point, platform::tick_count());
}

void Form::on_pen_move(Point point, uint32_t time)
{
    input_time_ = time;
    router_.route_pen_move(point);
}

bool Form::on_key(KeyEvent const& event)
{
    if (focus_key(event))
        return true;
    if (Element* taker = router_.key_taker(event)) {
        // The list the arrows move takes the focus from the button that had it, so that Enter then
        // opens the row they chose.
        bool const arrow = event.code == KEY_UP || event.code == KEY_DOWN;
        if (arrow && event.down && focused() && can_focus(*taker))
            set_focus(taker);
        return true;
    }
    // Space presses the focused element when no element bound to Space took it (play and pause do).
    Element* focus = focused();
    if (event.code != KEY_SPACE || !focus || !focus_shown_ || event.modifiers != 0)
        return false;
    if (event.down && event.first)
        activate(focus);
    return true;
}

bool Form::focus_key(KeyEvent const& event)
{
    Element* focus = focused();
    if (event.code == KEY_TAB && (event.modifiers & MODIFIER_CTRL) == 0) {
        if (event.down) {
            show_focus();
            move_focus(event.shift() ? FocusMove::PREVIOUS : FocusMove::NEXT);
        }
        return true;
    }
    if (!focus || event.modifiers != 0)
        return false;
    if (event.code == KEY_ENTER && focus_shown_) {
        if (event.down && event.first)
            activate(focus);
        return true;
    }
    bool const arrow = event.code == KEY_UP || event.code == KEY_DOWN || event.code == KEY_LEFT
        || event.code == KEY_RIGHT || event.code == KEY_HOME || event.code == KEY_END;
    if (!arrow || !router_.contains(focus) || !focus->on_key(event))
        return false;
    if (event.down)
        show_focus();
    return true;
}

void Form::remove_input(Element* element)
{
    router_.remove(element);
    if (element && element == focused_) {
        focused_ = nullptr;
        notify_focus();
    }
}

Element* Form::focused() const
{
    if (!focused_ || !router_.contains(focused_) || !InputRouter::takes_input(*focused_))
        return nullptr;
    return focused_;
}

bool Form::can_focus(Element const& element)
{
    if (!InputRouter::takes_input(element) || element.size().x <= 0 || element.size().y <= 0)
        return false;
    return dynamic_cast<ButtonElement const*>(&element) || dynamic_cast<VListElement const*>(&element);
}

std::vector<Element*> Form::focus_order() const
{
    std::vector<Element*> order;
    for (Element* element : router_.inputs())
        if (can_focus(*element))
            order.push_back(element);
    return order;
}

bool Form::set_focus(Element* element)
{
    if (element && (!router_.contains(element) || !can_focus(*element)))
        return false;
    if (element == focused_)
        return true;
    focused_ = element;
    mark_redraw();
    notify_focus();
    return true;
}

bool Form::move_focus(FocusMove move)
{
    std::vector<Element*> const order = focus_order();
    if (order.empty())
        return false;
    auto const at = std::find(order.begin(), order.end(), focused());
    auto const count = static_cast<std::ptrdiff_t>(order.size());
    std::ptrdiff_t next = 0;
    if (at == order.end())
        next = move == FocusMove::NEXT ? 0 : count - 1;
    else
        next = ((at - order.begin()) + (move == FocusMove::NEXT ? 1 : count - 1)) % count;
    return set_focus(order[static_cast<size_t>(next)]);
}

bool Form::activate(Element* element)
{
    if (!element || !router_.contains(element) || !InputRouter::takes_input(*element))
        return false;
    if (auto* list = dynamic_cast<VListElement*>(element))
        return list->open_selected();
    // A press and a release at the centre, as a finger would give; straight to the element, so that
    // nothing else under that point hears of it.
    PenEvent event;
    event.x = element->position().x + element->size().x / 2;
    event.y = element->position().y + element->size().y / 2;
    event.time = input_time_;
    event.down = 1;
    element->on_pen(event);
    if (!router_.contains(element))
        return true;
    event.down = 0;
    element->on_pen(event);
    return true;
}

void Form::show_focus()
{
    if (!focus_shown_) {
        focus_shown_ = true;
        mark_redraw();
    }
}

void Form::notify_focus()
{
    if (stack_ && stack_->listener_)
        stack_->listener_->on_focus_changed(this, focused());
}

Form::FocusRing Form::focus_ring(Element const& element) const
{
    int32_t const unit = 1 << scale_shift_;
    FocusRing ring;
    int32_t const gap = 3 * unit;
    ring.stroke = 2 * unit;
    ring.position = { element.position().x - gap, element.position().y - gap };
    ring.size = { element.size().x + 2 * gap, element.size().y + 2 * gap };
    // Kept inside the form, so that an element at the window's edge (the list) still shows its ring.
    Point const low = position();
    Point const high = position() + size();
    Point const end { std::min(ring.position.x + ring.size.x, high.x),
        std::min(ring.position.y + ring.size.y, high.y) };
    ring.position = { std::max(ring.position.x, low.x), std::max(ring.position.y, low.y) };
    ring.size = { std::max(end.x - ring.position.x, 0), std::max(end.y - ring.position.y, 0) };
    // Buttons have the skin's corner of 8 (a round button is as round as it is small); lists none.
    int32_t const corner = dynamic_cast<ButtonElement const*>(&element)
        ? std::min(8 * unit, std::min(element.size().x, element.size().y) / 2)
        : 0;
    ring.radius = std::min(corner + gap, std::min(ring.size.x, ring.size.y) / 2);
    return ring;
}

namespace {

// The row `y` (0 at the top) of a rounded rectangle of `size`: the columns it covers, from `from` to
// before `to`.
void rounded_span(Point size, int32_t radius, int32_t y, int32_t& from, int32_t& to)
{
    from = 0;
    to = size.x;
    double const centre = y + 0.5;
    double dy = 0;
    if (centre < radius)
        dy = radius - centre;
    else if (centre > size.y - radius)
        dy = centre - (size.y - radius);
    if (dy <= 0)
        return;
    double const dx = std::sqrt(std::max(0.0, static_cast<double>(radius) * radius - dy * dy));
    auto const inset = static_cast<int32_t>(std::lround(radius - dx));
    from = inset;
    to = size.x - inset;
}

} // namespace

void Form::draw(RenderSurface& surface, Point origin)
{
    Element::draw(surface, origin);
    Element const* focus = focus_shown() ? focused() : nullptr;
    if (!focus)
        return;
    FocusRing const ring = focus_ring(*focus);
    if (ring.size.x <= 2 * ring.stroke || ring.size.y <= 2 * ring.stroke)
        return;
    Point const at = origin + (ring.position - position());
    Point const inner_size { ring.size.x - 2 * ring.stroke, ring.size.y - 2 * ring.stroke };
    int32_t const inner_radius = std::max(ring.radius - ring.stroke, 0);
    for (int32_t y = 0; y < ring.size.y; ++y) {
        int32_t from = 0, to = 0;
        rounded_span(ring.size, ring.radius, y, from, to);
        int32_t const inner_y = y - ring.stroke;
        if (inner_y < 0 || inner_y >= inner_size.y) {
            fill(surface, { at.x + from, at.y + y }, { to - from, 1 }, FOCUS_COLOR);
            continue;
        }
        int32_t in_from = 0, in_to = 0;
        rounded_span(inner_size, inner_radius, inner_y, in_from, in_to);
        in_from += ring.stroke;
        in_to += ring.stroke;
        fill(surface, { at.x + from, at.y + y }, { in_from - from, 1 }, FOCUS_COLOR);
        fill(surface, { at.x + in_to, at.y + y }, { to - in_to, 1 }, FOCUS_COLOR);
    }
}

bool Form::on_char(char16_t character)
{
    return router_.offer_char(character);
}

bool Form::on_wheel(Point point, int32_t notches)
{
    return router_.offer_wheel(point, notches);
}

} // namespace skin
