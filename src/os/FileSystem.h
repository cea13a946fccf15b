#pragma once

#include <core/Strings.h>

namespace os {

bool delete_file(core::StringView path);

// Creates the folder and every missing parent, the root first; each level attempted is logged. Callers
// check the outcome with FileInfo.
void create_directory(core::StringView path);

// Bytes free to the caller and in all on the volume that holds the path (or its nearest existing
// parent); 0 on failure.
double free_space(core::StringView path);
double total_space(core::StringView path);

class DirectoryVisitor {
public:
    // Both answer true to go on, false to stop.
    virtual bool on_file(core::String const& path) = 0;
    virtual bool on_directory(core::String const& path) = 0;
    virtual ~DirectoryVisitor();
};

// Files matching `file_mask`, then folders matching `directory_mask` (each folder walked at once when
// recursive: depth first, files before sub-folders). Masks use "*" and "?", case-insensitive. Only regular
// files are files (pipes, sockets and devices are passed over); a folder reached again through a link or a
// bind mount is passed over, so a walk visits each folder once and always ends.
void walk_directory(DirectoryVisitor& visitor, core::StringView directory, core::StringView file_mask,
    core::StringView directory_mask, bool recursive);
bool matches_mask(core::StringView name, core::StringView mask);

// Storage cards larger than 1,000,000 bytes that do not hold the documents folder, in the order found.
bool find_drives(DirectoryVisitor& visitor);

// Starts a program or opens a document; does not wait for it. A file without a "/" is a program found
// on the search path. The parameters are split into words at spaces outside double quotes; a backslash
// before a double quote escapes it (see quote_parameter). No shell reads them. A program that cannot be
// started is logged and answered with false.
bool execute_file(core::StringView file, core::StringView parameters);
// One word of a parameter string, whatever it holds: between double quotes, with each double quote and
// each run of backslashes before one escaped by a backslash.
core::String quote_parameter(core::StringView word);

} // namespace os
