#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Files, folders and volumes. Paths are UTF-16 with "/" between components.
// Threads: any thread; the last error is kept per thread.
namespace platform {

using FileHandle = int;
constexpr FileHandle INVALID_FILE = -1;

enum class OpenMode {
    READ_EXISTING, // read, open existing only
    WRITE_TRUNCATE, // write, always create
    WRITE_OPEN_OR_CREATE, // write, open or create
    READ_WRITE, // read and write, open or create
    APPEND, // write, open or create; every write goes to the end, also when other processes append
};

// Only regular files open (a link counts as what it leads to): a folder, a pipe, a socket or a device is
// refused at once (EISDIR, ENXIO), and the open never waits for a pipe's other end.
FileHandle open_file(std::u16string const& path, OpenMode mode);
void close_file(FileHandle file);
// Bytes transferred, or -1 on failure.
int64_t read_file(FileHandle file, void* buffer, uint32_t count);
int64_t write_file(FileHandle file, void const* buffer, uint32_t count);

enum class SeekFrom { START, CURRENT, END };
// The new position, or -1 on failure.
int64_t seek_file(FileHandle file, int64_t offset, SeekFrom from);
int64_t file_size(FileHandle file);
bool truncate_file(FileHandle file, uint64_t length);
bool sync_file(FileHandle file);
// Empties the file (made when missing) and holds an exclusive lock on it for the rest of the process's
// life (claiming it again empties it again); false, leaving the file as it is, while another process
// holds it. For a file that one process
// owns and others only append to, such as a log.
bool claim_file(std::u16string const& path);

// The error code (errno value) left by the calling thread's last failed call here; 0 after clear.
int last_error();
void clear_last_error();

struct FileFacts {
    bool exists = false;
    bool directory = false;
    bool read_only = false;
    bool hidden = false;
    uint64_t size = 0;
    int64_t created_ms = 0; // milliseconds since 1970 (UTC); the birth time when the file system keeps one
    int64_t modified_ms = 0;
};
FileFacts file_facts(std::u16string const& path);

bool delete_file(std::u16string const& path);
bool move_file(std::u16string const& from, std::u16string const& to);

enum class CopyTarget {
    // Takes the place of a file of that name, if there is one, only once the copy is complete: a copy
    // that fails leaves the old file as it was.
    REPLACE,
    // Only a name that nothing has: an existing file is left alone and the copy fails (EEXIST).
    NEW,
};
// Copies the file's bytes to `to` and syncs them; on any failure nothing of the copy is left behind.
bool copy_file(std::u16string const& from, std::u16string const& to, CopyTarget target);
bool make_directory(std::u16string const& path);

// A folder as the file system knows it, whatever path (link, bind mount) led to it.
struct FolderIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    friend auto operator<=>(FolderIdentity const&, FolderIdentity const&) = default;
};
// Nothing when the path is not a folder.
std::optional<FolderIdentity> folder_identity(std::u16string const& path);

struct DirectoryEntry {
    std::u16string name;
    // Links count as what they lead to; an entry that is neither (a pipe, a socket, a device, a broken
    // link) is listed with both false.
    bool directory = false;
    bool regular = false;
    FolderIdentity folder; // of a directory; zero when it cannot be looked at
};
// Entries sorted by name, "." and ".." included as the handheld's search gives them; nothing when the
// folder cannot be listed.
std::optional<std::vector<DirectoryEntry>> list_directory(std::u16string const& path);

struct VolumeSpace {
    double available = 0; // bytes free to the caller
    double total = 0;
};
// The volume that holds `path`, or its nearest existing parent.
std::optional<VolumeSpace> volume_space(std::u16string const& path);
// True when `path` is a folder on another volume than its parent folder.
bool is_mount_point(std::u16string const& path);

} // namespace platform
