#include "AudioTestSupport.h"

#include <audio/formats/FileWriter.h>
#include <audio/formats/FlacStream.h>
#include <audio/formats/OggPage.h>
#include <audio/formats/StreamComments.h>

using namespace audio;
using testing_support::read_file;
using testing_support::run;

namespace {

RecordingTags tags_with_picture(std::string const& dir)
{
    EXPECT_EQ(run("ffmpeg -v error -f lavfi -i color=red:s=8x8 -frames 1 " + dir + "/face.png").exit_code, 0);
    std::string const png = read_file(dir + "/face.png");
    RecordingTags tags { u"Ann Lee", u"Tuesday 10:15", u"Incoming", u"Ravelin", u"2026-12-06", {} };
    tags.picture.assign(png.begin(), png.end());
    return tags;
}

std::string written(std::string const& dir, char16_t const* format, RecordingTags const& tags)
{
    std::string const path = dir + "/rec." + core::to_utf8(format);
    auto w = create_writer(core::from_utf8(path), format, 1, 16, 48000, 24000, false, tags);
    w->input().on_data(audio_test::buffer16(audio_test::ramp(48000, 13), 48000));
    return path;
}

// ffprobe's view of the audio stream's tags (Ogg keeps them there, FLAC in the format) and of the picture.
std::map<std::string, std::string> probed(std::string const& path)
{
    std::map<std::string, std::string> facts;
    auto const r
        = run("ffprobe -v error -show_entries stream=codec_name:stream_tags:format_tags -of default=nw=1 " + path);
    std::istringstream lines(r.output);
    for (std::string line; std::getline(lines, line);)
        if (auto eq = line.find('='); eq != std::string::npos)
            facts[line.substr(0, eq)] += line.substr(eq + 1) + " ";
    return facts;
}

// The caller's picture as Ravelin reads it back: a comment in Opus, a block of its own in FLAC.
std::vector<uint8_t> picture_of(os::File& file)
{
    std::vector<uint8_t> body;
    VorbisComment comments;
    flac::Layout layout;
    if (!read_stream_comments(file, comments)
        || !from_base64(core::to_utf8(comments.text(VorbisComment::PICTURE)), body) || body.empty()) {
        for (auto const& block : layout.read(file) ? layout.blocks : std::vector<flac::Block> {})
            if (block.type == flac::PICTURE && file.seek(block.offset + flac::BLOCK_HEADER_SIZE)) {
                body.resize(block.length);
                body.resize(file.read(body.data(), block.length));
            }
    }
    std::string mime;
    uint8_t const* picture = nullptr;
    size_t size = 0;
    if (!parse_flac_picture_block(body.data(), body.size(), mime, picture, size) || mime != "image/png")
        return {};
    return { picture, picture + size };
}

class Comments : public ::testing::TestWithParam<char16_t const*> { };

// The tags of a new recording as a peer reads them, and as the list reads them back; a new title is
// written where the old one was, the audio left where it is, and one that does not fit changes nothing.
TEST_P(Comments, AreReadByPeersAndRetitledInPlace)
{
    std::string const dir = testing_support::fresh_dir("comments");
    RecordingTags const tags = tags_with_picture(dir);
    std::string const path = written(dir, GetParam(), tags);
    auto facts = probed(path);
    EXPECT_EQ(facts["TAG:TITLE"], "Tuesday 10:15 ");
    EXPECT_EQ(facts["TAG:ARTIST"], "Ann Lee ");
    EXPECT_EQ(facts["TAG:ALBUM"], "Incoming ");
    EXPECT_EQ(facts["TAG:GENRE"], "Ravelin ");
    EXPECT_EQ(facts["TAG:DATE"], "2026-12-06 ");
    EXPECT_NE(facts["codec_name"].find("png"), std::string::npos) << "the caller's picture";
    {
        os::File file(core::from_utf8(path), os::FileMode::Read);
        EXPECT_EQ(picture_of(file), tags.picture);
    }

    std::string const before = read_file(path);
    uint32_t audio = 0;
    {
        os::File file(core::from_utf8(path), os::FileMode::Read);
        OggHeaders headers;
        flac::Layout layout;
        audio = headers.read(file, 2) ? headers.end : layout.read(file) ? layout.audio_start : 0;
        ASSERT_GT(audio, 100u);
    }
    {
        os::File file(core::from_utf8(path), os::FileMode::ReadWrite);
        ASSERT_TRUE(retitle_stream(file, u"Caf\u00e9 with Ann, and a longer title than before"));
        VorbisComment comments;
        ASSERT_TRUE(read_stream_comments(file, comments));
        EXPECT_EQ(comments.text("title"), u"Caf\u00e9 with Ann, and a longer title than before");
        EXPECT_EQ(comments.text("ARTIST"), u"Ann Lee");
    }
    std::string const after = read_file(path);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after.substr(audio), before.substr(audio)) << "the audio stays where it was";
    EXPECT_EQ(probed(path)["TAG:TITLE"], "Caf\xC3\xA9 with Ann, and a longer title than before ");
    std::string const check = GetParam() == std::u16string(u"Opus") ? "opusinfo " : "flac -t -s ";
    EXPECT_EQ(run(check + path).exit_code, 0);

    os::File file(core::from_utf8(path), os::FileMode::ReadWrite);
    EXPECT_FALSE(retitle_stream(file, core::String(3000, u'x')));
    EXPECT_EQ(read_file(path), after);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, Comments, ::testing::Values(u"Opus", u"FLAC"), [](auto const& info) { return core::to_utf8(info.param); });

TEST(VorbisComments, LengthsBeyondTheBytesAreRefused)
{
    VorbisComment comment;
    comment.vendor = "v";
    comment.add("TITLE", "t");
    std::vector<uint8_t> const good = comment.bytes();
    ASSERT_TRUE(comment.parse(good.data(), good.size()));
    EXPECT_EQ(comment.text("Title"), u"t");
    for (size_t at : { size_t(0), size_t(5), size_t(9) }) { // vendor length, count, comment length
        std::vector<uint8_t> bad = good;
        bad[at + 3] = 0x7F;
        EXPECT_FALSE(comment.parse(bad.data(), bad.size())) << at;
    }
    EXPECT_FALSE(comment.parse(good.data(), good.size() - 1));
    std::vector<uint8_t> decoded;
    for (std::string const text : { "QUJD", "QUI=", "QQ==" }) {
        ASSERT_TRUE(from_base64(text, decoded));
        EXPECT_EQ(base64(decoded), text);
    }
    EXPECT_FALSE(from_base64("QQ=A", decoded));
    EXPECT_FALSE(from_base64("QU?D", decoded));
}

} // namespace
