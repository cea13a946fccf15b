#include "OldTextElement.h"

#include "TextElement.h"

#include <algorithm>
#include <skin/PropertiesImpl.h>

namespace skin {

OldTextElement::OldTextElement(Element* parent)
    : Element(parent)
{
}

void OldTextElement::load(PropertiesImpl const& properties, ElementRecord record)
{
    Element::load(properties, record);
    font_ = properties.lookup_font(record, u"font", properties.default_font());
    text_ = properties.translate(properties.lookup_string(record, u"text", u""));
    grow_ = properties.lookup_int(record, u"grow", 0) != 0;
    color_ = properties.lookup_color(record, u"color", Color {});
    halign_ = halign_from_name(properties.lookup_string(record, u"halign", u""), false, HAlign::CENTER);
    valign_ = valign_from_name(properties.lookup_string(record, u"valign", u""), VAlign::VCENTER);
    wrap_ = properties.lookup_int(record, u"wrap", 0) != 0;
    extent_ = text_.empty() || !font_ ? Point {} : font_->text_extent(text_);
}

void OldTextElement::set_text(core::StringView text)
{
    if (text == text_)
        return;
    text_ = text;
    extent_ = text_.empty() || !font_ ? Point {} : font_->text_extent(text_);
    invalidate_layout();
    mark_redraw();
}

void OldTextElement::set_text_by_id(core::StringView id, core::StringView text)
{
    if (id == this->id())
        set_text(text);
    Element::set_text_by_id(id, text);
}

void OldTextElement::measure_x(Extent& extent)
{
    Element::measure_x(extent);
    if (grow_)
        extent.preferred = std::max(extent.preferred, extent_.x);
}

void OldTextElement::measure_y(Extent& extent)
{
    Element::measure_y(extent);
    if (grow_)
        extent.preferred = std::max(extent.preferred, extent_.y);
}

void OldTextElement::draw(RenderSurface& surface, Point origin)
{
    if (font_)
        font_->draw_text(surface, text_, origin, size(), style());
    Element::draw(surface, origin);
}

} // namespace skin
