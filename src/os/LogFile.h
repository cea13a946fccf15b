#pragma once

namespace os {

// Connects the process's log to the registry value "Log" under the maker's key and to its file,
// state folder + "/" + "%app_name%.txt" (for example ~/.local/state/ravelin/ravelin.txt).
// Called once at the start of every program.
void install_log();

} // namespace os
