// Renaming an Opus or FLAC recording rewrites its comments in place. On arbitrary bytes: either the
// title is changed, the file keeps its size and reads back with the new title, or the file is left
// exactly as it was. Anything else aborts.
#include <audio/formats/StreamComments.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <os/File.h>
#include <string>
#include <unistd.h>

namespace {

std::string const PATH = "/tmp/ravelin-fuzz-retitle-" + std::to_string(::getpid());

std::string contents()
{
    std::ifstream in(PATH, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    std::string const before(reinterpret_cast<char const*>(data), size);
    std::ofstream(PATH, std::ios::binary | std::ios::trunc) << before;
    char16_t const title[] = u"Meeting — Thursday";
    bool changed;
    {
        os::File file(core::from_utf8(PATH), os::FileMode::ReadWrite);
        changed = audio::retitle_stream(file, title);
    }
    std::string const after = contents();
    if (!changed && after != before)
        std::abort(); // refused, yet written
    if (changed) {
        os::File file(core::from_utf8(PATH), os::FileMode::Read);
        audio::VorbisComment comments;
        if (after.size() != before.size() || !audio::read_stream_comments(file, comments)
            || comments.text("TITLE") != title)
            std::abort(); // changed, but not into a file with the new title where the old one stood
    }
    return 0;
}
