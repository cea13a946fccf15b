#pragma once

#include <core/Strings.h>
#include <cstdint>
#include <os/DateTime.h>

namespace document {

// One recording of the list: its file, the texts of its tag, its size as a short text, its time
// and its length.
struct RecordEntry {
    core::String path;
    core::String artist; // TPE1
    core::String title; // TIT2
    core::String album; // TALB
    core::String size; // empty for a new recording and for an empty file
    os::DateTime time; // local; for a file the earlier of its creation and its last write
    int64_t duration_ms = -1; // -1 while unknown: a new recording, a file whose headers say nothing
};

} // namespace document
