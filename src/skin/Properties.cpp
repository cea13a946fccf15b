#include "Properties.h"

#include <core/Log.h>

namespace skin {

bool Properties::load_skin(core::StringView path, DisplayInfo const& display)
{
    core::log() << u"Properties::load_skin 1\n";
    PropertiesImpl fresh(path, display);
    core::log() << u"Properties::load_skin 2\n";
    if (!fresh.has_skin())
        return false;
    core::log() << u"Properties::load_skin 3\n";
    swap_skin(fresh);
    // `fresh` now holds the previous skin and releases it here.
    return true;
}

} // namespace skin
