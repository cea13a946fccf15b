#include "Form.h"

#include "FormStack.h"
#include "PropertiesImpl.h"

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
    return router_.offer_key(event);
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
