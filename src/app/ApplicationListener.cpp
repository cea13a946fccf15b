#include "ApplicationListener.h"

namespace app {

ApplicationListener::~ApplicationListener() = default;

} // namespace app
