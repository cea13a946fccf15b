#include <document/RecordStore.h>
#include <document/Settings.h>
#include <gtest/gtest.h>
#include <limits>
#include <screens/RecordFilter.h>
#include <screens/ScreenTexts.h>

using core::String;
using namespace screens;

namespace {

document::RecordEntry entry(String artist, String title)
{
    document::RecordEntry e;
    e.path = u"/m/" + artist + u" " + title + u".mp3";
    e.artist = std::move(artist);
    e.title = std::move(title);
    return e;
}

RecordFilter filter_with(String const& keys)
{
    RecordFilter filter;
    filter.set_key_map({ { u"2", u"abc2" }, { u"5", u"jkl5" }, { u"6", u"mno6" }, { u"3", u"def3" } });
    // A record the keys always match keeps the filter open while they are typed.
    document::RecordList records;
    records.insert(entry(keys, u"y"));
    filter.rebuild(records);
    for (char16_t key : keys)
        filter.type(key, records);
    return filter;
}

struct MatchCase {
    char16_t const* keys;
    char16_t const* text;
    int32_t at;
};

class FilterMatch : public ::testing::TestWithParam<MatchCase> { };

TEST_P(FilterMatch, FindsTheFirstWordWhoseStartTheKeysStandFor)
{
    EXPECT_EQ(filter_with(GetParam().keys).match(GetParam().text), GetParam().at) << core::to_utf8(GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Table, FilterMatch,
    ::testing::Values(MatchCase { u"", u"anything", 0 }, MatchCase { u"2", u"Ann Lee", 0 },
        // The first word does not match, the second does.
        MatchCase { u"5", u"Ann Lee", 4 }, MatchCase { u"25", u"Bob Clara", 4 },
        // Inside a word is no start; after a separator is.
        MatchCase { u"3", u"Greg", -1 }, MatchCase { u"3", u"x-ray(dog", 6 }, MatchCase { u"2", u"'cat'", 1 },
        MatchCase { u"6", u"\"Mo\"", 1 }, MatchCase { u"2", u"  a", 2 },
        // Upper case is lowered; a key the map lacks stands for itself alone.
        MatchCase { u"66", u"NOON", 0 }, MatchCase { u"#", u"Call #5", 5 }, MatchCase { u"#", u"Call 5", -1 },
        MatchCase { u"9", u"wxyz", -1 }, MatchCase { u"9", u"Take 9", 5 },
        // Longer than the text, or than every word's tail.
        MatchCase { u"222", u"ab", -1 }, MatchCase { u"22", u"Bob a", -1 }));

TEST(RecordFilterTest, TypingOnlyWhileSomethingIsShownAndBackspaceToEmpty)
{
    document::RecordList records;
    records.insert(entry(u"Ann Lee", u"Call"));
    records.insert(entry(u"Bob", u"Meeting Thursday"));
    records.insert(entry(u"Record", u"Lecture"));
    RecordFilter filter;
    filter.set_key_map({ { u"2", u"abc2" }, { u"5", u"jkl5" }, { u"6", u"mno6" }, { u"8", u"tuv8" } });
    filter.rebuild(records);
    EXPECT_EQ(filter.shown().size(), 3u);

    ASSERT_TRUE(filter.type(u'5', records)); // Lee, Lecture
    EXPECT_EQ(filter.shown().size(), 2u);
    EXPECT_TRUE(filter.type(u'2', records)); // nothing: "le" needs 3 for e
    EXPECT_TRUE(filter.shown().empty());
    EXPECT_FALSE(filter.type(u'5', records));
    EXPECT_EQ(filter.keys(), u"52");
    EXPECT_TRUE(filter.backspace(records));
    EXPECT_EQ(filter.shown().size(), 2u);
    EXPECT_EQ(filter.position_of(records.find(u"/m/Bob Meeting Thursday.mp3")), -1);
    EXPECT_TRUE(filter.backspace(records));
    EXPECT_EQ(filter.shown().size(), 3u);
    EXPECT_FALSE(filter.backspace(records));
}

TEST(RecordFilterTest, ReadsTheKeypadMapFromItsFile)
{
    RecordFilter filter;
    EXPECT_FALSE(filter.load_key_map(u"/nonexistent/keyboard.txt"));
    ASSERT_TRUE(filter.load_key_map(core::from_utf8(RAVELIN_BIN_DIR "/keyboard.txt")));
    document::RecordList records;
    records.insert(entry(u"Анна", u"x"));
    records.insert(entry(u"Zed", u"x"));
    filter.rebuild(records);
    filter.type(u'2', records);
    ASSERT_EQ(filter.shown().size(), 1u);
    EXPECT_EQ(records[static_cast<size_t>(filter.shown()[0])].artist, u"Анна");
}

TEST(ScreenTextsTest, DurationsAtTheirEdges)
{
    std::pair<double, char16_t const*> const cases[] = { { 59, u"0:00:59" }, { 59.99, u"0:00:59" },
        { 3600, u"1:00:00" }, { 307, u"0:05:07" }, { 35999, u"9:59:59" }, { 36000, u"10 h" }, { 360000, u"100 h" },
        { -5, u"0:00:00" }, { std::numeric_limits<double>::quiet_NaN(), u"0:00:00" },
        { std::numeric_limits<double>::infinity(), u"277777777777 h" } };
    for (auto [seconds, text] : cases)
        EXPECT_EQ(duration_text(seconds), text) << seconds;
    EXPECT_EQ(two_digits(7), u"07");
    EXPECT_EQ(two_digits(123), u"23");
}

TEST(ScreenTextsTest, SizesFormatsTimeLeftAndSliders)
{
    EXPECT_EQ((std::vector { document::size_text(0), document::size_text(1023), document::size_text(1024),
                  document::size_text(1572864) }),
        (std::vector<String> { u"", u"1023B", u"1K", u"1.5M" }));
    EXPECT_EQ(document::describe_format(8000, 16, 32000), u"8kHz 16bit 32kbps");
    EXPECT_EQ(document::describe_format(44100, 16, 0), u"44kHz 16bit");
    EXPECT_EQ(duration_text(seconds_left(1'000'000, 64000)), u"0:02:05");
    EXPECT_EQ(seconds_left(1'000'000, 0), 0);
    EXPECT_EQ((std::vector { slider_value(100, 100, 200), slider_value(150, 100, 200), slider_value(500, 100, 200),
                  slider_value(40, 100, 200), slider_value(150, 100, 0) }),
        (std::vector { 0.0, 0.25, 1.0, 0.0, 0.0 }));
}

TEST(ScreenTextsTest, RowIconsByStorageAndAlbum)
{
    String const docs = u"/home/u/Documents";
    EXPECT_EQ(row_icon_name(u"/home/u/Documents/My Ravelin/a.mp3", u"Record", docs), u"main_memory");
    EXPECT_EQ(
        row_icon_name(u"/home/u/Documents/My Ravelin/Incoming/a.mp3", u"Incoming", docs), u"main_memory_incoming");
    EXPECT_EQ(row_icon_name(u"/home/u/Documents/x/a.mp3", u"Outgoing", docs), u"main_memory_outgoing");
    EXPECT_EQ(row_icon_name(u"/media/card/Documents/My Ravelin/Outgoing/a.mp3", u"Outgoing", docs), u"card_outgoing");
    EXPECT_EQ(row_icon_name(u"/media/card/a.mp3", u"Incoming", docs), u"card_incoming");
    EXPECT_EQ(row_icon_name(u"/media/card/a.mp3", u"Meeting", docs), u"card");
}

} // namespace
