#pragma once

#include <core/Strings.h>

// The shell's notification that starts the program with a command line when a call begins ("Ravelin.Call"
// with the command line "\"<program>\" call").
//
// No notifier exists on Linux yet: registering and removing answer true after logging, so that the
// "AutoRecord" setting follows the user's choice. The notifier will take the registration over.
// Threads: main thread.
namespace phone {

inline constexpr char16_t CALL_NOTIFICATION[] = u"Ravelin.Call";

bool set_app_notification(core::StringView name, core::StringView command_line);
bool stop_app_notification(core::StringView name);

} // namespace phone
