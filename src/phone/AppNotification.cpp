#include "AppNotification.h"

#include <core/Log.h>

namespace phone {

bool set_app_notification(core::StringView name, core::StringView command_line)
{
    core::log() << u"set_app_notification " << name << u" " << command_line << u"\n";
    return true;
}

bool stop_app_notification(core::StringView name)
{
    core::log() << u"stop_app_notification " << name << u"\n";
    return true;
}

} // namespace phone
