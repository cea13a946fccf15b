#pragma once

#include <core/Strings.h>

// The shell's notification that starts the program with a command line whenever a call begins to talk
// ("Ravelin.Call" with the command line "\"<program>\" call"). The registration is kept by the platform
// beyond the program's life; the notifier service starts the command line.
// Threads: main thread.
namespace phone {

inline constexpr char16_t CALL_NOTIFICATION[] = u"Ravelin.Call";
// The platform's result when the name is registered already.
inline constexpr uint32_t ALREADY_REGISTERED = 0x800704DA;

// Registers `name` to start `command_line` when "Status" under "System\State\Phone" gets the talking bit;
// true when registered now or before, false when the platform's notification service is missing.
bool set_app_notification(core::StringView name, core::StringView command_line);
// Removes the registration; true whatever the platform answers, false only when the service is missing.
bool stop_app_notification(core::StringView name);
// Starts the notifier service unless one runs already; false when it had to be started and could not.
bool ensure_notifier();

} // namespace phone
