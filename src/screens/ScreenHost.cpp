#include "ScreenHost.h"

namespace screens {

ScreenHost::~ScreenHost() = default;

} // namespace screens
