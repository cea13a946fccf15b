#pragma once

#include <core/Strings.h>

#include <vector>

// The device's buttons and their bindings. The platform keeps the button table in the registry: one
// sub-key of KEY_TABLE per button with the text values "Name", the default value (the command it starts),
// "ResetCmd" (the command to restore) and "Icon" (the name of one of the skin's pictures, optionally
// followed by a comma and an index).
//
// Threads: main thread only.
namespace keys {

inline constexpr char16_t KEY_TABLE[] = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shell\\Keys";

struct HardwareKey {
    core::String key; // KEY_TABLE + "\" + the button's sub-key
    core::String name;
    core::String command;
    core::String reset_command;
    core::String icon; // the "Icon" value as stored; empty for none
    bool assigned = false;
};

// Every button of the table, sorted by name ignoring case.
std::vector<HardwareKey> list_hardware_keys();
// How many buttons the table holds.
int count_assignable_keys();
// Binds the button to `command`, keeping what it started before for unassign. False, with nothing
// changed, when the command is longer than a registry text may be or the table cannot be written.
bool assign(HardwareKey& key, core::StringView command);
// Gives the button back the command it had before it was assigned.
bool unassign(HardwareKey& key);

// Whether `command` starts the program: without one leading quote it begins with the program's folder.
bool is_program_command(core::StringView command);
// The command that quick recording binds: the program's full path in double quotes, then " record".
core::String quick_record_command();
// The picture names to try for an "Icon" value, best first: the text before its last comma (unless
// the index after it is 5), then the whole value. Empty for no icon.
std::vector<core::String> icon_candidates(core::StringView icon);

} // namespace keys
