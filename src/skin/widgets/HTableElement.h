#pragma once

#include <skin/Element.h>

#include <vector>

namespace skin {

// "htable": shares its width among its visible children from left to right.
class HTableElement : public Element {
public:
    explicit HTableElement(Element* parent);

    void arrange_x() override;
    void measure_x(Extent& extent) override;

private:
    std::vector<TableItem> items_;
};

} // namespace skin
