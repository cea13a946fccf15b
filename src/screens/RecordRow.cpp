#include "RecordRow.h"

#include <skin/FormBinding.h>
#include <skin/widgets/ImageElement.h>
#include <skin/widgets/TextElement.h>

namespace screens {

RecordRowBinder::~RecordRowBinder() = default;

RecordRow::RecordRow(RecordRowBinder& owner, skin::PropertiesImpl const& properties)
    : owner_(owner)
{
    skin::load_entry(*this, properties, u"Record");
    icon_ = &skin::require_child<skin::ImageElement>(*this, u"icon");
    artist_ = &skin::require_child<skin::TextElement>(*this, u"artist");
    name_ = &skin::require_child<skin::TextElement>(*this, u"name");
    state_ = dynamic_cast<skin::TextElement*>(find_child(u"state"));
}

void RecordRow::bind_row(skin::VListElement*, int32_t)
{
    owner_.bind_record_row(*this);
}

} // namespace screens
