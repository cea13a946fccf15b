#pragma once

#include <skin/Element.h>

namespace skin {

// "vlist": the scrolling list. This is its element part: the keys it reads, its place in the input
// list, its measure with "grow", and drawing its own (non-row) children; rows come with its model.
class VListElement : public Element {
public:
    explicit VListElement(Element* parent);
    ~VListElement() override;

    void load(PropertiesImpl const& properties, ElementRecord record) override;
    void measure_y(Extent& extent) override;

    int32_t scroll_border_min() const { return scroll_border_min_; }
    int32_t scroll_border_max() const { return scroll_border_max_; }
    bool locked() const { return locked_; }
    bool grow() const { return grow_; }
    int32_t selected() const { return selected_; }
    int32_t count() const { return count_; }
    int32_t content_height() const { return content_height_; }
    double scroll() const { return scroll_; }
    double velocity() const { return velocity_; }

private:
    int32_t scroll_border_min_ = 0;
    int32_t scroll_border_max_ = 0;
    bool locked_ = false;
    bool grow_ = false;
    int32_t selected_ = -1;
    int32_t count_ = 0;
    int32_t content_height_ = 0;
    double scroll_ = 0;
    double velocity_ = 0;
};

} // namespace skin
