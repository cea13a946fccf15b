#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The desktop's trash, in the FreeDesktop trash layout, so that any file manager can
// list and restore what the program puts there. A file on the home volume goes to the home trash
// ($XDG_DATA_HOME/Trash); a file on another volume, or on a storage card, to that volume's own trash:
// $topdir/.Trash/$uid when the administrator made a valid .Trash (a folder with the sticky bit, not a
// link), else $topdir/.Trash-$uid. A file is only ever renamed into the trash, never copied.
// Threads: any thread.
namespace platform {

// A file in a trash: where it came from, and its two entries there.
struct TrashedFile {
    std::u16string original; // the absolute path it had
    std::u16string file; // .../files/NAME
    std::u16string info; // .../info/NAME.trashinfo
};

// The trash directory (holding files/ and info/) for a file at `path`, made when missing; nothing when no
// trash can be made there (a read-only volume, no permission, a trash folder that is not one).
std::optional<std::u16string> trash_for(std::u16string const& path);

// Moves the file into its trash, deleted at `deleted_ms` (milliseconds since 1970, UTC; written as local
// time); nothing, with the file left where it was, when that cannot be done.
std::optional<TrashedFile> move_to_trash(std::u16string const& path, int64_t deleted_ms);
std::optional<TrashedFile> move_to_trash(std::u16string const& path);

enum class RestoreOutcome {
    RESTORED,
    PATH_TAKEN, // something else lies at the original path now: the file stays in the trash
    FAILED, // the file is no longer in the trash, or cannot be moved back
};
// Moves the file back to its original path (its folder made again when it has gone) and removes its
// .trashinfo.
RestoreOutcome restore_from_trash(TrashedFile const& trashed);

// The path as a .trashinfo writes it: UTF-8 with every byte other than letters, digits, "-", "_", ".",
// "~" and "/" written as %XX.
std::string percent_encode(std::u16string const& path);

} // namespace platform
