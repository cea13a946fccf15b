// What the language files add to the screens' own texts: rows, dates in each language's order, units, and
// the keypad map's letters of every language shipped.
#include "TestSupport.h"

#include <document/RecordStore.h>
#include <screens/RecordFilter.h>
#include <screens/RowTexts.h>
#include <screens/ScreenTexts.h>

namespace {

lang::Dictionary words(std::string const& language)
{
    lang::Dictionary d;
    EXPECT_TRUE(d.load(core::from_utf8(testing_support::bin_dir() + "/" + language + ".lng"))) << language;
    return d;
}

TEST(RowTexts, StrongLineTellsRecordingsApartAndTheOtherSaysWhenAndHowLong)
{
    lang::Dictionary const en = words("english"), ru = words("russian");
    os::DateTime const morning { 2026, 12, 7, 10, 44, 12, 0, 1 }; // a Monday
    core::String const date_name = os::date_text(morning, true) + u" " + os::time_text(morning);
    // A new recording's name in the user's language, which the row shortens as it does the platform's.
    core::String const russian_name = screens::date_name(morning, ru);
    EXPECT_EQ(russian_name, u"понедельник, 7 декабря 2026 10:44:12");
    struct Row {
        lang::Dictionary const& words;
        core::StringView artist, title, album;
        int64_t ms;
        char16_t const *strong, *secondary;
    } const rows[] = {
        { en, u"Record", date_name, u"Record", 42'700, u"Mon 7 Dec, 10:44", u"Voice note · 0:42" },
        { ru, u"Record", date_name, u"Record", 3'723'000, u"Пн 7 дек, 10:44", u"Заметка · 1:02:03" },
        { ru, u"Record", russian_name, u"Record", 0, u"Пн 7 дек, 10:44", u"Заметка · 0:00" },
        // Named in Russian, shown after a switch to English; a time a person wrote is no date name.
        { en, u"Record", russian_name, u"Record", 0, u"Mon 7 Dec, 10:44", u"Voice note · 0:00" },
        { en, u"Record", u"Standup 10:44:12", u"Record", 0, u"Standup 10:44:12", u"Mon 7 Dec, 10:44 · 0:00" },
        { en, u"Record", u"Budget", u"Record", 605'000, u"Budget", u"Mon 7 Dec, 10:44 · 10:05" },
        { en, u"Ann Lee", date_name, u"Incoming", 61'000, u"Ann Lee", u"Mon 7 Dec, 10:44 · 1:01" },
        { ru, u"", date_name, u"Outgoing", 0, u"Номер скрыт", u"Пн 7 дек, 10:44 · 0:00" }, // withheld
        { en, u"", u"interview", u"", 9'000, u"interview", u"Mon 7 Dec, 10:44 · 0:09" }, // untagged: its name
        { en, u"", u"broken", u"", -1, u"broken", u"Mon 7 Dec, 10:44" }, // damaged: no length
    };
    for (auto const& r : rows) {
        auto const texts = screens::row_texts(
            { u"/x.mp3", core::String(r.artist), core::String(r.title), core::String(r.album), u"1K", morning, r.ms },
            r.words);
        EXPECT_EQ(texts.strong, r.strong);
        EXPECT_EQ(texts.secondary, r.secondary);
    }
}

TEST(RowTexts, TimeLeftAsDaysAndSizesAsWrittenInBothLanguages)
{
    lang::Dictionary const en = words("english"), ru = words("russian");
    // Both languages' texts, "|" between them.
    auto const both = [&](auto text) { return core::String(text(en)) + u"|" + core::String(text(ru)); };
    EXPECT_EQ(screens::duration_text(12 * 3600, ru.translate(u"Unit_h")), u"12 ч");
    for (auto const& [seconds, texts] : std::initializer_list<std::pair<double, char16_t const*>> {
             { 307, u"0:05:07|0:05:07" }, { 10 * 3600, u"10 h|10 ч" }, { 99 * 3600, u"99 h|99 ч" },
             { 99 * 3600 + 1, u"4 days|4 дн." }, { 2903 * 3600, u"120 days|120 дн." } })
        EXPECT_EQ(both([&](auto const& d) { return screens::time_left_text(seconds, d); }), texts) << seconds;
    for (auto const& [bytes, texts] :
        std::initializer_list<std::pair<uint64_t, char16_t const*>> { { 500, u"500 B|500 Б" }, { 2048, u"2 KB|2 КБ" },
            { 1'992'295, u"1.9 MB|1,9 МБ" }, { 1'048'575, u"1.0 MB|1,0 МБ" }, { 5'000'000'000, u"4.7 GB|4,7 ГБ" } })
        EXPECT_EQ(both([&](auto const& d) { return screens::size_words(bytes, d); }), texts) << bytes;
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
        { "chinese", u"12月7日周一 9:05", u"2026年12月7日 星期一 9:05:03" },
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
    EXPECT_FALSE(filter.load_key_map(u"/nonexistent/keyboard.txt"));
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
