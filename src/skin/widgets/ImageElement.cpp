#include "ImageElement.h"

#include <algorithm>
#include <skin/Blitter.h>
#include <skin/Drawing.h>
#include <skin/PropertiesImpl.h>

namespace skin {

ImageElement::ImageElement(Element* parent)
    : Element(parent)
    , blitter_(&plain_blitter())
{
}

void ImageElement::load(PropertiesImpl const& properties, ElementRecord record)
{
    Element::load(properties, record);
    picture_ = properties.lookup_picture(record, u"src", PictureRef {});
    alpha_ = properties.lookup_int(record, u"alpha", -1);
    blitter_ = &alpha_blitter(alpha_);
    grow_ = properties.lookup_int(record, u"grow", 0) != 0;
}

void ImageElement::set_picture(PictureRef picture)
{
    picture_ = std::move(picture);
    invalidate_layout();
    mark_redraw();
}

void ImageElement::draw(RenderSurface& surface, Point origin)
{
    draw_picture(surface, origin, size(), picture_, *blitter_);
    Element::draw(surface, origin);
}

void ImageElement::measure_x(Extent& extent)
{
    Element::measure_x(extent);
    if (!picture_.empty()) {
        extent.preferred = std::max(extent.preferred, picture_.size().x);
        extent.minimum = std::max(extent.minimum, picture_.size().x);
    }
}

void ImageElement::measure_y(Extent& extent)
{
    Element::measure_y(extent);
    if (!picture_.empty()) {
        extent.preferred = std::max(extent.preferred, picture_.size().y);
        extent.minimum = std::max(extent.minimum, picture_.size().y);
    }
}

} // namespace skin
