#include "NodeRegistry.h"

#include "NodeExceptions.h"

namespace skin {

void NodeRegistry::register_type(core::StringView type_name, ElementFactory factory)
{
    if (contains(type_name))
        throw NodeAlreadyRegistered(core::String(type_name));
    factories_.emplace(core::String(type_name), std::move(factory));
}

Element* NodeRegistry::create_element(core::StringView type_name, Element* parent) const
{
    auto const found = factories_.find(type_name);
    if (found == factories_.end() || !found->second)
        throw NodeNotRegistered(core::String(type_name));
    return found->second(parent);
}

} // namespace skin
