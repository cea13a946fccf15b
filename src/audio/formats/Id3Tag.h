#pragma once

#include <array>
#include <core/SharedBuffer.h>
#include <core/Strings.h>
#include <os/File.h>
#include <string_view>
#include <vector>

namespace audio {

// An ID3v2.3 tag: its frames in file order, read from and written to the start of an MP3 file. Text
// frames are read in ISO-8859-1 or UTF-16 and written as ASCII when they can be, UTF-16 otherwise.
//
// Threads: one thread at a time.
class Id3Tag {
public:
    static constexpr uint32_t HEADER_SIZE = 10;
    static constexpr uint32_t PADDING = 1024;
    static constexpr uint32_t MAX_SIZE = 0x0FFFFFFF;

    struct Frame {
        std::array<char, 4> id {};
        std::array<uint8_t, 2> flags {};
        core::SharedBuffer data;
        std::string_view name() const { return { id.data(), id.size() }; }
    };

    // Reads the tag at the stream's position; answers its size in the file (header included), or 0 when
    // there is no tag there. Frames are taken only from within the tag's declared size, and only while
    // their bodies are there in full.
    uint32_t read(os::InStream& in);

    // The text of the first frame `id`; empty when there is none.
    core::String text(std::string_view id) const;
    // An empty text removes the frame; otherwise it is replaced where it stands, or appended.
    void set_text(std::string_view id, core::StringView text);
    // Fewer than 8 bytes remove the picture; the MIME type is told from the first bytes.
    void set_picture(uint8_t const* bytes, size_t size);
    // Writes the tag: with `fixed_size` (the old tag's size, to rewrite it in place) or with 1024 bytes
    // of padding. Nothing is written when the frames do not fit.
    bool write(os::OutStream& out, uint32_t fixed_size = 0) const;

    std::vector<Frame> const& frames() const { return frames_; }
    // A text frame's body as text: ISO-8859-1, or UTF-16 after a byte-order mark, to the first NUL.
    static core::String frame_text(core::SharedBuffer const& data);
    static std::string_view mime_type(uint8_t const* bytes, size_t size);

private:
    Frame* find(std::string_view id);
    void put(std::string_view id, std::vector<uint8_t> const& data);
    void remove(std::string_view id);

    std::vector<Frame> frames_;
};

} // namespace audio
