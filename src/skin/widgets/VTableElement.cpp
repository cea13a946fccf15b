#include "VTableElement.h"

namespace skin {

VTableElement::VTableElement(Element* parent)
    : Element(parent)
{
}

void VTableElement::arrange_y()
{
    arrange_table(Axis::Y, items_);
}

void VTableElement::measure_y(Extent& extent)
{
    measure_table(Axis::Y, extent);
}

} // namespace skin
