#include <TestSupport.h>
#include <document/RecordStore.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <os/Paths.h>
#include <os/Registry.h>
#include <phone/PhoneState.h>
#include <platform/services/registry_store.h>

using namespace document;
using core::String;
using testing_support::fresh_dir;
using testing_support::write_file;

namespace {

String wide(std::string const& text)
{
    return core::from_utf8(text);
}

RecordEntry entry(char16_t const* path, int hour, int minute = 0)
{
    RecordEntry e;
    e.path = path;
    e.time = os::DateTime { 2026, 12, 6, hour, minute, 0, 0 };
    return e;
}

} // namespace

TEST(RecordStore, SizeTexts)
{
    EXPECT_EQ(size_text(0), u"");
    EXPECT_EQ(size_text(500), u"500B");
    EXPECT_EQ(size_text(1023), u"1023B");
    EXPECT_EQ(size_text(2048), u"2K");
    EXPECT_EQ(size_text(1048575), u"1023K");
    EXPECT_EQ(size_text(1500000), u"1.4M");
    EXPECT_EQ(size_text(1048576), u"1.0M");
    // Far beyond 32 bits the tenth is still one digit.
    EXPECT_EQ(size_text(5'000'000'000ULL), u"4768.3M");
}

TEST(RecordStore, FileNamesAreCleanedAndMadeUnique)
{
    String const folder = wide(fresh_dir("names"));
    String const first = make_file_name(u"Ann 6.12.2026 10:15:00? <x>|*\"/\\", folder, u"mp3");
    EXPECT_EQ(os::file_name(first), u"Ann 6.12.2026 10 15 00   x      .mp3");
    write_file(core::to_utf8(first), "x");
    String const second = make_file_name(u"Ann 6.12.2026 10:15:00? <x>|*\"/\\", folder, u"mp3");
    EXPECT_EQ(os::file_name(second), u"Ann 6.12.2026 10 15 00   x      ~1.mp3");
    write_file(core::to_utf8(second), "x");
    EXPECT_EQ(os::file_name(make_file_name(u"Ann 6.12.2026 10:15:00? <x>|*\"/\\", folder, u"mp3")),
        u"Ann 6.12.2026 10 15 00   x      ~2.mp3");
    // A folder of that name counts as taken too.
    std::filesystem::create_directories(core::to_utf8(os::join(folder, u"Bob.wav")));
    EXPECT_EQ(os::file_name(make_file_name(u"Bob", folder, u"wav")), u"Bob~1.wav");
}

// Callers' cards, tags and typed names are outside text: a line break in a name would print as two
// lines, and the printed path would not be the file.
TEST(RecordStore, FileNamesHoldNoControlCharacters)
{
    String const folder = wide(fresh_dir("controls"));
    std::pair<String, String> const cases[] = {
        { u"Evil\nName", u"Evil Name.mp3" },
        { u"a\r\nb", u"a  b.mp3" },
        { u"tab\there", u"tab here.mp3" },
        { u"esc\x1B[31mred", u"esc [31mred.mp3" },
        { String(u"nul") + u'\0' + u"x", u"nul x.mp3" },
        { u"del\x7F", u"del .mp3" },
        { u"next\u0085line", u"next line.mp3" },
        { u"line\u2028para\u2029end", u"line para end.mp3" },
        { u"Анна \U0001F3B5 ok", u"Анна \U0001F3B5 ok.mp3" },
    };
    for (auto const& [base, name] : cases)
        EXPECT_EQ(os::file_name(make_file_name(base, folder, u"mp3")), name) << core::to_utf8(name);
}

TEST(RecordStore, ALongBaseIsCutOnlyAsFarAsThePathNeeds)
{
    String const folder = wide(fresh_dir("long"));
    String const base(400, u'a');
    String const path = make_file_name(base, folder, u"mp3");
    EXPECT_EQ(path.size(), MAX_PATH_LENGTH);
    EXPECT_TRUE(path.ends_with(u"aaa.mp3"));
    write_file(core::to_utf8(path), "x");
    // The "~1" still fits: the base gives up two more characters.
    String const next = make_file_name(base, folder, u"mp3");
    EXPECT_EQ(next.size(), MAX_PATH_LENGTH);
    EXPECT_TRUE(next.ends_with(u"a~1.mp3"));

    // A short base is kept whole.
    EXPECT_EQ(os::file_name(make_file_name(u"Record 1", folder, u"mp3")), u"Record 1.mp3");

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
    EXPECT_TRUE(is_audio_file(u"/a/b/Note.MP3"));
    EXPECT_TRUE(is_audio_file(u"/a/b/call.Wav"));
    for (char16_t const* name : { u"/a/b/x.Opus", u"/a/b/x.flac", u"/a/b/talk.ogg", u"/a/b/x.oga", u"/a/b/x.mpc" })
        EXPECT_TRUE(is_audio_file(name)) << core::to_utf8(name);
    EXPECT_FALSE(is_audio_file(u"/a/b/list.txt"));
    EXPECT_FALSE(is_audio_file(u"/a/b.mp3/readme"));
    String const documents = os::expand_path(u"%my_documents%");
    EXPECT_TRUE(is_in_main_memory(documents + u"/My Ravelin/x.mp3"));
    EXPECT_FALSE(is_in_main_memory(u"/media/card/Documents/My Ravelin/x.mp3"));

    auto const folders = get_store_folders();
    ASSERT_EQ(folders.size(), 1u); // the tests run without cards
    EXPECT_EQ(folders[0].label, u"Menu_MainMemory");
    EXPECT_EQ(folders[0].path, os::join(documents, u"My Ravelin"));
}

TEST(RecordStore, StoreFoldersOnCardsKeepTheDocumentsLayout)
{
    std::string const card = fresh_dir("cards") + "/SD Card";
    std::filesystem::create_directories(card);
    setenv("RAVELIN_CARDS", card.c_str(), 1);
    auto const folders = get_store_folders();
    setenv("RAVELIN_CARDS", "", 1);
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[1].label, u"SD Card");
    String const documents = os::strip_trailing_separator(os::expand_path(u"%my_documents%"));
    EXPECT_EQ(folders[1].path, os::join(os::join(wide(card), os::file_name(documents)), u"My Ravelin"));
}

TEST(RecordStore, TheListIsNewestFirstAndListsAPathOnce)
{
    RecordList list;
    EXPECT_EQ(list.insert(entry(u"/s/10.mp3", 10)), 0);
    EXPECT_EQ(list.insert(entry(u"/s/12.mp3", 12)), 0);
    EXPECT_EQ(list.insert(entry(u"/s/11.mp3", 11)), 1);
    EXPECT_EQ(list.insert(entry(u"/s/09.mp3", 9)), 3);
    // Equal times: the newcomer goes before the ones it does not follow.
    EXPECT_EQ(list.insert(entry(u"/s/11b.mp3", 11)), 1);
    EXPECT_EQ(list.insert(entry(u"/s/11.mp3", 23)), -1);
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list[0].path, u"/s/12.mp3");
    EXPECT_EQ(list[4].path, u"/s/09.mp3");
    EXPECT_EQ(list.find(u"/s/11.mp3"), 2);

    list.remove(2);
    EXPECT_EQ(list.find(u"/s/11.mp3"), -1);
    EXPECT_EQ(list.insert(entry(u"/s/11.mp3", 11)), 1); // before the equal-timed 11b again

    RecordEntry renamed = list[0];
    renamed.path = u"/s/renamed.mp3";
    list.replace(0, renamed);
    EXPECT_EQ(list.find(u"/s/12.mp3"), -1);
    EXPECT_EQ(list.find(u"/s/renamed.mp3"), 0);
    EXPECT_EQ(list.insert(entry(u"/s/12.mp3", 12)), 0); // the old path is free again
}

