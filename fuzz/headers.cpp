// What the list reads of a file without decoding it, on arbitrary bytes: the length from its headers, the
// comments of an Ogg or FLAC stream and a picture among them, and a FLAC file's metadata and last frame.
// No crash, no read outside a buffer, no allocation of a size the input only claims.
#include "MemoryStream.h"

#include <audio/formats/FlacStream.h>
#include <audio/formats/StreamComments.h>
#include <audio/formats/VorbisComment.h>
#include <audio/readers/DurationProbe.h>

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    size_t used = 0;
    {
        MemoryStream in(data, size);
        used += static_cast<size_t>(audio::probe_duration_ms(in) & 1);
    }
    {
        MemoryStream in(data, size);
        audio::VorbisComment comments;
        if (audio::read_stream_comments(in, comments)) {
            std::vector<uint8_t> block;
            std::string mime;
            uint8_t const* picture = nullptr;
            size_t picture_size = 0;
            if (audio::from_base64(core::to_utf8(comments.text(audio::VorbisComment::PICTURE)), block)
                && audio::parse_flac_picture_block(block.data(), block.size(), mime, picture, picture_size))
                used += picture_size + mime.size();
        }
    }
    audio::VorbisComment parsed;
    parsed.parse(data, size, &used);
    {
        MemoryStream in(data, size);
        audio::flac::Layout layout;
        audio::flac::FrameAt frame;
        if (layout.read(in) && audio::flac::find_last_frame(in, layout, frame))
            used += frame.end - frame.offset;
    }
    audio::flac::FrameHeader header;
    used += audio::flac::parse_frame_header(data, size, header);
    return static_cast<int>(used) & 0;
}
