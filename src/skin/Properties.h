#pragma once

#include "PropertiesImpl.h"

namespace skin {

// The application's skin. Loading is all-or-nothing: a new skin is built aside and swapped in only when
// every step succeeded, so a broken or missing file leaves the skin in use as it was.
class Properties : public PropertiesImpl {
public:
    // True when the skin at `path` is now in use; false when it was refused (the previous skin stays).
    // The listeners are not told: the caller sends the reload when built forms must follow.
    bool load_skin(core::StringView path, DisplayInfo const& display);
};

} // namespace skin
