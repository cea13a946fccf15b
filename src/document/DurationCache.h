#pragma once

#include <core/Strings.h>
#include <cstdint>
#include <os/DateTime.h>
#include <unordered_map>

namespace document {

// The lengths of the recordings listed before, so that a list of thousands is not probed afresh at
// every start: one line per file (its size, its last write and its length, then its path) in a file
// beside the program's own state, never beside the recordings. An entry holds while the file keeps its
// size and its last-write time; a changed or unknown file is probed again. A damaged cache file costs
// only the probing it would have saved.
// Threads: main thread.
class DurationCache {
public:
    // `file` empty: the cache file in the program's state folder.
    explicit DurationCache(core::String file = {});

    // Milliseconds, or audio::UNKNOWN_DURATION.
    int64_t duration(core::StringView path, uint64_t size, os::DateTime const& modified);
    // Writes the cache when it changed. `listed_whole`: every listed file has been asked for since the
    // last save, so the entries of files no longer listed are dropped.
    bool save(bool listed_whole);

    core::String const& file() const { return file_; }

private:
    struct Entry {
        uint64_t size = 0;
        int64_t stamp = 0;
        int64_t ms = 0;
        bool asked = false;
    };
    void load();

    core::String file_;
    std::unordered_map<core::String, Entry> entries_;
    bool loaded_ = false;
    bool changed_ = false;
};

} // namespace document
