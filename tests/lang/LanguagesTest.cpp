#include <TestSupport.h>
#include <lang/Languages.h>
#include <os/Registry.h>

using namespace lang;
using namespace testing_support;

namespace {

// The program folder of these tests: "%app_path%" is fixed at its first use, before which every case
// names the same folder.
std::string app_dir()
{
    return test_home() + "/app";
}

class Languages : public testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::remove_all(app_dir());
        std::filesystem::create_directories(app_dir());
        setenv("RAVELIN_APP_PATH", app_dir().c_str(), 1);
        os::reg_set_string(product_key(u"Ravelin"), u"Language", u"");
        unsetenv("LC_ALL");
        unsetenv("LC_MESSAGES");
        setenv("LANG", "C", 1);
    }

    // Language files whose "Name" is their own base name.
    void add(std::initializer_list<std::string> names)
    {
        for (auto const& name : names)
            write_file(app_dir() + "/" + name + ".lng", "Name=" + name + "\n");
    }

    core::String loaded()
    {
        Dictionary dictionary;
        return load_language(dictionary, u"Ravelin") ? dictionary.translate(u"Name") : u"(none)";
    }

    core::String stored()
    {
        core::String value = u"(unset)";
        os::reg_get_string(product_key(u"Ravelin"), u"Language", value);
        return value;
    }
};

TEST_F(Languages, SystemLanguageTableFallBackAndCounting)
{
    struct {
        char const *lc_all, *lc_messages, *lang;
        char16_t const *name, *code;
    } const cases[] = {
        { nullptr, nullptr, "de_DE.UTF-8", u"GERMAN", u"de" },
        { "ru_RU.UTF-8", nullptr, "de_DE.UTF-8", u"RUSSIAN", u"ru" },
        { nullptr, "fr_FR", "de_DE", u"FRENCH", u"fr" },
        { nullptr, nullptr, "nb_NO.UTF-8", u"NORWEGIAN", u"no" },
        { nullptr, nullptr, "C", u"", u"" },
        { nullptr, nullptr, "xx_YY", u"", u"" },
    };
    for (auto const& c : cases) {
        for (auto [name, value] : { std::pair { "LC_ALL", c.lc_all }, std::pair { "LC_MESSAGES", c.lc_messages },
                 std::pair { "LANG", c.lang } })
            value ? setenv(name, value, 1) : unsetenv(name);
        core::String code = u"?";
        EXPECT_TRUE(system_language_name(&code) == c.name && code == c.code) << c.lang;
    }
    core::String code;
    EXPECT_TRUE(language_name(9, &code) == u"ENGLISH" && code == u"en");
    for (auto [number, name] : { std::pair { 97, u"NEPALI" }, { 23, u"" }, { 98, u"" }, { -1, u"" } })
        EXPECT_EQ(language_name(number), name) << number;
    add({ "english", "german", "zulu" });
    os::reg_set_string(product_key(u"Ravelin"), u"Language", u"zulu");
    EXPECT_EQ(loaded(), u"zulu");
    // A stored choice whose file is gone: the device's language (the file found whatever its case) ...
    os::reg_set_string(product_key(u"Ravelin"), u"Language", u"deleted");
    setenv("LANG", "de_DE.UTF-8", 1);
    EXPECT_EQ(loaded(), u"german");
    // ... then english ...
    setenv("LANG", "ja_JP.UTF-8", 1);
    EXPECT_EQ(loaded(), u"english");
    // ... then the first file listed; the choice found is never stored.
    std::filesystem::remove(app_dir() + "/english.lng");
    EXPECT_TRUE(loaded() == u"german" && stored() == u"deleted");
    std::filesystem::remove(app_dir() + "/german.lng");
    std::filesystem::remove(app_dir() + "/zulu.lng");
    EXPECT_EQ(loaded(), u"(none)");
    // Only files count as languages, and one is not a choice.
    add({ "english" });
    std::filesystem::create_directories(app_dir() + "/folder.lng");
    write_file(app_dir() + "/notes.txt", "x");
    EXPECT_FALSE(has_languages());
    add({ "russian" });
    EXPECT_TRUE(has_languages());
}

TEST_F(Languages, PageListsFilesByTheirOwnNamesAndChecksTheCurrent)
{
    add({ "English", "czech" });
    // A language names itself in its own script (UTF-16LE); a file without a name shows its base name.
    write_file(app_dir() + "/russian.lng", utf16_file_bytes(u"Name=russian\r\nLanguage_name=Русский\r\n"));
    Dictionary dictionary;
    ASSERT_TRUE(dictionary.load(u"%app_path%/English.lng"));
    LanguageMenu menu(dictionary, u"Ravelin");
    std::vector<LanguageItem> items;
    EXPECT_TRUE(!menu.fill_page(u"Settings", items) && items.empty());
    ASSERT_TRUE(menu.fill_page(u"Language", items));
    core::String shown;
    for (auto const& item : items)
        shown += item.id + u" " + item.label + (item.checked ? u" checked" : u"") + (item.is_cancel ? u" cancel" : u"")
            + u", ";
    EXPECT_EQ(core::to_utf8(shown),
        "Language#English English checked, Language#czech czech, Language#russian Русский, Cancel Cancel cancel, ");
}

TEST_F(Languages, ChoosingLoadsAndStores)
{
    add({ "english", "russian" });
    Dictionary dictionary;
    ASSERT_TRUE(load_language(dictionary, u"Ravelin"));
    LanguageMenu menu(dictionary, u"Ravelin");
    // The current language again, unknown ones, a path and Cancel change nothing and store nothing.
    for (char16_t const* refused : { u"Language#english", u"Language#klingon", u"Language#../app/russian", u"Cancel" })
        EXPECT_FALSE(menu.on_choice(refused)) << core::to_utf8(refused);
    EXPECT_EQ(std::tuple(dictionary.translate(u"Name"), stored()), std::tuple(u"english", u""));
    EXPECT_TRUE(menu.on_choice(u"Language#russian"));
    EXPECT_EQ(
        std::tuple(dictionary.translate(u"Name"), stored(), loaded()), std::tuple(u"russian", u"russian", u"russian"));
}

} // namespace
