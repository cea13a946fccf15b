// Shows the frames of an MP3 file's ID3v2 tag, or the comments of an Ogg Opus, Ogg Vorbis or FLAC file, or
// re-titles either in place as the Document does.
#include "Commands.h"
#include "Options.h"

#include <algorithm>

#include <audio/formats/BufferedStreams.h>
#include <audio/formats/FlacStream.h>
#include <audio/formats/Id3Tag.h>
#include <audio/formats/StreamComments.h>
#include <cstdio>
#include <os/File.h>

namespace cli {

namespace {

constexpr uint32_t TAG_BUFFER = 4096;

// "MIME N bytes" of a picture frame: encoding, MIME type, NUL, picture type, description, picture.
std::string picture_summary(core::SharedBuffer const& data)
{
    uint8_t const* p = data.data();
    size_t const n = data.length();
    size_t i = 1;
    std::string mime;
    while (i < n && p[i] != 0)
        mime += static_cast<char>(p[i++]);
    i += 2; // the NUL and the picture type
    bool const wide = n > 0 && (p[0] == 1 || p[0] == 2);
    while (i < n && !(p[i] == 0 && (!wide || (i + 1 < n && p[i + 1] == 0))))
        i += wide ? 2 : 1;
    i += wide ? 2 : 1;
    return mime + " " + std::to_string(i < n ? n - i : 0) + " bytes";
}

// "MIME N bytes" of a FLAC picture block's body.
std::string flac_picture_summary(uint8_t const* body, size_t size)
{
    std::string mime;
    uint8_t const* picture = nullptr;
    size_t picture_size = 0;
    if (!audio::parse_flac_picture_block(body, size, mime, picture, picture_size))
        return "damaged";
    return mime + " " + std::to_string(picture_size) + " bytes";
}

// NAME=value lines of the comments, a picture as its summary; then a FLAC file's picture blocks.
void show_comments(os::File& file, audio::VorbisComment const& comments)
{
    for (auto const& comment : comments.comments) {
        size_t const eq = comment.find('=');
        std::string const name = comment.substr(0, eq);
        std::vector<uint8_t> picture;
        if (eq != std::string::npos && name == audio::VorbisComment::PICTURE
            && audio::from_base64(comment.substr(eq + 1), picture))
            std::printf("%s=%s\n", name.c_str(), flac_picture_summary(picture.data(), picture.size()).c_str());
        else
            std::printf("%s\n", comment.c_str());
    }
    audio::flac::Layout layout;
    if (!layout.read(file))
        return;
    for (auto const& block : layout.blocks) {
        std::vector<uint8_t> body(block.length);
        if (block.type == audio::flac::PICTURE && file.seek(block.offset + audio::flac::BLOCK_HEADER_SIZE)
            && file.read(body.data(), block.length) == block.length)
            std::printf("PICTURE=%s\n", flac_picture_summary(body.data(), body.size()).c_str());
    }
}

int show(std::string const& path)
{
    os::File file(core::from_utf8(path), os::FileMode::Read);
    if (!file.is_open())
        return fail(EXIT_FAILURE_, "cannot read " + path);
    audio::BufferedInStream in(file, TAG_BUFFER);
    audio::Id3Tag tag;
    if (tag.read(in) == 0) {
        audio::VorbisComment comments;
        if (!audio::read_stream_comments(in, comments))
            return fail(EXIT_FAILURE_, path + " has no ID3v2 tag and no Opus, Vorbis or FLAC comments");
        show_comments(file, comments);
        return EXIT_OK;
    }
    for (auto const& frame : tag.frames()) {
        std::string const id(frame.name());
        std::string value;
        if (id[0] == 'T')
            value = core::to_utf8(audio::Id3Tag::frame_text(frame.data));
        else if (id == "APIC")
            value = picture_summary(frame.data);
        else
            value = std::to_string(frame.data.length()) + " bytes";
        std::printf("%s=%s\n", id.c_str(), value.c_str());
    }
    return EXIT_OK;
}

int retitle_comments(std::string const& path, std::string const& title)
{
    os::File file(core::from_utf8(path), os::FileMode::ReadWrite);
    audio::VorbisComment comments;
    if (!file.is_open() || !audio::read_stream_comments(file, comments))
        return fail(EXIT_FAILURE_, path + " has no ID3v2 tag and no Opus or FLAC comments");
    if (!audio::retitle_stream(file, core::from_utf8(title)))
        return fail(
            EXIT_FAILURE_, "the title does not fit in the room of the comments of " + path + "; nothing was changed");
    return EXIT_OK;
}

int retitle(std::string const& path, std::string const& title)
{
    audio::Id3Tag tag;
    uint32_t size = 0;
    {
        os::File file(core::from_utf8(path), os::FileMode::Read);
        if (!file.is_open())
            return fail(EXIT_FAILURE_, "cannot read " + path);
        audio::BufferedInStream in(file, TAG_BUFFER);
        size = tag.read(in);
    }
    if (size == 0)
        return retitle_comments(path, title);
    tag.set_text("TIT2", core::from_utf8(title));
    os::File file(core::from_utf8(path), os::FileMode::ReadWrite);
    audio::BufferedOutStream out(file, TAG_BUFFER);
    // The tag keeps its size, so the audio stays where it is; write checks the fit before writing.
    if (!tag.write(out, size))
        return fail(EXIT_FAILURE_,
            "the title does not fit in the " + std::to_string(size) + "-byte tag of " + path + "; nothing was changed");
    if (!out.flush())
        return fail(EXIT_FAILURE_, "writing the tag of " + path + " failed");
    return EXIT_OK;
}

} // namespace

int tag_command(Arguments const& arguments)
{
    std::vector<std::string> places;
    std::string title;
    bool const titled = std::find(arguments.begin(), arguments.end(), "--title") != arguments.end();
    std::string problem;
    if (!Options().text("--title", title).parse(arguments, places, problem))
        return fail(EXIT_USAGE, problem);
    if (places.size() != 1)
        return fail(EXIT_USAGE, "usage: ravelin-cli tag FILE [--title TEXT]");
    return titled ? retitle(places[0], title) : show(places[0]);
}

} // namespace cli
