#pragma once

#include "Dictionary.h"

#include <vector>

// Choosing the language of the user interface: language files "<name>.lng" in the program's folder,
// the choice stored as the text value "Language" under the product's key (the maker's key followed by the
// application name).
// Threads: main thread only.
namespace lang {

// The table of language names by the platform's primary language id (0 to 98): the English name in
// upper case and the two-letter code; empty for ids without an entry.
String language_name(int32_t primary_id, String* code = nullptr);
// The primary language id of a two-letter (or locale) code, or -1.
int32_t language_id(StringView code);

// The upper-case name of the user's language from the table ("GERMAN" for a German locale), or empty;
// its two-letter code in `code` when asked.
String system_language_name(String* code = nullptr);

// The product's registry key of an application name ("Ravelin").
String product_key(StringView app_name);

// The start-up choice: the stored choice, the user's language, "english", then every "*.lng" of the
// program folder in the order listed; the first file that loads wins. False when none does. The choice
// found is not stored.
bool load_language(Dictionary& dictionary, StringView app_name);

// True when the program folder holds more than one language file.
bool has_languages();

// One item of the "Language" page.
struct LanguageItem {
    String id; // "Language#" + base name, or "Cancel"
    String label; // the file's own "Language_name", else its base name ("Cancel" for the last item)
    bool checked = false;
    bool is_cancel = false; // drawn with the menu's default element
};

// The "Language" page and its choices for the menu.
class LanguageMenu {
public:
    LanguageMenu(Dictionary& dictionary, StringView app_name);

    // The items of the page "Language": every language file, sorted by file name and labelled with the
    // name the language gives itself, the current one checked, then "Cancel". False (no items) for any other page.
    bool fill_page(StringView page_id, std::vector<LanguageItem>& items) const;
    // Acts on "Language#" + name: loads "%app_path%/" + name + ".lng" when it is not the current file and
    // stores the choice. True when the language changed; other choices are not its business (false).
    bool on_choice(StringView choice);

private:
    Dictionary& dictionary_;
    String app_name_;
};

} // namespace lang
