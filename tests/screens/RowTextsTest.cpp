#include "TestSupport.h"

#include <document/RecordInfo.h>
#include <screens/RowTexts.h>

using document::RecordEntry;
using screens::row_texts;

namespace {

struct Row {
    char const* what;
    char const* language;
    RecordEntry entry;
    char16_t const* strong;
    char16_t const* secondary;
};

// Monday 7 December 2026, 10:44:12.
os::DateTime const MORNING { 2026, 12, 7, 10, 44, 12, 0, 1 };

RecordEntry entry(core::StringView artist, core::StringView title, core::StringView album, int64_t ms)
{
    RecordEntry e;
    e.path = u"/home/u/Documents/My Ravelin/x.mp3";
    e.artist = artist;
    e.title = title;
    e.album = album;
    e.time = MORNING;
    e.duration_ms = ms;
    return e;
}

class RowTextsTest : public testing::TestWithParam<Row> { };

TEST_P(RowTextsTest, StrongLineTellsRecordingsApartAndTheOtherSaysWhenAndHowLong)
{
    auto const& row = GetParam();
    lang::Dictionary words;
    ASSERT_TRUE(words.load(core::from_utf8(testing_support::bin_dir() + "/" + row.language + ".lng")));
    auto const texts = row_texts(row.entry, words);
    EXPECT_EQ(texts.strong, row.strong) << row.what;
    EXPECT_EQ(texts.secondary, row.secondary) << row.what;
}

core::String const DATE_NAME = os::date_text(MORNING, true) + u" " + os::time_text(MORNING);

INSTANTIATE_TEST_SUITE_P(Entries, RowTextsTest,
    testing::Values(Row { "voice note", "english", entry(u"Record", DATE_NAME, u"Record", 42'700), u"Mon 7 Dec, 10:44",
                        u"Mon 7 Dec, 10:44 \u00B7 0:42" },
        Row { "voice note", "russian", entry(u"Record", DATE_NAME, u"Record", 3'723'000), u"Пн 7 дек, 10:44",
            u"Пн 7 дек, 10:44 \u00B7 1:02:03" },
        Row { "renamed note", "english", entry(u"Record", u"Budget", u"Record", 605'000), u"Budget",
            u"Mon 7 Dec, 10:44 \u00B7 10:05" },
        Row { "named call", "english", entry(u"Ann Lee", DATE_NAME, u"Incoming", 61'000), u"Ann Lee",
            u"Mon 7 Dec, 10:44 \u00B7 1:01" },
        Row { "withheld call", "russian", entry(u"", DATE_NAME, u"Outgoing", 0), u"Номер скрыт",
            u"Пн 7 дек, 10:44 \u00B7 0:00" },
        // Another program's file: its name stands as the title (title_or_name).
        Row { "untagged file", "english", entry(u"", u"interview", u"", 9'000), u"interview",
            u"Mon 7 Dec, 10:44 \u00B7 0:09" },
        Row { "damaged file", "english", entry(u"", u"broken", u"", -1), u"broken", u"Mon 7 Dec, 10:44" }),
    [](auto const& info) { return std::to_string(info.index); });

} // namespace

namespace {

TEST(ValueTexts, TimeLeftAsDaysAndSizesAsWrittenInBothLanguages)
{
    lang::Dictionary en, ru;
    ASSERT_TRUE(en.load(core::from_utf8(testing_support::bin_dir() + "/english.lng")));
    ASSERT_TRUE(ru.load(core::from_utf8(testing_support::bin_dir() + "/russian.lng")));
    struct Left {
        double seconds;
        char16_t const *english, *russian;
    } const lefts[]
        = { { 307, u"0:05:07", u"0:05:07" }, { 10 * 3600, u"10 h", u"10 ч" }, { 99 * 3600, u"99 h", u"99 ч" },
              { 99 * 3600 + 1, u"4 days", u"4 дн." }, { 2903 * 3600, u"120 days", u"120 дн." } };
    for (auto const& l : lefts) {
        EXPECT_EQ(screens::time_left_text(l.seconds, en), l.english) << l.seconds;
        EXPECT_EQ(screens::time_left_text(l.seconds, ru), l.russian) << l.seconds;
    }
    struct Size {
        uint64_t bytes;
        char16_t const *english, *russian;
    } const sizes[] = { { 500, u"500 B", u"500 Б" }, { 2048, u"2 KB", u"2 КБ" }, { 1'992'295, u"1.9 MB", u"1,9 МБ" },
        { 1'048'575, u"1.0 MB", u"1,0 МБ" }, { 5'000'000'000, u"4.7 GB", u"4,7 ГБ" } };
    for (auto const& s : sizes) {
        EXPECT_EQ(screens::size_words(s.bytes, en), s.english) << s.bytes;
        EXPECT_EQ(screens::size_words(s.bytes, ru), s.russian) << s.bytes;
    }
}

} // namespace