TEST(RecordStore, EntriesComeFromTheFilesTagSizeAndTimes)
{
    std::string const dir = fresh_dir("entries");
    // An ID3v2.3 tag with TIT2 "Hi" and TPE1 "Ann", then some bytes.
    std::string const frames = std::string("TIT2\0\0\0\x03\0\0\0Hi", 13) + std::string("TPE1\0\0\0\x04\0\0\0Ann", 14);
    std::string tag = std::string("ID3\x03\0\0\0\0\0", 9) + char(frames.size()) + frames;
    write_file(dir + "/tagged.mp3", tag + std::string(3000, '\xff'));
    RecordEntry const e = read_record_entry(wide(dir + "/tagged.mp3"));
    EXPECT_EQ(e.title, u"Hi");
    EXPECT_EQ(e.artist, u"Ann");
    EXPECT_EQ(e.album, u"");
    EXPECT_EQ(e.size, u"2K");
    EXPECT_GT(e.time.year, 2000);

    // Without a title in the tag (none at all, or only an artist), the file's name stands for it.
    write_file(dir + "/Other program.wav", std::string(100, '\x01'));
    EXPECT_EQ(read_record_entry(wide(dir + "/Other program.wav")).title, u"Other program");
    std::string const artist_only = std::string("TPE1\0\0\0\x04\0\0\0Ann", 14);
    write_file(dir + "/Ann only.mp3", std::string("ID3\x03\0\0\0\0\0", 9) + char(14) + artist_only + "xyz");
    RecordEntry const ann = read_record_entry(wide(dir + "/Ann only.mp3"));
    EXPECT_EQ(ann.artist, u"Ann");
    EXPECT_EQ(ann.title, u"Ann only");

    // A broken tag and an empty file are read without a fault.
    write_file(dir + "/broken.mp3", std::string("ID3\x03\0\0\x7f\x7f\x7f\x7f", 10) + "TIT2");
    EXPECT_EQ(read_record_entry(wide(dir + "/broken.mp3")).size, u"14B");
    write_file(dir + "/empty.wav", "");
    EXPECT_EQ(read_record_entry(wide(dir + "/empty.wav")).size, u"");
}

