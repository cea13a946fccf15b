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

TEST(RecordFilterTest, FindsTheFirstWordWhoseStartTheKeysStandFor)
{
    MatchCase const cases[] = { { u"", u"anything", 0 }, { u"2", u"Ann Lee", 0 },
        // The first word does not match, the second does.
        { u"5", u"Ann Lee", 4 }, { u"25", u"Bob Clara", 4 },
        // Inside a word is no start; after a separator is.
        { u"3", u"Greg", -1 }, { u"3", u"x-ray(dog", 6 }, { u"2", u"'cat'", 1 }, { u"6", u"\"Mo\"", 1 },
        { u"2", u"  a", 2 },
        // Upper case is lowered; a key the map lacks stands for itself alone.
        { u"66", u"NOON", 0 }, { u"#", u"Call #5", 5 }, { u"#", u"Call 5", -1 }, { u"9", u"wxyz", -1 },
        { u"9", u"Take 9", 5 },
        // Longer than the text, or than every word's tail.
        { u"222", u"ab", -1 }, { u"22", u"Bob a", -1 } };
    for (auto const& c : cases)
        EXPECT_EQ(filter_with(c.keys).match(c.text), c.at) << core::to_utf8(c.keys) << " in " << core::to_utf8(c.text);
}

TEST(ScreenTextsTest, DurationsAtTheirEdges)
{
    std::pair<double, char16_t const*> const cases[] = { { 59, u"0:00:59" }, { 59.99, u"0:00:59" },
        { 3600, u"1:00:00" }, { 307, u"0:05:07" }, { 35999, u"9:59:59" }, { 36000, u"10 h" }, { 360000, u"100 h" },
        { -5, u"0:00:00" }, { std::numeric_limits<double>::quiet_NaN(), u"0:00:00" },
        { std::numeric_limits<double>::infinity(), u"277777777777 h" } };
    for (auto [seconds, text] : cases)
        EXPECT_EQ(duration_text(seconds), text) << seconds;
    EXPECT_EQ(two_digits(7) + two_digits(123), u"0723");
}

TEST(ScreenTextsTest, TimeLeftAndSliders)
{
    EXPECT_EQ(std::pair(duration_text(seconds_left(1'000'000, 64000)), seconds_left(1'000'000, 0)),
        std::pair(String(u"0:02:05"), 0.0));
    EXPECT_EQ((std::vector { slider_value(100, 100, 200), slider_value(150, 100, 200), slider_value(500, 100, 200),
                  slider_value(40, 100, 200), slider_value(150, 100, 0) }),
        (std::vector { 0.0, 0.25, 1.0, 0.0, 0.0 }));
}

TEST(ScreenTextsTest, RowIconsByStorageAndAlbum)
{
    char16_t const* const cases[][3] = { { u"/home/u/Documents/My Ravelin/a.mp3", u"Record", u"main_memory" },
        { u"/home/u/Documents/My Ravelin/Incoming/a.mp3", u"Incoming", u"main_memory_incoming" },
        { u"/home/u/Documents/x/a.mp3", u"Outgoing", u"main_memory_outgoing" },
        { u"/media/card/Documents/My Ravelin/Outgoing/a.mp3", u"Outgoing", u"card_outgoing" },
        { u"/media/card/a.mp3", u"Incoming", u"card_incoming" }, { u"/media/card/a.mp3", u"Meeting", u"card" } };
    for (auto const& [path, album, icon] : cases)
        EXPECT_EQ(row_icon_name(path, album, u"/home/u/Documents"), icon) << core::to_utf8(path);
}

} // namespace
