#include <TestSupport.h>
#include <document/RecordStore.h>
#include <os/Paths.h>

using namespace document;
using core::String;
using testing_support::fresh_dir;
using testing_support::write_file;

namespace {

String wide(std::string const& text)
{
    return core::from_utf8(text);
}

RecordEntry entry(char16_t const* path, int hour)
{
    RecordEntry e;
    e.path = path;
    e.time = os::DateTime { 2026, 12, 6, hour, 0, 0, 0 };
    return e;
}

std::vector<String> paths(RecordList const& list)
{
    std::vector<String> out;
    for (size_t i = 0; i < list.size(); ++i)
        out.push_back(list[i].path);
    return out;
}

} // namespace

TEST(RecordStore, SizeTexts)
{
    // Far beyond 32 bits the tenth is still one digit.
    std::pair<uint64_t, String> const cases[] = { { 0, u"" }, { 500, u"500B" }, { 1023, u"1023B" }, { 2048, u"2K" },
        { 1048575, u"1023K" }, { 1500000, u"1.4M" }, { 1048576, u"1.0M" }, { 5'000'000'000ULL, u"4768.3M" } };
    for (auto const& [bytes, text] : cases)
        EXPECT_EQ(size_text(bytes), text) << bytes;
}

TEST(RecordStore, FileNamesAreCleanedAndMadeUnique)
{
    String const folder = wide(fresh_dir("names"));
    for (String const suffix : { u"", u"~1", u"~2" }) {
        String const path = make_file_name(u"Ann 6.12.2026 10:15:00? <x>|*\"/\\", folder, u"mp3");
        EXPECT_EQ(os::file_name(path), u"Ann 6.12.2026 10 15 00   x      " + suffix + u".mp3");
        write_file(core::to_utf8(path), "x");
    }
    // A folder of that name counts as taken too.
    std::filesystem::create_directories(core::to_utf8(os::join(folder, u"Bob.wav")));
    EXPECT_EQ(os::file_name(make_file_name(u"Bob", folder, u"wav")), u"Bob~1.wav");
}

// Callers' cards, tags and typed names are outside text: a line break in a name would print as two
// lines, and the printed path would not be the file.
TEST(RecordStore, FileNamesHoldNoControlCharacters)
{
    String const folder = wide(fresh_dir("controls"));
    std::pair<String, String> const cases[] = { { u"Evil\nName", u"Evil Name.mp3" }, { u"a\r\nb", u"a  b.mp3" },
        { u"tab\there", u"tab here.mp3" }, { u"esc\x1B[31mred", u"esc [31mred.mp3" },
        { String(u"nul") + u'\0' + u"x", u"nul x.mp3" }, { u"del\x7F", u"del .mp3" },
        { u"next\u0085line", u"next line.mp3" }, { u"line\u2028para\u2029end", u"line para end.mp3" },
        { u"Анна \U0001F3B5 ok", u"Анна \U0001F3B5 ok.mp3" }, { u"Record 1", u"Record 1.mp3" } };
    for (auto const& [base, name] : cases)
        EXPECT_EQ(os::file_name(make_file_name(base, folder, u"mp3")), name) << core::to_utf8(name);
}

TEST(RecordStore, ALongBaseIsCutOnlyAsFarAsThePathNeeds)
{
    String const folder = wide(fresh_dir("long"));
    String const base(400, u'a');
    // The "~1" still fits: the base gives up two more characters.
    for (String const end : { u"aaa.mp3", u"a~1.mp3" }) {
        String const path = make_file_name(base, folder, u"mp3");
        EXPECT_EQ(path.size(), MAX_PATH_LENGTH);
        EXPECT_TRUE(path.ends_with(end)) << core::to_utf8(path);
        write_file(core::to_utf8(path), "x");
    }
    // Linux allows 255 bytes per name: four-byte characters are cut to fit, never between surrogates.
    String emoji;
    for (int i = 0; i < 200; ++i)
        emoji += u"\U0001F3B5";
    String const emoji_name = os::file_name(make_file_name(emoji, folder, u"mp3"));
    EXPECT_LE(core::to_utf8(emoji_name).size(), MAX_NAME_BYTES);
    EXPECT_EQ(core::from_utf8(core::to_utf8(emoji_name)), emoji_name);
    EXPECT_TRUE(emoji_name.ends_with(u"\U0001F3B5.mp3"));
}

TEST(RecordStore, AudioFilesAndMainMemory)
{
    std::pair<char16_t const*, bool> const audio[] = { { u"/a/b/Note.MP3", true }, { u"/a/b/call.Wav", true },
        { u"/a/b/x.Opus", true }, { u"/a/b/x.flac", true }, { u"/a/b/talk.ogg", true }, { u"/a/b/x.oga", true },
        { u"/a/b/x.mpc", true }, { u"/a/b/list.txt", false }, { u"/a/b.mp3/readme", false } };
    for (auto const& [path, expected] : audio)
        EXPECT_EQ(is_audio_file(path), expected) << core::to_utf8(path);

    String const documents = os::expand_path(u"%my_documents%");
    auto const folders = get_store_folders();
    ASSERT_EQ(folders.size(), 1u); // the tests run without cards
    EXPECT_EQ(std::pair(folders[0].label, folders[0].path),
        std::pair(String(u"Menu_MainMemory"), os::join(documents, u"My Ravelin")));
}

TEST(RecordStore, TheListIsNewestFirstAndListsAPathOnce)
{
    RecordList list;
    std::vector<int> at;
    // Equal times: the newcomer goes before the ones it does not follow.
    for (auto [path, hour] :
        std::initializer_list<std::pair<char16_t const*, int>> { { u"/s/10.mp3", 10 }, { u"/s/12.mp3", 12 },
            { u"/s/11.mp3", 11 }, { u"/s/09.mp3", 9 }, { u"/s/11b.mp3", 11 }, { u"/s/11.mp3", 23 } })
        at.push_back(list.insert(entry(path, hour)));
    EXPECT_EQ(at, (std::vector<int> { 0, 0, 1, 3, 1, -1 }));
    EXPECT_EQ(
        paths(list), (std::vector<String> { u"/s/12.mp3", u"/s/11b.mp3", u"/s/11.mp3", u"/s/10.mp3", u"/s/09.mp3" }));
    EXPECT_EQ(list.find(u"/s/11.mp3"), 2);

    list.remove(2);
    EXPECT_EQ(list.find(u"/s/11.mp3"), -1);
    EXPECT_EQ(list.insert(entry(u"/s/11.mp3", 11)), 1); // before the equal-timed 11b again

    RecordEntry renamed = list[0];
    renamed.path = u"/s/renamed.mp3";
    list.replace(0, renamed);
    EXPECT_EQ(std::pair(list.find(u"/s/12.mp3"), list.find(u"/s/renamed.mp3")), std::pair(-1, 0));
    EXPECT_EQ(list.insert(entry(u"/s/12.mp3", 12)), 0); // the old path is free again
}

// A tag that claims more than the file holds, and a file with nothing in it, are listed by their names.
TEST(RecordStore, ABrokenTagAndAnEmptyFileAreReadWithoutAFault)
{
    std::string const dir = fresh_dir("entries");
    write_file(dir + "/broken.mp3", std::string("ID3\x03\0\0\x7f\x7f\x7f\x7f", 10) + "TIT2");
    write_file(dir + "/empty.wav", "");
    RecordEntry const broken = read_record_entry(wide(dir + "/broken.mp3"));
    RecordEntry const empty = read_record_entry(wide(dir + "/empty.wav"));
    EXPECT_EQ(broken.title + u"|" + broken.artist + u"|" + broken.size, u"broken||14B");
    EXPECT_EQ(empty.title + u"|" + empty.artist + u"|" + empty.size, u"empty||");
}
