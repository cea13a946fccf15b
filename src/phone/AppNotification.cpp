#include "AppNotification.h"

#include "PhoneState.h"

#include <core/Log.h>
#include <platform/phone/phone_state.h>
#include <platform/services/notifications.h>

namespace phone {

bool set_app_notification(core::StringView name, core::StringView command_line)
{
    core::log() << u"set_app_notification " << name << u" " << command_line << u"\n";
    auto notifications = platform::open_app_notifications();
    if (!notifications)
        return false;
    core::log() << u"set_app_notification fun good\n";
    platform::AppNotification notification;
    notification.name = core::String(name);
    notification.command_line = core::String(command_line);
    notification.condition = { platform::RegistryRoot::LOCAL_MACHINE, platform::PHONE_STATE_KEY, platform::STATUS,
        STATUS_TALKING, STATUS_TALKING };
    uint32_t const result = notifications->add(notification);
    core::log() << u"set_app_notification result=" << static_cast<int64_t>(result) << u"\n";
    return result == platform::NOTIFY_OK || result == ALREADY_REGISTERED;
}

bool stop_app_notification(core::StringView name)
{
    core::log() << u"stop_app_notification " << name << u"\n";
    auto notifications = platform::open_app_notifications();
    if (!notifications)
        return false;
    core::log() << u"stop_app_notification fun good\n";
    uint32_t const result = notifications->remove(core::String(name));
    core::log() << u"stop_app_notification result=" << static_cast<int64_t>(result) << u"\n";
    return true;
}

bool ensure_notifier()
{
    if (platform::notifier_running())
        return true;
    bool const started = platform::start_notifier();
    core::log() << u"ensure_notifier started=" << (started ? u"true" : u"false") << u"\n";
    return started;
}

} // namespace phone
