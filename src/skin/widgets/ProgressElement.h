#pragma once

#include <skin/Element.h>

namespace skin {

// "progress": a bar whose "#line" child takes the share `value` (0 to 1) of the room its anchoring
// leaves; the other children are arranged as in a plain element.
class ProgressElement : public Element {
public:
    explicit ProgressElement(Element* parent);

    void load(PropertiesImpl const& properties, ElementRecord record) override;
    void arrange_x() override;
    void arrange_y() override;
    void on_descendant_destroyed(Element* descendant) override;

    double value() const { return value_; }
    // Clamped to 0 .. 1 (anything that is not a number counts as 0).
    void set_value(double value);
    Element* line() const { return line_; }

    // The extent the line asks for in a slot of `slot` at `value`.
    static int32_t line_extent(AxisAnchor const& anchor, int32_t slot, double value);

private:
    void arrange(Axis axis);
    void place_line(Axis axis);

    double value_ = 0;
    Element* line_ = nullptr;
};

} // namespace skin
