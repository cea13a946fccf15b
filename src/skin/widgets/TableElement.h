#pragma once

#include <skin/Element.h>

#include <vector>

namespace skin {

// "htable" and "vtable": share the width (along X) or the height (along Y) among the visible children,
// from left to right or from top to bottom; across that axis each child is placed as in a plain node.
template <Axis AXIS> class TableElement : public Element {
public:
    explicit TableElement(Element* parent)
        : Element(parent)
    {
    }

    void arrange_x() override { AXIS == Axis::X ? arrange_table(AXIS, items_) : Element::arrange_x(); }
    void arrange_y() override { AXIS == Axis::Y ? arrange_table(AXIS, items_) : Element::arrange_y(); }
    void measure_x(Extent& extent) override
    {
        AXIS == Axis::X ? measure_table(AXIS, extent) : Element::measure_x(extent);
    }
    void measure_y(Extent& extent) override
    {
        AXIS == Axis::Y ? measure_table(AXIS, extent) : Element::measure_y(extent);
    }

private:
    std::vector<TableItem> items_;
};

using HTableElement = TableElement<Axis::X>;
using VTableElement = TableElement<Axis::Y>;

} // namespace skin
