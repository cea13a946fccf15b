#include "FileInfo.h"

#include "Paths.h"

#include <platform/filesystem.h>

namespace os {

FileInfo::FileInfo(core::StringView path)
    : path_(path)
{
    platform::clear_last_error();
    auto const facts = platform::file_facts(strip_trailing_separator(expand_path(path)));
    last_error_ = platform::last_error();
    if (!facts.exists)
        return;
    attributes_ = facts.directory ? ATTRIBUTE_DIRECTORY : ATTRIBUTE_NORMAL;
    if (facts.read_only)
        attributes_ |= ATTRIBUTE_READONLY;
    if (facts.hidden)
        attributes_ |= ATTRIBUTE_HIDDEN;
    size_ = static_cast<uint32_t>(facts.size);
    created_ = DateTime::from_unix_ms(facts.created_ms);
    modified_ = DateTime::from_unix_ms(facts.modified_ms);
}

bool FileInfo::move_to(core::StringView destination)
{
    platform::clear_last_error();
    bool const ok = platform::move_file(expand_path(path_), expand_path(destination));
    last_error_ = platform::last_error();
    return ok;
}

} // namespace os
