#include "RecordRow.h"

#include "Binding.h"
#include "FormMain.h"

#include <skin/widgets/ImageElement.h>
#include <skin/widgets/TextElement.h>

namespace screens {

RecordRow::RecordRow(FormMain& owner, skin::PropertiesImpl const& properties)
    : owner_(owner)
{
    skin::load_entry(*this, properties, u"Record");
    icon_ = require_child<skin::ImageElement>(*this, u"icon");
    artist_ = require_child<skin::TextElement>(*this, u"artist");
    name_ = require_child<skin::TextElement>(*this, u"name");
}

void RecordRow::bind_row(skin::VListElement*, int32_t)
{
    owner_.bind_record_row(*this);
}

} // namespace screens
