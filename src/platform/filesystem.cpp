#include "filesystem.h"

#include "text.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

thread_local int error_code = 0;

int fail()
{
    error_code = errno;
    return -1;
}

std::string native(std::u16string const& path)
{
    return to_utf8(path);
}

int64_t to_ms(struct statx_timestamp const& t)
{
    return static_cast<int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

} // namespace

FileHandle open_file(std::u16string const& path, OpenMode mode)
{
    int flags = O_CLOEXEC;
    switch (mode) {
    case OpenMode::READ_EXISTING:
        flags |= O_RDONLY;
        break;
    case OpenMode::WRITE_TRUNCATE:
        flags |= O_WRONLY | O_CREAT | O_TRUNC;
        break;
    case OpenMode::WRITE_OPEN_OR_CREATE:
        flags |= O_WRONLY | O_CREAT;
        break;
    case OpenMode::READ_WRITE:
        flags |= O_RDWR | O_CREAT;
        break;
    case OpenMode::APPEND:
        flags |= O_WRONLY | O_CREAT | O_APPEND;
        break;
    }
    // Opening a pipe without a writer, or a terminal, would wait; nothing here is meant to wait, and only
    // plain files are files: the open does not block, and anything else is closed again at once.
    int fd = ::open(native(path).c_str(), flags | O_NONBLOCK, 0644);
    if (fd < 0)
        return fail();
    struct stat st { };
    if (fstat(fd, &st) != 0) {
        fail();
        ::close(fd);
        return INVALID_FILE;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        error_code = S_ISDIR(st.st_mode) ? EISDIR : ENXIO;
        return INVALID_FILE;
    }
    if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        fail();
        ::close(fd);
        return INVALID_FILE;
    }
    return fd;
}

void close_file(FileHandle file)
{
    if (file != INVALID_FILE)
        ::close(file);
}

int64_t read_file(FileHandle file, void* buffer, uint32_t count)
{
    auto* out = static_cast<uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < count) {
        ssize_t n = ::read(file, out + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return done > 0 ? done : fail();
        }
        if (n == 0)
            break;
        done += static_cast<uint32_t>(n);
    }
    return done;
}

int64_t write_file(FileHandle file, void const* buffer, uint32_t count)
{
    auto const* in = static_cast<uint8_t const*>(buffer);
    uint32_t done = 0;
    while (done < count) {
        ssize_t n = ::write(file, in + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail();
            return done;
        }
        if (n == 0) {
            error_code = ENOSPC;
            return done;
        }
        done += static_cast<uint32_t>(n);
    }
    return done;
}

int64_t seek_file(FileHandle file, int64_t offset, SeekFrom from)
{
    int whence = from == SeekFrom::START ? SEEK_SET : from == SeekFrom::CURRENT ? SEEK_CUR : SEEK_END;
    off_t pos = ::lseek(file, offset, whence);
    return pos < 0 ? fail() : pos;
}

int64_t file_size(FileHandle file)
{
    struct stat st { };
    if (fstat(file, &st) != 0)
        return fail();
    return st.st_size;
}

bool truncate_file(FileHandle file, uint64_t length)
{
    if (ftruncate(file, static_cast<off_t>(length)) != 0)
        return fail(), false;
    return true;
}

bool sync_file(FileHandle file)
{
    if (fdatasync(file) != 0)
        return fail(), false;
    return true;
}

bool claim_file(std::u16string const& path)
{
    // The descriptors stay open, and the locks with them, until the process ends; a claim this process
    // already holds empties the file again.
    static std::mutex lock;
    static std::map<std::string, int> held;
    std::string const name = native(path);
    std::lock_guard<std::mutex> guard(lock);
    if (auto const found = held.find(name); found != held.end())
        return ftruncate(found->second, 0) == 0 || (fail(), false);
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return fail(), false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ftruncate(fd, 0) != 0) {
        fail();
        ::close(fd);
        return false;
    }
    held.emplace(name, fd);
    return true;
}

int last_error()
{
    return error_code;
}

void clear_last_error()
{
    error_code = 0;
}

FileFacts file_facts(std::u16string const& path)
{
    FileFacts facts;
    struct statx sx { };
    auto const name = native(path);
    if (statx(AT_FDCWD, name.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) {
        fail();
        return facts;
    }
    facts.exists = true;
    facts.directory = S_ISDIR(sx.stx_mode);
    facts.read_only = access(name.c_str(), W_OK) != 0;
    auto const slash = path.find_last_of(u'/');
    facts.hidden = path.size() > slash + 1 && path[slash + 1] == u'.';
    facts.size = sx.stx_size;
    facts.modified_ms = to_ms(sx.stx_mtime);
    facts.created_ms = (sx.stx_mask & STATX_BTIME) ? to_ms(sx.stx_btime) : facts.modified_ms;
    return facts;
}

bool delete_file(std::u16string const& path)
{
    if (::unlink(native(path).c_str()) != 0)
        return fail(), false;
    return true;
}

bool move_file(std::u16string const& from, std::u16string const& to)
{
    auto const target = native(to);
    struct stat st { };
    if (::lstat(target.c_str(), &st) == 0) {
        // The handheld refuses to move onto an existing name.
        error_code = EEXIST;
        return false;
    }
    if (::rename(native(from).c_str(), target.c_str()) == 0)
        return true;
    if (errno != EXDEV)
        return fail(), false;
    // Across volumes: copy, then remove the original.
    int in = ::open(native(from).c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return fail(), false;
    int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0) {
        fail();
        ::close(in);
        return false;
    }
    char buffer[65536];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0 || write_file(out, buffer, static_cast<uint32_t>(n)) != n) {
            if (n < 0)
                fail();
            ok = false;
            break;
        }
    }
    ok = ok && fsync(out) == 0;
    ::close(in);
    ok = ::close(out) == 0 && ok;
    if (!ok) {
        ::unlink(target.c_str());
        return false;
    }
    ::unlink(native(from).c_str());
    return true;
}

