#include "SkinListener.h"

#include "PropertiesImpl.h"

namespace skin {

SkinListener::SkinListener(PropertiesImpl& properties)
    : properties_(properties)
{
    properties_.add_listener(this);
}

SkinListener::~SkinListener()
{
    properties_.remove_listener(this);
}

} // namespace skin
