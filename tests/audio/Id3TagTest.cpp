#include "AudioTestSupport.h"

using namespace audio;
using audio_test::tag_bytes;

namespace {

std::string frame(std::string const& id, std::string const& body)
{
    uint32_t const n = static_cast<uint32_t>(body.size());
    return id + std::string { char(n >> 24), char(n >> 16), char(n >> 8), char(n), 0, 0 } + body;
}

std::string tag_header(uint32_t size, uint8_t flags = 0)
{
    return std::string("ID3\3\0", 5) + char(flags)
        + std::string { char((size >> 21) & 0x7F), char((size >> 14) & 0x7F), char((size >> 7) & 0x7F),
              char(size & 0x7F) };
}

// Reads a tag from `bytes` through the 4096-byte buffered input the Document uses.
uint32_t read_tag(Id3Tag& tag, std::string const& bytes)
{
    std::string const path = testing_support::fresh_dir("id3") + "/t.mp3";
    testing_support::write_file(path, bytes);
    os::File file(core::from_utf8(path), os::FileMode::Read);
    BufferedInStream in(file, 4096);
    return tag.read(in);
}

TEST(Id3Tag, TextsAreAsciiWhenTheyCanBeAndUtf16Otherwise)
{
    Id3Tag tag;
    tag.set_text("TIT2", u"Record 12");
    tag.set_text("TPE1", u"Zo\u00EB \u4E2D");
    std::string const written = tag_bytes(tag);
    EXPECT_EQ(written,
        tag_header(10 + 10 + 10 + 13 + 1024) + frame("TIT2", std::string("\0Record 12", 10))
            + frame("TPE1", std::string("\1\xFF\xFEZ\0o\0\xEB\0 \0\x2D\x4E", 13)) + std::string(1024, '\0'));
    Id3Tag back;
    EXPECT_EQ(read_tag(back, written), written.size());
    EXPECT_EQ((std::vector { back.text("TIT2"), back.text("TPE1"), back.text("TALB") }),
        (std::vector<core::String> { u"Record 12", u"Zo\u00EB \u4E2D", u"" }));

    // A replaced frame keeps its place; an empty text removes it.
    tag.set_text("TIT2", u"Other");
    EXPECT_EQ(std::tuple(tag.frames()[0].name(), tag.text("TIT2")), std::tuple("TIT2", u"Other"));
    tag.set_text("TIT2", u"");
    EXPECT_EQ(tag.frames().size(), 1u);

    // Big-endian UTF-16 and Latin-1 from other writers, cut at the first NUL.
    Id3Tag peer;
    read_tag(peer,
        tag_header(60) + frame("TALB", std::string("\1\xFE\xFF\0A\0\xE9\0\0\0B", 12))
            + frame("TCON", std::string("\0Caf\xE9\0x", 7)));
    EXPECT_EQ(std::pair(peer.text("TALB"), peer.text("TCON")),
        std::pair(core::String(u"A\u00E9"), core::String(u"Caf\u00E9")));
}

TEST(Id3Tag, ANewTagCarries1024BytesOfPaddingAndAFixedOneKeepsItsSize)
{
    Id3Tag tag;
    tag.set_text("TIT2", u"abc");
    tag.set_text("TYER", u"2026");
    std::string const frames = frame("TIT2", std::string("\0abc", 4)) + frame("TYER", std::string(1, '\0') + "2026");
    size_t const n = frames.size();
    EXPECT_EQ(tag_bytes(tag), tag_header(uint32_t(n + 1024)) + frames + std::string(1024, '\0'));

    bool ok = false;
    EXPECT_EQ(tag_bytes(tag, uint32_t(n + 10), &ok).size(), n + 10);
    EXPECT_TRUE(ok);
    EXPECT_EQ(tag_bytes(tag, uint32_t(n + 9), &ok), "") << "a tag that does not fit writes nothing";
    EXPECT_FALSE(ok);
    EXPECT_EQ(tag_bytes(Id3Tag(), 0, &ok), "");
    EXPECT_FALSE(ok) << "an empty tag is not written";
}

TEST(Id3Tag, PicturesAreTypedByTheirFirstBytes)
{
    std::string const png = "\x89PNG\r\n\x1A\n and the rest";
    Id3Tag tag;
    tag.set_picture(reinterpret_cast<uint8_t const*>(png.data()), png.size());
    ASSERT_EQ(tag.frames().size(), 1u);
    EXPECT_EQ(tag.frames()[0].name(), "APIC");
    auto const& data = tag.frames()[0].data;
    EXPECT_EQ(std::string(reinterpret_cast<char const*>(data.data()), data.length()),
        std::string("\0image/png\0\0\0", 13) + png);

    std::pair<std::string, char const*> const types[] = { { "\xFF\xD8\xFF\xE0\0\x10JFIF", "image/jpeg" },
        { "GIF89a;;;", "image/gif" }, { "GIF87a;;;", "image/gif" }, { "\x89PNG\r\n\x1A\r", "image/xyz" } };
    for (auto const& [bytes, type] : types)
        EXPECT_EQ(Id3Tag::mime_type(reinterpret_cast<uint8_t const*>(bytes.data()), bytes.size()), type);

    tag.set_picture(reinterpret_cast<uint8_t const*>(png.data()), 7);
    EXPECT_TRUE(tag.frames().empty()) << "seven bytes remove the picture";
}

TEST(Id3Tag, FramesAreReadOnlyWithinTheTagAndTheFile)
{
    std::string const title = frame("TIT2", std::string("\0Voice", 6));
    // Audio right after a tag without padding looks like one more frame: it is not taken.
    std::string const audio_like = frame("TPE1", std::string("\0Not a frame", 12));
    Id3Tag tag;
    EXPECT_EQ(read_tag(tag, tag_header(uint32_t(title.size())) + title + audio_like), 10 + title.size());
    EXPECT_EQ(std::pair(tag.frames().size(), tag.text("TIT2")), std::pair(size_t(1), core::String(u"Voice")));

    // A frame larger than what is left of the tag, or of the file, ends the frames; those before stay.
    std::string const oversized = frame("TALB", std::string(40, 'x'));
    std::pair<std::string, uint32_t> const shortened[] = {
        { tag_header(uint32_t(title.size() + 30)) + title + oversized, uint32_t(10 + title.size() + 30) },
        { tag_header(4000) + title + oversized.substr(0, 20), 4010 },
        { tag_header(200) + title + "TALB\x0F\xFF\xFF\xFF\0\0", 210 },
    };
    for (auto const& [bytes, size] : shortened) {
        EXPECT_EQ(read_tag(tag, bytes), size);
        EXPECT_EQ(tag.frames().size(), 1u) << size;
    }

    // An extended header with a CRC is stepped over.
    std::string const extended = std::string("\0\0\0\x0A\x80\0\0\0\0\0", 10) + "CRC!";
    EXPECT_EQ(read_tag(tag, tag_header(uint32_t(14 + title.size()), 0x40) + extended + title), 24 + title.size());
    EXPECT_EQ(tag.text("TIT2"), u"Voice");
}

TEST(Id3Tag, ForeignHeadersReadAsNoTag)
{
    std::string const body = frame("TIT2", std::string("\0x", 2));
    Id3Tag tag;
    for (std::string const& bad : {
             "ID2" + tag_header(20).substr(3),
             std::string("ID3\xFF\0\0", 6) + tag_header(20).substr(6),
             tag_header(20, 0x10),
             tag_header(20).substr(0, 9) + "\x80",
             std::string("ID3\3"),
         })
        EXPECT_EQ(read_tag(tag, bad + body), 0u);
}

} // namespace
