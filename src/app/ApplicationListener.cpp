#include "ApplicationListener.h"

#include "Application.h"

namespace app {

ApplicationListener::~ApplicationListener() = default;

void ApplicationListener::on_other_instance_started(core::String const&)
{
    if (Application* application = Application::instance())
        application->bring_to_front();
}

} // namespace app
