#include "HTableElement.h"

namespace skin {

HTableElement::HTableElement(Element* parent)
    : Element(parent)
{
}

void HTableElement::arrange_x()
{
    arrange_table(Axis::X, items_);
}

void HTableElement::measure_x(Extent& extent)
{
    measure_table(Axis::X, extent);
}

} // namespace skin
