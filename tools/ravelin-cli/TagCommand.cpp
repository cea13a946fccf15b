// Shows the frames of an MP3 file's ID3v2 tag, or re-titles it in place as the Document does.
#include "Commands.h"
#include "Options.h"

#include <algorithm>

#include <audio/formats/BufferedStreams.h>
#include <audio/formats/Id3Tag.h>
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

int show(std::string const& path)
{
    os::File file(core::from_utf8(path), os::FileMode::Read);
    if (!file.is_open())
        return fail(EXIT_FAILURE_, "cannot read " + path);
    audio::BufferedInStream in(file, TAG_BUFFER);
    audio::Id3Tag tag;
    if (tag.read(in) == 0)
        return fail(EXIT_FAILURE_, path + " has no ID3v2 tag");
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
        return fail(EXIT_FAILURE_, path + " has no ID3v2 tag");
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
