#pragma once

#include "RecordEntry.h"

#include <core/Strings.h>
#include <cstdint>
#include <unordered_set>
#include <vector>

// Where recordings live and how they are named and listed: one store folder in main memory and one on
// each storage card, file names made unique, entries read from the files' tags, sizes and times.
// Threads: main thread.
namespace document {

inline constexpr char16_t STORE_FOLDER_NAME[] = u"My Ravelin";
inline constexpr char16_t MAIN_MEMORY_LABEL[] = u"Menu_MainMemory"; // a language key
// The longest full path that make_file_name makes.
inline constexpr size_t MAX_PATH_LENGTH = 250;
// Linux refuses a file name of more bytes (UTF-8) than this.
inline constexpr size_t MAX_NAME_BYTES = 255;

struct StoreFolder {
    core::String label; // MAIN_MEMORY_LABEL, or the card's folder name
    core::String path;
};

// Main memory first (the documents folder + "My Ravelin"), then each card with the documents folder's
// last component + "My Ravelin", in the order found. The last entry takes new recordings.
std::vector<StoreFolder> get_store_folders();

// A full path in `folder` that does not exist yet: the base with "< > : \" / \ | ? *" and control
// characters (line breaks, tabs, escapes; C0, DEL, C1, U+2028, U+2029) replaced by spaces,
// cut just enough that the path (with any "~n" that keeps it unique) fits in 250 characters and the file
// name in 255 UTF-8 bytes, then "~1", "~2"... before the extension while the name is taken.
core::String make_file_name(core::StringView base, core::StringView folder, core::StringView extension);

// TPE1, TIT2 and TALB of the ID3 tag at the start of the file, or ARTIST, TITLE and ALBUM of the comments
// of an Ogg Opus, Ogg Vorbis or FLAC file; empty texts without either.
struct TagTexts {
    core::String artist, title, album;
};
TagTexts read_tag_texts(core::StringView path);

// The title a record shows: its tag's, or, for a file without one (another program's, or an untagged
// file renamed here), the file's name without its extension.
core::String title_or_name(core::StringView title, core::StringView path);

// The entry of a file on disk: the texts of its ID3 tag (empty without one; the title as title_or_name
// says), its size text, the earlier of its creation and modification times, and its length, from
// `durations` when given (else probed).
class DurationCache;
RecordEntry read_record_entry(core::StringView path, DurationCache* durations = nullptr);

// Empty for 0; "500B"; "2K"; "1.4M" (whole megabytes, then one truncated decimal).
core::String size_text(uint64_t bytes);

// The names that recordings have: what the program writes, and what its player reads.
inline constexpr core::StringView AUDIO_EXTENSIONS[]
    = { u".mp3", u".wav", u".opus", u".flac", u".ogg", u".oga", u".mpc" };
// The name ends in one of AUDIO_EXTENSIONS, in any case.
bool is_audio_file(core::StringView path);
// The path begins with the expanded documents folder.
bool is_in_main_memory(core::StringView path);

// The records, newest first. An entry goes before another when their paths differ and its time is later;
// a new one is inserted at the first place whose entry does not go before it. A path is listed once.
class RecordList {
public:
    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    RecordEntry const& operator[](size_t index) const { return entries_[index]; }
    std::vector<RecordEntry> const& entries() const { return entries_; }

    // Where `entry` belongs (binary search).
    size_t position_for(RecordEntry const& entry) const;
    bool contains(core::StringView path) const;
    // The index of the path, or -1.
    int32_t find(core::StringView path) const;
    // At its sorted place; answers that index, or -1 when the path is listed already.
    int32_t insert(RecordEntry entry);
    void remove(size_t index);
    // Replaces the entry at `index`, keeping its place (a rename or a move keeps the time).
    void replace(size_t index, RecordEntry entry);
    void clear();

private:
    std::vector<RecordEntry> entries_;
    std::unordered_set<core::String> paths_;
};

} // namespace document
