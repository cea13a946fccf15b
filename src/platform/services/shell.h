#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The shell's services: the program's own path, special folders, storage cards and starting other
// programs. Paths are UTF-16 with "/" between components.
namespace platform {

// The running executable's full path ($RAVELIN_APP_PATH/<executable name> when that variable is set,
// so that tests can point the program at another folder of its data).
std::u16string executable_path();

// The program itself ("ravelin"), which call notifications and device buttons start, whichever of our
// executables asks: the running one when it is the program, else the one beside it (the companion tools
// and the tests live beside it), else the first on $PATH; the place beside the running one when there
// is none.
std::u16string main_program_path();

// The folder of the program's data (skins, language files, keypad map, sounds, help): $RAVELIN_APP_PATH
// when set, else data_folder_of(the running executable).
std::u16string data_folder();

// The data folder of an executable (UTF-8 path): its own folder when that holds the data (the build
// tree, a program unpacked into one folder), else <its folder>/../share/ravelin when that does (an
// installation under any prefix, moved or not), else its own folder.
std::string data_folder_of(std::string const& executable);

// A companion program of `executable` (such as the notifier): beside it (the build tree), else in
// <its folder>/../libexec/ravelin (an installation), else the first one on $PATH; empty when none is
// executable.
std::string companion_program(std::string const& executable, std::string const& name);

// Special folders by the handheld's folder ids (CSIDL values).
constexpr int FOLDER_PROGRAMS = 2;
constexpr int FOLDER_PERSONAL = 5;
constexpr int FOLDER_STARTUP = 7;
constexpr int FOLDER_START_MENU = 11;
constexpr int FOLDER_WINDOWS = 36;
constexpr int FOLDER_PROGRAM_FILES = 38;
// The folder, or empty when there is none for the id.
std::u16string special_folder(int folder_id);

// The user's music folder: $XDG_MUSIC_DIR, then its user-dirs.dirs entry, else ~/Music (which may not
// exist yet).
std::u16string music_folder();

// Where the program keeps its own state (the log): $XDG_STATE_HOME/ravelin, default ~/.local/state/ravelin.
std::u16string state_folder();

// Candidate storage cards: the folders of $RAVELIN_CARDS (colon-separated; empty means none) when it is
// set, else the volumes mounted under /media/$USER and /run/media/$USER.
std::vector<std::u16string> storage_cards();

// Starts a program with its parameters (split into words, no shell), or opens a document with xdg-open;
// does not wait for it. A file without a "/" is a program on the search path. False when it cannot be
// started.
bool execute(std::u16string const& file, std::u16string const& parameters);

// What became of a program started with launch().
enum class LaunchOutcome {
    PENDING, // still watched
    STARTED, // running after the watch, or ended without an error
    NOT_STARTED, // not installed or not runnable
    FAILED, // ended with an error (or a signal) during the watch: xdg-open found nothing to open with
};
// Starts a program, or opens a document, as execute() does, and watches it for `watch_ms` milliseconds
// without keeping the caller waiting: launch_outcome() tells the result once it is known. Answers the
// launch's number, or -1 when nothing could be started.
int64_t launch(std::u16string const& file, std::u16string const& parameters, uint32_t watch_ms);
// Never blocks; once it has answered anything but PENDING, the launch is gone.
LaunchOutcome launch_outcome(int64_t launch);

} // namespace platform
