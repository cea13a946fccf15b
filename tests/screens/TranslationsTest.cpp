// What the language files add to the screens' own texts: dates in each language's order, and the
// keypad map's letters of every language shipped.
#include "TestSupport.h"

#include <document/RecordStore.h>
#include <screens/RecordFilter.h>
#include <screens/RowTexts.h>

namespace {

lang::Dictionary words(std::string const& language)
{
    lang::Dictionary d;
    EXPECT_TRUE(d.load(core::from_utf8(testing_support::bin_dir() + "/" + language + ".lng"))) << language;
    return d;
}

os::DateTime const MORNING { 2026, 12, 7, 9, 5, 3, 0, 1 }; // a Monday

TEST(Translations, DatesReadInTheOrderOfEachLanguage)
{
    struct {
        char const* language;
        char16_t const *row, *name;
    } const cases[] = {
        { "english", u"Mon 7 Dec, 9:05", u"Monday, 7 December 2026 9:05:03" },
        { "russian", u"Пн 7 дек, 9:05", u"понедельник, 7 декабря 2026 9:05:03" },
        { "german", u"Mo 7. Dez, 9:05", u"Montag, 7. Dezember 2026 9:05:03" },
        { "french", u"lun 7 déc, 9:05", u"lundi 7 décembre 2026 9:05:03" },
        { "spanish", u"lun 7 dic, 9:05", u"lunes, 7 de diciembre de 2026 9:05:03" },
        { "ukrainian", u"Пн 7 гру, 9:05", u"понеділок, 7 грудня 2026 9:05:03" },
        { "chinese", u"12月7日 周一 9:05", u"2026年12月7日 星期一 9:05:03" },
    };
    for (auto const& c : cases) {
        lang::Dictionary const d = words(c.language);
        EXPECT_EQ(core::to_utf8(screens::short_date_time(MORNING, d) + u"|" + screens::date_name(MORNING, d)),
            core::to_utf8(c.row + core::String(u"|") + c.name));
        // The row knows the name it made, and says "Voice note" in the language instead of the date twice.
        auto const texts = screens::row_texts(
            { u"/x.mp3", u"Record", screens::date_name(MORNING, d), u"Record", u"1K", MORNING, 0 }, d);
        EXPECT_EQ(texts.strong, c.row) << c.language;
    }
}

TEST(Translations, DatePatternsKeepSignsThatAreNoField)
{
    std::string const file = testing_support::test_home() + "/dates.lng";
    testing_support::write_file(file, "Date_short=%d%% 100%%wd%% %unknown% %\nDate_long=\nDay_1=M%d%\n");
    lang::Dictionary d;
    ASSERT_TRUE(d.load(core::from_utf8(file)));
    // A day name holding a field is shown as it stands; an empty pattern is no pattern.
    EXPECT_EQ(core::to_utf8(screens::short_date_time(MORNING, d)), "7% 100%M%d%% %unknown% %");
    EXPECT_EQ(core::to_utf8(screens::date_name(MORNING, d)), "DayName_1, 7 MonthOf_12 2026 9:05:03");
}

// The shipped keypad map finds names in every language with letters: accented Latin letters on the key
// of their base letter, Ukrainian letters where a Ukrainian keypad has them; Chinese names only by digits.
TEST(Translations, KeypadFindsNamesOfEveryLanguage)
{
    screens::RecordFilter filter;
    ASSERT_TRUE(filter.load_key_map(core::from_utf8(testing_support::bin_dir() + "/keyboard.txt")));
    std::pair<char16_t const*, char16_t const*> const cases[] = { { u"Müller", u"6855" }, { u"Éloïse", u"3564" },
        { u"Ñoño", u"6666" }, { u"Straße", u"78727" }, { u"François", u"37262" }, { u"Ґанна", u"2255" },
        { u"Їжак", u"4324" }, { u"Євген", u"3223" }, { u"Іван", u"4225" }, { u"王小明 138", u"138" } };
    for (auto const& [name, keys] : cases) {
        document::RecordList records;
        records.insert({ u"/m/a.mp3", u"", core::String(name), u"Record", u"1K", MORNING, 0 });
        records.insert({ u"/m/b.mp3", u"", u"Zed", u"Record", u"1K", MORNING, 0 });
        filter.clear(records);
        for (char16_t const* key = keys; *key; ++key)
            filter.type(*key, records);
        EXPECT_EQ(filter.shown(), std::vector<int32_t> { records.find(u"/m/a.mp3") }) << core::to_utf8(name);
    }
}

} // namespace
