#pragma once

#include <core/Strings.h>
#include <os/File.h>

namespace audio {

// The ID3v1 tag at the end of an MP3 file: the 125 bytes after the last "TAG" within the file's last
// 1000 bytes. Text fields are cut at their first NUL and at trailing NULs and spaces, and read as UTF-8
// when they are valid UTF-8, else as ISO-8859-1.
struct Id3v1Tag {
    static constexpr uint32_t SEARCHED = 1000;
    static constexpr uint32_t BODY = 125;

    core::String title;
    core::String artist;
    core::String album;
    core::String year;
    core::String comment;
    int track = 0; // 0: none
    int genre = 0;

    // False when there is no tag.
    bool read(os::InStream& in);
};

} // namespace audio
