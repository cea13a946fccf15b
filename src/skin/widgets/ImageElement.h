#pragma once

#include <skin/Element.h>
#include <skin/PictureRef.h>

namespace skin {

// "image": a skin picture drawn over its whole rectangle (corners kept, middle repeated), then its
// children. It asks for at least the picture's used extent.
class ImageElement : public Element {
public:
    explicit ImageElement(Element* parent);

    void load(PropertiesImpl const& properties, ElementRecord record) override;
    void draw(RenderSurface& surface, Point origin) override;
    void measure_x(Extent& extent) override;
    void measure_y(Extent& extent) override;

    PictureRef const& picture() const { return picture_; }
    void set_picture(PictureRef picture);
    int32_t alpha() const { return alpha_; }
    bool grow() const { return grow_; }

private:
    PictureRef picture_;
    int32_t alpha_ = -1;
    Blitter const* blitter_;
    bool grow_ = false;
};

} // namespace skin
