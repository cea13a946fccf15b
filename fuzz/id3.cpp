// The ID3 reader through the Document's 4096-byte buffered input, then the text of every frame it kept:
// neither may crash, read outside the input or allocate what the input only claims.
#include "MemoryStream.h"

#include <audio/formats/BufferedStreams.h>
#include <audio/formats/Id3Tag.h>

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    MemoryStream stream(data, size);
    audio::BufferedInStream in(stream, 4096);
    audio::Id3Tag tag;
    uint32_t const tag_size = tag.read(in);
    size_t sum = tag_size;
    for (auto const& frame : tag.frames())
        sum += tag.text(frame.name()).size() + audio::Id3Tag::frame_text(frame.data).size();
    for (char const* id : { "TIT2", "TPE1", "TALB", "TCON", "TYER", "TDAT", "TRCK", "APIC" })
        sum += tag.text(id).size();
    return static_cast<int>(sum & 0);
}
