#include "NodeExceptions.h"

namespace skin {

NodeNotFoundInSkin::NodeNotFoundInSkin(core::String name)
    : SkinException(u"NodeNotFoundInSkin: " + name)
    , name_(std::move(name))
{
}

NodeNotFound::NodeNotFound(core::String form_id, core::String child_id)
    : SkinException(u"NodeNotFound: " + form_id + u"#" + child_id)
    , form_id_(std::move(form_id))
    , child_id_(std::move(child_id))
{
}

NodeNotRegistered::NodeNotRegistered(core::String type_name)
    : SkinException(u"NodeNotRegistered: " + type_name)
    , type_name_(std::move(type_name))
{
}

NodeAlreadyRegistered::NodeAlreadyRegistered(core::String type_name)
    : SkinException(u"NodeAlreadyRegistered: " + type_name)
    , type_name_(std::move(type_name))
{
}

} // namespace skin
