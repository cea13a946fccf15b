#pragma once

#include "DateTime.h"

#include <core/Strings.h>

namespace os {

constexpr uint32_t ATTRIBUTE_READONLY = 0x01;
constexpr uint32_t ATTRIBUTE_HIDDEN = 0x02;
constexpr uint32_t ATTRIBUTE_DIRECTORY = 0x10;
constexpr uint32_t ATTRIBUTE_NORMAL = 0x80;
constexpr uint32_t ATTRIBUTES_NOT_FOUND = 0xFFFFFFFF;

// A snapshot of a file's facts, taken at construction.
class FileInfo {
public:
    explicit FileInfo(core::StringView path);

    core::String const& path() const { return path_; }
    uint32_t attributes() const { return attributes_; }
    int last_error() const { return last_error_; }
    uint32_t size() const { return size_; }
    DateTime const& created() const { return created_; }
    DateTime const& modified() const { return modified_; }
    bool exists() const { return attributes_ != ATTRIBUTES_NOT_FOUND; }
    bool is_directory() const { return exists() && (attributes_ & ATTRIBUTE_DIRECTORY); }

    // Moves or renames the file to `destination` (a path that must not exist yet).
    bool move_to(core::StringView destination);

private:
    core::String path_;
    uint32_t attributes_ = ATTRIBUTES_NOT_FOUND;
    int last_error_ = 0;
    uint32_t size_ = 0;
    DateTime created_;
    DateTime modified_;
};

} // namespace os