TEST(PhoneState, ATalkingCallFromTheRegistry)
{
    auto& store = platform::RegistryStore::instance();
    auto const clear = [&] {
        for (auto name : { u"Active Call Count", u"Status", u"Caller Name", u"Caller Number" })
            store.remove_value(platform::RegistryRoot::LOCAL_MACHINE, u"System\\State\\Phone", name);
    };
    clear();
    String name = u"kept", number;
    EXPECT_FALSE(phone::is_call_active());
    EXPECT_EQ(phone::get_call_info(name, number), phone::CALL_NONE);
    EXPECT_EQ(name, u"kept");

    os::reg_set_dword(phone::PHONE_STATE_KEY, u"Active Call Count", 1);
    os::reg_set_dword(phone::PHONE_STATE_KEY, u"Status", 0x00000010); // ringing
    EXPECT_TRUE(phone::is_call_active());
    EXPECT_FALSE(phone::is_talking());
    EXPECT_EQ(phone::get_call_info(name, number), phone::CALL_NONE);

    os::reg_set_dword(phone::PHONE_STATE_KEY, u"Status", phone::STATUS_TALKING | 0x10);
    os::reg_set_string(phone::PHONE_STATE_KEY, u"Caller Number", u"+44 20 7946 0000");
    testing_support::LogCapture log;
    name.clear();
    EXPECT_EQ(phone::get_call_info(name, number), phone::CALL_UNKNOWN_DIRECTION);
    EXPECT_EQ(name, u""); // no "Caller Name": left as it was
    EXPECT_EQ(number, u"+44 20 7946 0000");
    EXPECT_TRUE(log.contains("TAPI ret=0\n"));

    clear();

    EXPECT_FALSE(phone::is_speaker_on());
    os::reg_set_dword(phone::HARDWARE_STATE_KEY, u"Speaker", 1);
    EXPECT_TRUE(phone::is_speaker_on());
    store.remove_value(platform::RegistryRoot::LOCAL_MACHINE, u"System\\State\\Hardware", u"Speaker");
}
