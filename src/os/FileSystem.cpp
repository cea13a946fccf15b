#include "FileSystem.h"

#include "Paths.h"

#include <core/Log.h>
#include <platform/filesystem.h>
#include <platform/services/shell.h>
#include <platform/text.h>
#include <set>

namespace os {

DirectoryVisitor::~DirectoryVisitor() = default;

bool delete_file(core::StringView path)
{
    return platform::delete_file(expand_path(path));
}

void create_directory(core::StringView path)
{
    String const expanded = expand_path(path);
    if (expanded.empty())
        return;
    create_directory(parent_directory(expanded));
    String target = strip_trailing_separator(expanded);
    if (target.empty())
        target = expanded;
    bool const created = platform::make_directory(target);
    core::log() << u"CreateDirectoryW {" << target << u"} result=" << (created ? u"true" : u"false") << u"\n";
}

double free_space(core::StringView path)
{
    auto const space = platform::volume_space(expand_path(path));
    return space ? space->available : 0;
}

double total_space(core::StringView path)
{
    auto const space = platform::volume_space(expand_path(path));
    return space ? space->total : 0;
}

bool matches_mask(core::StringView name, core::StringView mask)
{
    if (mask == u"*" || mask == u"*.*")
        return true;
    // Iterative glob with backtracking to the last "*".
    size_t n = 0, m = 0, star = core::StringView::npos, resume = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == u'?' || platform::to_lower(mask[m]) == platform::to_lower(name[n]))) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == u'*') {
            star = m++;
            resume = n;
        } else if (star != core::StringView::npos) {
            m = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == u'*')
        ++m;
    return m == mask.size();
}

namespace {

using SeenFolders = std::set<platform::FolderIdentity>;

void walk(DirectoryVisitor& visitor, core::StringView directory, core::StringView file_mask,
    core::StringView directory_mask, bool recursive, SeenFolders& seen)
{
    auto const entries = platform::list_directory(expand_path(directory));
    if (!entries)
        return;
    for (auto const& entry : *entries) {
        if (!entry.regular || !matches_mask(entry.name, file_mask))
            continue;
        if (!visitor.on_file(join(directory, entry.name)))
            return;
    }
    for (auto const& entry : *entries) {
        if (!entry.directory || entry.name == u"." || entry.name == u".." || !matches_mask(entry.name, directory_mask))
            continue;
        // A link back up the tree (or a bind mount) leads to a folder walked already: once is enough, and
        // following it would never end.
        if (entry.folder != platform::FolderIdentity {} && !seen.insert(entry.folder).second)
            continue;
        String const sub = join(directory, entry.name);
        if (!visitor.on_directory(sub))
            return;
        if (recursive)
            walk(visitor, sub, file_mask, directory_mask, recursive, seen);
    }
}

} // namespace

void walk_directory(DirectoryVisitor& visitor, core::StringView directory, core::StringView file_mask,
    core::StringView directory_mask, bool recursive)
{
    SeenFolders seen;
    if (auto const self = platform::folder_identity(expand_path(directory)))
        seen.insert(*self);
    walk(visitor, directory, file_mask, directory_mask, recursive, seen);
}

bool find_drives(DirectoryVisitor& visitor)
{
    String const documents = expand_path(u"%my_documents%");
    core::log() << u"find_drives: mydoc={" << documents << u"}\n";
    for (auto const& card : platform::storage_cards()) {
        if (is_under(card, documents) || total_space(card) <= 1'000'000) {
            core::log() << u"skipping result={" << card << u"}\n";
            continue;
        }
        core::log() << u"returning result={" << card << u"}\n";
        if (!visitor.on_directory(card))
            break;
    }
    return true;
}

bool execute_file(core::StringView file, core::StringView parameters)
{
    core::log() << u"execute_file(" << file << u"} {" << parameters << u")\n";
    if (platform::execute(expand_path(file), String(parameters)))
        return true;
    core::log() << u"execute_file: cannot start " << file << u"\n";
    return false;
}

String quote_parameter(core::StringView word)
{
    String quoted = u"\"";
    size_t backslashes = 0;
    for (char16_t c : word) {
        if (c == u'\\') {
            ++backslashes;
        } else {
            if (c == u'"')
                quoted.append(backslashes + 1, u'\\');
            backslashes = 0;
        }
        quoted += c;
    }
    // The closing quote must not be escaped by the word's own last backslashes.
    quoted.append(backslashes, u'\\');
    return quoted + u"\"";
}

} // namespace os
