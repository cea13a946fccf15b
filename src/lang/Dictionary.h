#pragma once

#include <core/Strings.h>

#include <cstddef>
#include <cstdint>
#include <map>

namespace lang {

using core::String;
using core::StringView;

// Texts by key, loaded from a language file (or the keypad map, which has the same format).
// Format: UTF-16LE when the file starts with FF FE, else 8-bit text (each byte the character of the same
// value). One entry a line (lines end at CR or LF): leading blanks skipped, the key runs to the first
// blank or "="; after "=" the value starts at once, otherwise after the blanks that follow the key; the
// value runs to the end of the line, trailing blanks included. Empty keys are ignored; a later line wins
// over an earlier one with the same key.
// Threads: main thread only.
class Dictionary {
public:
    using Map = std::map<String, String, std::less<>>;

    // Reads and parses the file; on success the dictionary takes the new texts and remembers the path,
    // on failure (the file cannot be opened) it keeps what it had.
    bool load(StringView path);

    // The text of the key, or the key itself.
    String translate(StringView key) const;
    // The text of the key, or the given default.
    String lookup(StringView key, StringView fallback) const;

    String const& path() const { return path_; }
    Map const& entries() const { return map_; }

    static Map parse(uint8_t const* bytes, size_t size);

private:
    String path_;
    Map map_;
};

} // namespace lang
