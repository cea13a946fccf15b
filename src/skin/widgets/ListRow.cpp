#include "ListRow.h"

#include "VListElement.h"

#include <platform/ticks.h>

namespace skin {

ListRow::ListRow()
    : Element(nullptr)
{
}

ListRow::~ListRow()
{
    // The elements leave the input list while this is still an input host.
    clear_children();
}

bool ListRow::on_pen(PenEvent const& event)
{
    return router_.route_pen(event);
}

void ListRow::on_pen_move(Point point)
{
    router_.route_pen_move(point);
}

bool ListRow::on_key(KeyEvent const& event)
{
    return router_.offer_key(event);
}

bool ListRow::on_char(char16_t character)
{
    return router_.offer_char(character);
}

uint32_t ListRow::input_time() const
{
    InputHost const* host = list_ ? list_->input_host() : nullptr;
    return host ? host->input_time() : platform::tick_count();
}

void ListRow::show_state(bool pressed, bool selected)
{
    Element* const normal = find_child(u"#vlist_normal");
    Element* const pressed_state = find_child(u"#vlist_pressed");
    Element* const selected_state = find_child(u"#vlist_selected");
    Element* chosen = pressed ? pressed_state : selected ? selected_state : normal;
    if (!chosen)
        chosen = normal;
    for (Element* state : { normal, pressed_state, selected_state })
        if (state)
            state->set_visible(state == chosen);
}

} // namespace skin
