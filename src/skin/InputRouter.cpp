#include "InputRouter.h"

#include "Element.h"
#include "widgets/EditElement.h"
#include "widgets/VListElement.h"

#include <algorithm>

namespace skin {

void InputRouter::add(Element* element)
{
    if (element && !contains(element))
        inputs_.push_back(element);
}

void InputRouter::remove(Element* element)
{
    std::erase(inputs_, element);
    std::erase(captured_, element);
    if (active_edit_ && element == active_edit_)
        active_edit_ = nullptr;
}

bool InputRouter::contains(Element const* element) const
{
    return std::find(inputs_.begin(), inputs_.end(), element) != inputs_.end();
}

bool InputRouter::takes_input(Element const& element)
{
    return element.effectively_visible() && element.effectively_enabled();
}

PenEvent InputRouter::cancel_event()
{
    PenEvent event;
    event.x = -1;
    event.y = -1;
    event.down = 0;
    event.cancel = 1;
    return event;
}

bool InputRouter::route_pen(PenEvent const& event)
{
    if (!event.down) {
        // A release with nothing held is ignored.
        std::vector<Element*> const taken = std::move(captured_);
        captured_.clear();
        for (Element* element : taken) {
            if (!contains(element))
                continue;
            // An element that went away or was disabled while it held the pen is still let go of,
            // cancelled: otherwise a button would stay pressed.
            element->on_pen(takes_input(*element) ? event : cancel_event());
        }
        return !captured_.empty();
    }
    if (!captured_.empty())
        return true;
    // A scrolling list lies under whatever floats over it (a record button, a keypad): it takes a press
    // only where no other element does, or those elements could never be tapped.
    std::vector<Element*> walk = inputs_;
    std::stable_partition(walk.begin(), walk.end(), [](Element* e) { return !dynamic_cast<VListElement*>(e); });
    for (Element* element : walk) {
        if (!contains(element) || !takes_input(*element) || !element->hit_test(event.point()))
            continue;
        // Captured before it hears of the press: a listener that hides the form on the press finds it
        // there and cancels it.
        captured_.push_back(element);
        if (element->on_pen(event))
            break;
    }
    return !captured_.empty();
}

void InputRouter::route_pen_move(Point point)
{
    std::vector<Element*> kept, dropped;
    for (Element* element : captured_)
        (takes_input(*element) ? kept : dropped).push_back(element);
    captured_ = kept;
    cancel(dropped);
    for (Element* element : kept)
        if (contains(element) && std::find(captured_.begin(), captured_.end(), element) != captured_.end())
            element->on_pen_move(point);
    if (!captured_.empty())
        return;
    std::vector<Element*> const walk = inputs_;
    for (Element* element : walk)
        if (contains(element) && takes_input(*element) && element->hit_test(point))
            element->on_pen_move(point);
}

Element* InputRouter::key_taker(KeyEvent const& event)
{
    std::vector<Element*> const walk = inputs_;
    for (Element* element : walk)
        if (contains(element) && takes_input(*element) && element->on_key(event))
            return element;
    return nullptr;
}

bool InputRouter::offer_char(char16_t character)
{
    std::vector<Element*> const walk = inputs_;
    for (Element* element : walk)
        if (contains(element) && takes_input(*element) && element->on_char(character))
            return true;
    return false;
}

bool InputRouter::offer_wheel(Point point, int32_t notches)
{
    std::vector<Element*> const walk = inputs_;
    for (Element* element : walk)
        if (contains(element) && takes_input(*element) && element->hit_test(point) && element->on_wheel(point, notches))
            return true;
    return false;
}

void InputRouter::cancel_captured()
{
    std::vector<Element*> const taken = std::move(captured_);
    captured_.clear();
    cancel(taken);
}

void InputRouter::cancel(std::vector<Element*> const& elements)
{
    PenEvent const event = cancel_event();
    for (Element* element : elements)
        if (contains(element))
            element->on_pen(event);
}

} // namespace skin
