#include "VListElement.h"

#include <algorithm>
#include <core/Log.h>
#include <skin/InputHost.h>
#include <skin/PropertiesImpl.h>

namespace skin {

VListElement::VListElement(Element* parent)
    : Element(parent)
{
    if (InputHost* host = input_host())
        host->add_input(this);
}

VListElement::~VListElement()
{
    if (InputHost* host = input_host())
        host->remove_input(this);
}

void VListElement::load(PropertiesImpl const& properties, ElementRecord record)
{
    Element::load(properties, record);
    scroll_border_min_ = properties.lookup_point(record, u"scroll_border_min", {}).y;
    scroll_border_max_ = properties.lookup_point(record, u"scroll_border_max", {}).y;
    locked_ = properties.lookup_int(record, u"locked", 0) != 0;
    grow_ = properties.lookup_int(record, u"grow", 0) != 0;
    scroll_ = scroll_border_min_;
    velocity_ = 0;
}

void VListElement::measure_y(Extent& extent)
{
    Element::measure_y(extent);
    if (!grow_)
        return;
    int64_t const borders = int64_t(scroll_border_min_) + scroll_border_max_;
    extent.preferred = std::max(extent.preferred, clamp_extent(content_height_ + borders));
    extent.minimum = std::max(extent.minimum, clamp_extent(borders));
    core::log() << u"Desired size=" << extent.preferred << u"\n";
}

} // namespace skin
