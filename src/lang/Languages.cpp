#include "Languages.h"

#include <algorithm>
#include <array>
#include <os/FileInfo.h>
#include <os/FileSystem.h>
#include <os/Paths.h>
#include <os/Registry.h>
#include <platform/locale.h>

namespace lang {

namespace {

struct Language {
    char16_t const* code;
    char16_t const* name;
};

constexpr int32_t TABLE_SIZE = 99;

// Indexed by the primary language id.
constexpr std::array<Language, TABLE_SIZE> make_table()
{
    std::array<Language, TABLE_SIZE> t {};
    for (auto& entry : t)
        entry = { u"", u"" };
    t[1] = { u"ar", u"ARABIC" };
    t[2] = { u"bg", u"BULGARIAN" };
    t[3] = { u"ca", u"CATALAN" };
    t[4] = { u"zh", u"CHINESE" };
    t[5] = { u"cs", u"CZECH" };
    t[6] = { u"da", u"DANISH" };
    t[7] = { u"de", u"GERMAN" };
    t[8] = { u"el", u"GREEK" };
    t[9] = { u"en", u"ENGLISH" };
    t[10] = { u"es", u"SPANISH" };
    t[11] = { u"fi", u"FINNISH" };
    t[12] = { u"fr", u"FRENCH" };
    t[13] = { u"he", u"HEBREW" };
    t[14] = { u"hu", u"HUNGARIAN" };
    t[15] = { u"is", u"ICELANDIC" };
    t[16] = { u"it", u"ITALIAN" };
    t[17] = { u"ja", u"JAPANESE" };
    t[18] = { u"ko", u"KOREAN" };
    t[19] = { u"nl", u"DUTCH" };
    t[20] = { u"no", u"NORWEGIAN" };
    t[21] = { u"pl", u"POLISH" };
    t[22] = { u"pt", u"PORTUGUESE" };
    t[24] = { u"ro", u"ROMANIAN" };
    t[25] = { u"ru", u"RUSSIAN" };
    t[26] = { u"hr", u"CROATIAN" };
    t[27] = { u"sk", u"SLOVAK" };
    t[28] = { u"sq", u"ALBANIAN" };
    t[29] = { u"sv", u"SWEDISH" };
    t[30] = { u"th", u"THAI" };
    t[31] = { u"tr", u"TURKISH" };
    t[32] = { u"ur", u"URDU" };
    t[33] = { u"id", u"INDONESIAN" };
    t[34] = { u"uk", u"UKRAINIAN" };
    t[35] = { u"be", u"BYELORUSSIAN" };
    t[36] = { u"sl", u"SLOVENIAN" };
    t[37] = { u"et", u"ESTONIAN" };
    t[38] = { u"lv", u"LATVIAN" };
    t[39] = { u"lt", u"LITHUANIAN" };
    t[41] = { u"fa", u"PERSIAN" };
    t[42] = { u"vi", u"VIETNAMESE" };
    t[43] = { u"hy", u"ARMENIAN" };
    t[44] = { u"az", u"AZERBAIJANI" };
    t[45] = { u"eu", u"BASQUE" };
    t[47] = { u"mk", u"MACEDONIAN" };
    t[54] = { u"af", u"AFRIKAANS" };
    t[55] = { u"ka", u"GEORGIAN" };
    t[56] = { u"fo", u"FAROESE" };
    t[57] = { u"hi", u"HINDI" };
    t[62] = { u"ms", u"MALAY" };
    t[63] = { u"kk", u"KAZAKH" };
    t[65] = { u"sw", u"SWAHILI" };
    t[67] = { u"uz", u"UZBEK" };
    t[68] = { u"tt", u"TATAR" };
    t[69] = { u"bn", u"BENGALI" };
    t[70] = { u"pa", u"PUNJABI" };
    t[71] = { u"gu", u"GUJARATI" };
    t[72] = { u"or", u"ORIYA" };
    t[73] = { u"ta", u"TAMIL" };
    t[74] = { u"te", u"TELUGU" };
    t[75] = { u"kn", u"KANNADA" };
    t[76] = { u"ml", u"MALAYALAM" };
    t[77] = { u"as", u"ASSAMESE" };
    t[78] = { u"mr", u"MARATHI" };
    t[79] = { u"sa", u"SANSKRIT" };
    t[89] = { u"sd", u"SINDHI" };
    t[96] = { u"ks", u"KASHMIRI" };
    t[97] = { u"ne", u"NEPALI" };
    return t;
}

constexpr auto TABLE = make_table();

// Locale codes that the handheld files under another language's id.
struct Alias {
    char16_t const* code;
    int32_t id;
};
constexpr Alias ALIASES[]
    = { { u"nb", 20 }, { u"nn", 20 }, { u"sr", 26 }, { u"bs", 26 }, { u"iw", 13 }, { u"in", 33 } };

String const APP_FOLDER = u"%app_path%";

String language_path(StringView name)
{
    return APP_FOLDER + u"/" + String(name) + u".lng";
}

// The "*.lng" files of the program folder (files only), in the order the folder lists them.
std::vector<String> language_files()
{
    struct Collector final : os::DirectoryVisitor {
        std::vector<String> files;
        bool on_file(String const& path) override
        {
            files.push_back(path);
            return true;
        }
        bool on_directory(String const&) override { return true; }
    } collector;
    os::walk_directory(collector, os::expand_path(APP_FOLDER), u"*.lng", u"*", false);
    return collector.files;
}

// The file of a language name. The handheld's file system ignores case ("ENGLISH" finds english.lng);
// so does this lookup when no file has exactly that name.
String language_file(StringView name)
{
    String const exact = language_path(name);
    if (os::FileInfo(exact).exists())
        return exact;
    String const wanted = os::lower(name);
    for (auto const& file : language_files())
        if (os::lower(os::base_name(file)) == wanted)
            return APP_FOLDER + u"/" + os::file_name(file);
    return exact;
}

// A name from a menu choice or the registry names a file in the program folder, never a path.
bool plain_name(StringView name)
{
    return !name.empty() && name.find_first_of(u"/\\") == StringView::npos && name != u".." && name != u".";
}

} // namespace

String language_name(int32_t primary_id, String* code)
{
    if (primary_id < 0 || primary_id >= TABLE_SIZE)
        return {};
    if (code)
        *code = TABLE[primary_id].code;
    return TABLE[primary_id].name;
}

int32_t language_id(StringView code)
{
    String lower = os::lower(code);
    for (auto const& alias : ALIASES)
        if (lower == alias.code)
            return alias.id;
    for (int32_t id = 0; id < TABLE_SIZE; ++id)
        if (!lower.empty() && lower == TABLE[id].code)
            return id;
    return -1;
}

String system_language_name(String* code)
{
    String const locale = core::from_utf8(platform::user_language_code());
    int32_t const id = language_id(locale);
    if (id < 0) {
        if (code)
            code->clear();
        return {};
    }
    return language_name(id, code);
}

String product_key(StringView app_name)
{
    return String(os::MAKER_KEY) + u"\\" + String(app_name);
}

bool load_language(Dictionary& dictionary, StringView app_name)
{
    String choice;
    os::reg_get_string(product_key(app_name), u"Language", choice);
    if (plain_name(choice) && dictionary.load(language_file(choice)))
        return true;
    if (String const system = system_language_name(); !system.empty() && dictionary.load(language_file(system)))
        return true;
    if (dictionary.load(language_file(u"english")))
        return true;
    for (auto const& file : language_files())
        if (dictionary.load(file))
            return true;
    return false;
}

bool has_languages()
{
    return language_files().size() > 1;
}

LanguageMenu::LanguageMenu(Dictionary& dictionary, StringView app_name)
    : dictionary_(dictionary)
    , app_name_(app_name)
{
}

bool LanguageMenu::fill_page(StringView page_id, std::vector<LanguageItem>& items) const
{
    if (page_id != u"Language")
        return false;
    std::vector<String> names;
    for (auto const& file : language_files())
        names.push_back(os::base_name(file));
    std::sort(names.begin(), names.end());
    String const current = os::lower(os::base_name(dictionary_.path()));
    for (auto const& name : names) {
        // Each language is named in its own words, so that a reader of it finds it whatever is shown now.
        Dictionary language;
        String label = name;
        if (language.load(language_path(name)))
            label = language.lookup(u"Language_name", name);
        items.push_back({ u"Language#" + name, label, os::lower(name) == current, false });
    }
    items.push_back({ u"Cancel", u"Cancel", false, true });
    return true;
}

bool LanguageMenu::on_choice(StringView choice)
{
    StringView constexpr prefix = u"Language#";
    if (!choice.starts_with(prefix))
        return false;
    String const name(choice.substr(prefix.size()));
    if (!plain_name(name))
        return false;
    String const path = language_file(name);
    if (os::expand_path(path) == os::expand_path(dictionary_.path()) || !dictionary_.load(path))
        return false;
    os::reg_set_string(product_key(app_name_), u"Language", name);
    os::reg_flush();
    return true;
}

} // namespace lang
