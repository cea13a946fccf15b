#include "ElementTypes.h"

#include "NodeRegistry.h"
#include "widgets/ButtonElement.h"
#include "widgets/CheckboxElement.h"
#include "widgets/ClipElement.h"
#include "widgets/ColorElement.h"
#include "widgets/EditElement.h"
#include "widgets/ImageElement.h"
#include "widgets/LabelEditElement.h"
#include "widgets/OldTextElement.h"
#include "widgets/ProgressElement.h"
#include "widgets/TableElement.h"
#include "widgets/TextElement.h"
#include "widgets/VListElement.h"
#include "widgets/WaveformElement.h"

namespace skin {

namespace {

template <typename Type> ElementFactory factory()
{
    return [](Element* parent) -> Element* { return new Type(parent); };
}

} // namespace

void register_element_types(NodeRegistry& registry)
{
    registry.register_type(u"node", factory<Element>());
    registry.register_type(u"text", factory<TextElement>());
    registry.register_type(u"color", factory<ColorElement>());
    registry.register_type(u"image", factory<ImageElement>());
    registry.register_type(u"edit", factory<EditElement>());
    registry.register_type(u"htable", factory<HTableElement>());
    registry.register_type(u"vtable", factory<VTableElement>());
    registry.register_type(u"button", factory<ButtonElement>());
    registry.register_type(u"vlist", factory<VListElement>());
    registry.register_type(u"checkbox", factory<CheckboxElement>());
    registry.register_type(u"progress", factory<ProgressElement>());
    registry.register_type(u"oldtext", factory<OldTextElement>());
    registry.register_type(u"label_edit", factory<LabelEditElement>());
    registry.register_type(u"clip", factory<ClipElement>());
    registry.register_type(u"waveform", factory<WaveformElement>());
}

} // namespace skin
