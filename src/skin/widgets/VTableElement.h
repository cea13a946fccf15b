#pragma once

#include <skin/Element.h>

#include <vector>

namespace skin {

// "vtable": shares its height among its visible children from top to bottom.
class VTableElement : public Element {
public:
    explicit VTableElement(Element* parent);

    void arrange_y() override;
    void measure_y(Extent& extent) override;

private:
    std::vector<TableItem> items_;
};

} // namespace skin
