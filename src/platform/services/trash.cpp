#include "trash.h"

#include "shell.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <platform/filesystem.h>
#include <platform/text.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// A trash directory and the top of the volume it serves (empty for the home trash, whose Path= lines
// are absolute).
struct TrashPlace {
    std::string dir;
    std::string topdir;
};

std::optional<struct stat> lstat_of(std::string const& path)
{
    struct stat facts { };
    if (::lstat(path.c_str(), &facts) != 0)
        return std::nullopt;
    return facts;
}

// A folder of our own, made with mode 0700 when missing; a link or a file in its place is refused.
bool own_dir(std::string const& path)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    auto const facts = lstat_of(path);
    return facts && S_ISDIR(facts->st_mode) && facts->st_uid == ::getuid() && ::access(path.c_str(), W_OK | X_OK) == 0;
}

// The trash directory with its files/ and info/ made.
std::optional<TrashPlace> with_subdirs(std::string dir, std::string topdir)
{
    if (!own_dir(dir) || !own_dir(dir + "/files") || !own_dir(dir + "/info"))
        return std::nullopt;
    return TrashPlace { std::move(dir), std::move(topdir) };
}

std::string strip_slash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string home_trash()
{
    char const* data = std::getenv("XDG_DATA_HOME");
    if (data && *data == '/')
        return strip_slash(data) + "/Trash";
    char const* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.local/share/Trash";
}

// The device of the nearest folder of `path` that exists.
std::optional<dev_t> device_of_nearest(std::filesystem::path path)
{
    for (;;) {
        struct stat facts { };
        if (::stat(path.c_str(), &facts) == 0)
            return facts.st_dev;
        if (!path.has_relative_path())
            return std::nullopt;
        path = path.parent_path();
    }
}

// The top of the volume that holds `path`: the last folder upwards on the same device.
std::string mount_top(std::string const& path, dev_t device)
{
    std::filesystem::path top = std::filesystem::path(path).parent_path();
    while (top.has_relative_path()) {
        struct stat facts { };
        if (::stat(top.parent_path().c_str(), &facts) != 0 || facts.st_dev != device)
            break;
        top = top.parent_path();
    }
    return top.string();
}

std::optional<TrashPlace> volume_trash(std::string const& topdir)
{
    std::string const uid = std::to_string(::getuid());
    // The administrator's shared trash counts only when it cannot be a trap: a real folder, sticky.
    std::string const shared = topdir + "/.Trash";
    if (auto const facts = lstat_of(shared); facts && S_ISDIR(facts->st_mode) && (facts->st_mode & S_ISVTX) != 0)
        if (auto place = with_subdirs(shared + "/" + uid, topdir))
            return place;
    return with_subdirs(topdir + "/.Trash-" + uid, topdir);
}

std::optional<TrashPlace> place_for(std::string const& path)
{
    auto const facts = lstat_of(path);
    if (!facts)
        return std::nullopt;
    // A storage card is a volume of its own, whatever device its folder lies on.
    for (std::u16string const& card : storage_cards()) {
        std::string const top = strip_slash(to_utf8(card));
        if (!top.empty() && path.size() > top.size() && path.compare(0, top.size(), top) == 0
            && path[top.size()] == '/')
            return volume_trash(top);
    }
    std::string const home = home_trash();
    if (device_of_nearest(home) == facts->st_dev) {
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(home).parent_path(), ignored);
        return with_subdirs(home, "");
    }
    return volume_trash(mount_top(path, facts->st_dev));
}

std::string deletion_date(int64_t deleted_ms)
{
    std::time_t const seconds = static_cast<std::time_t>(deleted_ms / 1000);
    std::tm local {};
    ::localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

// NAME, then NAME with ".2", ".3", ... before its extension.
std::string candidate(std::string const& name, int number)
{
    if (number == 1)
        return name;
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0)
        dot = name.size();
    return name.substr(0, dot) + "." + std::to_string(number) + name.substr(dot);
}

// A rename that never replaces what lies at `to`.
int rename_no_replace(std::string const& from, std::string const& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without the flag: look, then rename.
    if (lstat_of(to))
        return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

constexpr int MAX_CANDIDATES = 10000;

} // namespace

std::string percent_encode(std::u16string const& path)
{
    static char const HEX[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : to_utf8(path)) {
        bool const plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'
            || c == '_' || c == '.' || c == '~' || c == '/';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += HEX[c >> 4];
            out += HEX[c & 15];
        }
    }
    return out;
}

std::optional<std::u16string> trash_for(std::u16string const& path)
{
    auto const place = place_for(to_utf8(path));
    if (!place)
        return std::nullopt;
    return from_utf8(place->dir);
}

std::optional<TrashedFile> move_to_trash(std::u16string const& path, int64_t deleted_ms)
{
    std::string const from = to_utf8(path);
    auto const place = place_for(from);
    if (!place)
        return std::nullopt;
    std::string const name = std::filesystem::path(from).filename().string();
    std::string const recorded = place->topdir.empty() ? from : from.substr(place->topdir.size() + 1);
    std::string const info_text = "[Trash Info]\nPath=" + percent_encode(from_utf8(recorded))
        + "\nDeletionDate=" + deletion_date(deleted_ms) + "\n";
    for (int number = 1; number <= MAX_CANDIDATES; ++number) {
        std::string const entry = candidate(name, number);
        std::string const info = place->dir + "/info/" + entry + ".trashinfo";
        std::string const file = place->dir + "/files/" + entry;
        // The .trashinfo first, made exclusively: it claims the name against other programs trashing now.
        int const fd = ::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return std::nullopt;
        }
        bool const written = write_file(fd, info_text.data(), static_cast<uint32_t>(info_text.size()))
            == static_cast<int64_t>(info_text.size());
        bool const closed = ::close(fd) == 0;
        if (!written || !closed) {
            ::unlink(info.c_str());
            return std::nullopt;
        }
        int const error = rename_no_replace(from, file);
        if (error == 0)
            return TrashedFile { path, from_utf8(file), from_utf8(info) };
        ::unlink(info.c_str());
        if (error != EEXIST)
            return std::nullopt; // another volume (never copied), no permission, ...
    }
    return std::nullopt;
}

std::optional<TrashedFile> move_to_trash(std::u16string const& path)
{
    auto const now = std::chrono::system_clock::now().time_since_epoch();
    return move_to_trash(path, std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

RestoreOutcome restore_from_trash(TrashedFile const& trashed)
{
    std::string const to = to_utf8(trashed.original);
    std::string const from = to_utf8(trashed.file);
    if (!lstat_of(from))
        return RestoreOutcome::FAILED;
    if (lstat_of(to))
        return RestoreOutcome::PATH_TAKEN;
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(to).parent_path(), ignored);
    int const error = rename_no_replace(from, to);
    if (error == EEXIST)
        return RestoreOutcome::PATH_TAKEN;
    if (error != 0)
        return RestoreOutcome::FAILED;
    ::unlink(to_utf8(trashed.info).c_str());
    return RestoreOutcome::RESTORED;
}

} // namespace platform
