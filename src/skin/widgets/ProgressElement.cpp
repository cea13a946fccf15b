#include "ProgressElement.h"

#include <algorithm>
#include <cmath>

namespace skin {

ProgressElement::ProgressElement(Element* parent)
    : Element(parent)
{
}

void ProgressElement::load(PropertiesImpl const& properties, ElementRecord record)
{
    Element::load(properties, record);
    line_ = find_child(u"#line");
    if (line_)
        line_->set_listener(nullptr);
}

void ProgressElement::on_descendant_destroyed(Element* descendant)
{
    if (descendant == line_)
        line_ = nullptr;
}

int32_t ProgressElement::line_extent(AxisAnchor const& anchor, int32_t slot, double value)
{
    double const w = std::trunc((double(slot) - required_extent(anchor, 0)) * value);
    return w >= 1 ? clamp_extent(static_cast<int64_t>(w)) : 0;
}

void ProgressElement::set_value(double value)
{
    value = std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 1.0);
    if (value == value_)
        return;
    value_ = value;
    if (line_) {
        place_line(Axis::X);
        place_line(Axis::Y);
    }
    mark_redraw();
}

void ProgressElement::place_line(Axis axis)
{
    bool const x = axis == Axis::X;
    int32_t const slot = x ? size().x : size().y;
    AxisAnchor const a = line_->anchor(axis);
    Span const span = place_in_slot(a, line_extent(a, slot, value_), x ? position().x : position().y, slot);
    line_->set_geometry(axis, span.position, span.size);
}

void ProgressElement::arrange(Axis axis)
{
    for (size_t i = 0; i < child_count(); ++i) {
        Element& c = *child(i);
        if (&c == line_)
            place_line(axis);
        else
            place_plain(c, axis);
    }
}

void ProgressElement::arrange_x()
{
    arrange(Axis::X);
}

void ProgressElement::arrange_y()
{
    arrange(Axis::Y);
}

} // namespace skin
