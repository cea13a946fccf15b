#pragma once

#include <core/Strings.h>
#include <document/RecordStore.h>
#include <lang/Dictionary.h>

#include <cstdint>
#include <vector>

namespace screens {

// The keypad filter of the record list: the typed keys, the key map that says which characters each key
// stands for, and which records pass. A record passes when a word of its artist, or else of its title,
// starts with characters that the typed keys stand for, one character per key.
// Threads: main thread only.
class RecordFilter {
public:
    // The keypad map, a dictionary file of lines "key=characters"; false (keeping the map) when the file
    // cannot be read.
    bool load_key_map(core::StringView path);
    void set_key_map(lang::Dictionary::Map map) { keys_ = std::move(map); }

    // The 32 characters after which a word starts (besides the start of the text).
    static bool is_separator(char16_t c);
    // Where the typed keys match the text (lower-cased): the first word start, from the left, whose
    // characters the keys stand for; 0 for no keys; -1 when they match nowhere.
    int32_t match(core::StringView text) const;
    bool passes(document::RecordEntry const& entry) const;

    core::String const& keys() const { return keys_typed_; }
    bool empty() const { return keys_typed_.empty(); }
    // Indices into the record list of the records that pass, in the list's order.
    std::vector<int32_t> const& shown() const { return shown_; }
    // The position of a record index in `shown`, or -1.
    int32_t position_of(int32_t index) const;

    void rebuild(document::RecordList const& records);
    // Appends a key while at least one record is shown; false (ignoring it) when none is.
    bool type(char16_t key, document::RecordList const& records);
    // Removes the last key; false, changing nothing, when there was none (the filter then closes).
    bool backspace(document::RecordList const& records);
    // No keys, every record shown.
    void clear(document::RecordList const& records);

private:
    bool stands_for(char16_t key, char16_t c) const;

    lang::Dictionary::Map keys_;
    core::String keys_typed_;
    std::vector<int32_t> shown_;
};

} // namespace screens
