#pragma once

#include <core/Strings.h>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace audio {

// What a recording says of itself where its format keeps such texts (Opus and FLAC; the Document writes
// an MP3 file's ID3 tag itself): the texts of its ID3 frames, a date, and the caller's picture.
struct RecordingTags {
    core::String artist;
    core::String title;
    core::String album;
    core::String genre;
    core::String date; // "2026-12-06"
    std::vector<uint8_t> picture;
};

// The comments of Ogg Vorbis, Ogg Opus and FLAC files: a vendor text and "NAME=value" texts, in UTF-8,
// each with its length before it (little-endian). Names are compared without regard to case.
//
// Threads: one thread at a time.
class VorbisComment {
public:
    // The name under which Ogg files keep a picture, as a FLAC picture block in base64.
    static constexpr char PICTURE[] = "METADATA_BLOCK_PICTURE";

    std::string vendor;
    std::vector<std::string> comments;

    // The comment list at `bytes` (after any magic of the format); false when its lengths do not hold.
    // `used` gets the bytes it took.
    bool parse(uint8_t const* bytes, size_t size, size_t* used = nullptr);
    std::vector<uint8_t> bytes() const;

    // The value of the first comment `name`; empty without one.
    core::String text(std::string_view name) const;
    // Replaces every comment `name` by one with `value` in place of the first, or appends it; an empty
    // value removes them.
    void set_text(std::string_view name, core::StringView value);
    void add(std::string_view name, std::string_view value);

    // The vendor string of the comments the writers make.
    static constexpr char VENDOR[] = "Ravelin";
    // TITLE, ARTIST, ALBUM, GENRE and DATE from the tags (those that are not empty).
    static VorbisComment of(RecordingTags const& tags, std::string_view vendor);
};

// The body of a FLAC picture block (picture type 0, no description, sizes unknown) holding `picture`, its
// MIME type told from its first bytes as the ID3 tag tells it.
std::vector<uint8_t> flac_picture_block(std::vector<uint8_t> const& picture);
// The MIME type and picture bytes of a picture block's body; false when its lengths do not hold.
bool parse_flac_picture_block(
    uint8_t const* bytes, size_t size, std::string& mime, uint8_t const*& picture, size_t& picture_size);

std::string base64(std::vector<uint8_t> const& bytes);
// Anything but the base64 alphabet and its padding makes it fail.
bool from_base64(std::string_view text, std::vector<uint8_t>& bytes);

} // namespace audio
