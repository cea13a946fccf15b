#include "TestSupport.h"

#include <screens/RowTexts.h>
#include <screens/ScreenTexts.h>

namespace {

lang::Dictionary words(char const* language)
{
    lang::Dictionary d;
    EXPECT_TRUE(d.load(core::from_utf8(testing_support::bin_dir() + "/" + language + ".lng")));
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

} // namespace