bool copy_file(std::u16string const& from, std::u16string const& to, CopyTarget target)
{
    // Without waiting for the other end of a pipe: only a regular file is copied.
    int in = ::open(native(from).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in < 0)
        return fail(), false;
    struct stat st { };
    if (::fstat(in, &st) != 0)
        fail();
    else if (!S_ISREG(st.st_mode))
        error_code = S_ISDIR(st.st_mode) ? EISDIR : ENXIO;
    if (!S_ISREG(st.st_mode)) {
        ::close(in);
        return false;
    }
    // A replacement is written beside its target under a name of its own and renamed over it at the end.
    std::string const destination = native(to);
    std::string written = destination;
    int out = -1;
    if (target == CopyTarget::NEW) {
        out = ::open(written.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    } else {
        size_t const slash = destination.rfind('/');
        written = destination.substr(0, slash + 1) + "." + destination.substr(slash + 1) + ".XXXXXX";
        out = ::mkostemp(written.data(), O_CLOEXEC);
        if (out >= 0)
            ::fchmod(out, 0644);
    }
    if (out < 0) {
        fail();
        ::close(in);
        return false;
    }
    static constexpr size_t BLOCK = 65536;
    std::vector<char> buffer(BLOCK);
    bool ok = true;
    for (;;) {
        ssize_t const n = ::read(in, buffer.data(), BLOCK);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            break;
        if (n < 0) {
            fail();
            ok = false;
            break;
        }
        if (write_file(out, buffer.data(), static_cast<uint32_t>(n)) != n) {
            ok = false;
            break;
        }
    }
    // Each step runs only while all before it succeeded, so that the error kept is the first one.
    ok = ok && (fsync(out) == 0 || fail() == 0);
    ::close(in);
    ok = ::close(out) == 0 ? ok : ok && fail() == 0;
    if (ok && target == CopyTarget::REPLACE)
        ok = ::rename(written.c_str(), destination.c_str()) == 0 || fail() == 0;
    if (!ok) {
        int const error = error_code;
        ::unlink(written.c_str());
        error_code = error;
    }
    return ok;
}

bool make_directory(std::u16string const& path)
{
    if (::mkdir(native(path).c_str(), 0755) != 0)
        return fail(), false;
    return true;
}

std::optional<FolderIdentity> folder_identity(std::u16string const& path)
{
    struct stat st { };
    if (::stat(native(path.empty() ? u"." : path).c_str(), &st) != 0)
        return fail(), std::nullopt;
    if (!S_ISDIR(st.st_mode)) {
        error_code = ENOTDIR;
        return std::nullopt;
    }
    return FolderIdentity { static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino) };
}

std::optional<std::vector<DirectoryEntry>> list_directory(std::u16string const& path)
{
    auto const name = native(path.empty() ? u"." : path);
    DIR* dir = ::opendir(name.c_str());
    if (!dir) {
        fail();
        return std::nullopt;
    }
    std::vector<DirectoryEntry> entries;
    while (auto* e = ::readdir(dir)) {
        DirectoryEntry entry;
        entry.name = from_utf8(e->d_name);
        if (e->d_type == DT_REG) {
            entry.regular = true;
        } else if (e->d_type == DT_DIR || e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            // A link counts as what it leads to; a folder's identity is that of what is mounted there.
            struct stat st { };
            std::string full = name + "/" + e->d_name;
            if (::stat(full.c_str(), &st) == 0) {
                entry.directory = S_ISDIR(st.st_mode);
                entry.regular = S_ISREG(st.st_mode);
                if (entry.directory)
                    entry.folder = { static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino) };
            } else {
                entry.directory = e->d_type == DT_DIR;
            }
        }
        entries.push_back(std::move(entry));
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(),
        [](DirectoryEntry const& a, DirectoryEntry const& b) { return a.name < b.name; });
    return entries;
}

std::optional<VolumeSpace> volume_space(std::u16string const& path)
{
    std::string name = native(path);
    for (;;) {
        struct statvfs vfs { };
        if (!name.empty() && ::statvfs(name.c_str(), &vfs) == 0) {
            return VolumeSpace { static_cast<double>(vfs.f_bavail) * static_cast<double>(vfs.f_frsize),
                static_cast<double>(vfs.f_blocks) * static_cast<double>(vfs.f_frsize) };
        }
        if (!name.empty() && errno != ENOENT && errno != ENOTDIR)
            return fail(), std::nullopt;
        // Ask the nearest parent that exists.
        while (name.size() > 1 && name.back() == '/')
            name.pop_back();
        auto const slash = name.find_last_of('/');
        if (slash == std::string::npos) {
            if (name == ".")
                return std::nullopt;
            name = ".";
        } else if (slash == 0) {
            if (name == "/")
                return std::nullopt;
            name = "/";
        } else {
            name.resize(slash);
        }
    }
}

bool is_mount_point(std::u16string const& path)
{
    auto const name = native(path);
    struct stat self {
    }, parent {};
    if (::stat(name.c_str(), &self) != 0 || !S_ISDIR(self.st_mode))
        return false;
    if (::stat((name + "/..").c_str(), &parent) != 0)
        return false;
    return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
}

} // namespace platform
