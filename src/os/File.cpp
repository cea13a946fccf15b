#include "File.h"

#include "Paths.h"

namespace os {

InStream::~InStream() = default;
OutStream::~OutStream() = default;

namespace {

platform::OpenMode open_mode(FileMode mode)
{
    switch (mode) {
    case FileMode::Read:
        return platform::OpenMode::READ_EXISTING;
    case FileMode::Write:
        return platform::OpenMode::WRITE_TRUNCATE;
    case FileMode::Append:
        return platform::OpenMode::APPEND;
    default:
        return platform::OpenMode::READ_WRITE;
    }
}

} // namespace

File::File(core::StringView path, FileMode mode)
    : handle_(platform::open_file(expand_path(path), open_mode(mode)))
{
    if (mode == FileMode::Append && handle_ != platform::INVALID_FILE) {
        platform::clear_last_error();
        if (platform::seek_file(handle_, 0, platform::SeekFrom::END) < 0 || platform::last_error() != 0) {
            platform::close_file(handle_);
            handle_ = platform::INVALID_FILE;
        }
    }
}

File::~File()
{
    platform::close_file(handle_);
}

bool File::is_open() const
{
    return handle_ != platform::INVALID_FILE;
}

uint32_t File::read(void* buffer, uint32_t count)
{
    if (!is_open() || count == 0)
        return 0;
    int64_t const n = platform::read_file(handle_, buffer, count);
    return n < 0 ? 0 : static_cast<uint32_t>(n);
}

uint32_t File::write(void const* buffer, uint32_t count)
{
    if (!is_open() || count == 0)
        return 0;
    int64_t const n = platform::write_file(handle_, buffer, count);
    return n < 0 ? 0 : static_cast<uint32_t>(n);
}

uint32_t File::skip(uint32_t count)
{
    if (!is_open() || count == 0)
        return 0;
    int64_t const before = platform::seek_file(handle_, 0, platform::SeekFrom::CURRENT);
    if (before < 0)
        return 0;
    int64_t const after = platform::seek_file(handle_, count, platform::SeekFrom::CURRENT);
    return after < 0 ? 0 : static_cast<uint32_t>(after - before);
}

uint32_t File::size() const
{
    if (!is_open())
        return 0;
    int64_t const n = platform::file_size(handle_);
    return n < 0 ? 0 : static_cast<uint32_t>(n);
}

bool File::seek(uint32_t position)
{
    return is_open() && platform::seek_file(handle_, position, platform::SeekFrom::START) >= 0;
}

uint32_t File::tell() const
{
    if (!is_open())
        return 0;
    int64_t const n = platform::seek_file(handle_, 0, platform::SeekFrom::CURRENT);
    return n < 0 ? 0 : static_cast<uint32_t>(n);
}

bool File::set_size(uint32_t length)
{
    return is_open() && platform::seek_file(handle_, length, platform::SeekFrom::START) >= 0
        && platform::truncate_file(handle_, length);
}

bool File::flush()
{
    return is_open() && platform::sync_file(handle_);
}

} // namespace os
