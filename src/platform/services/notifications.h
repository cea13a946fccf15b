#pragma once

#include "registry_store.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Application notifications: named registrations that start a command line when a registry value meets
// a condition. They are kept in the registry store (under the current user's "System\Notifications\"
// followed by the name), so that they outlive the program that registered them; the notifier service
// (ravelin-notifier) watches them and starts the command lines.
//
// Threads: main thread; the registry-backed registrations may be used from any thread.
namespace platform {

// Result codes of registering and removing, as the handheld's shell gives them.
inline constexpr uint32_t NOTIFY_OK = 0;
inline constexpr uint32_t NOTIFY_ALREADY_REGISTERED = 0x800704DA;
inline constexpr uint32_t NOTIFY_NOT_FOUND = 0x80070490;
inline constexpr uint32_t NOTIFY_FAILED = 0x80004005;

inline constexpr char16_t NOTIFICATIONS_KEY[] = u"System\\Notifications";

// The condition "the 32-bit value, masked, equals the target"; a value that cannot be read fails it.
struct NotificationCondition {
    RegistryRoot root = RegistryRoot::LOCAL_MACHINE;
    std::u16string key, value;
    uint32_t mask = 0xFFFFFFFF;
    uint32_t target = 0;
};

struct AppNotification {
    std::u16string name;
    std::u16string command_line; // a quoted program path and its arguments, run without a shell
    NotificationCondition condition;
};

class AppNotifications {
public:
    virtual ~AppNotifications() = default;
    // NOTIFY_OK, or NOTIFY_ALREADY_REGISTERED when the name is taken (its command line and condition are
    // then renewed), or NOTIFY_FAILED.
    virtual uint32_t add(AppNotification const& notification) = 0;
    // NOTIFY_OK, NOTIFY_NOT_FOUND or NOTIFY_FAILED.
    virtual uint32_t remove(std::u16string const& name) = 0;
    // Every complete registration; a half-written or foreign entry is left out.
    virtual std::vector<AppNotification> registered() = 0;
};

// The registrations in the registry store; none when the store cannot be opened.
std::unique_ptr<AppNotifications> open_app_notifications(RegistryStore& store = RegistryStore::instance());

// A notifier service holds the lock beside the registry store.
bool notifier_running(RegistryStore& store = RegistryStore::instance());
// Starts "ravelin-notifier --detach" from the running executable's folder (else from the PATH), without
// waiting for it; false when it cannot be started.
bool start_notifier();

} // namespace platform
