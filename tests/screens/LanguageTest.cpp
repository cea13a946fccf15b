#include "ScreensTestSupport.h"

#include <screens/FormEdit.h>

using namespace screens_test;

namespace {

// Every text the screens show, in one language: "screen/element#n" to text.
using Shown = std::map<std::string, String>;

void collect(skin::Element& element, std::string const& screen, Shown& shown, int& n)
{
    if (!element.visible())
        return;
    if (auto const* t = dynamic_cast<skin::TextElement const*>(&element); t && !t->text().empty())
        shown[screen + "/" + core::to_utf8(t->id()) + "#" + std::to_string(n++)] = t->text();
    for (size_t i = 0; i < element.child_count(); ++i)
        collect(*element.child(i), screen, shown, n);
    // A list's rows are its model's, outside the tree.
    if (auto* list = dynamic_cast<skin::VListElement*>(&element))
        for (int32_t i = 0; i < list->count(); ++i)
            if (auto* row = list->row(i))
                collect(*row, screen, shown, n);
}

// Whether a text holds a word of Latin letters, besides names that every language keeps and the symbols
// that a language writes as English does.
bool has_latin_word(std::string text, std::vector<std::string> const& symbols)
{
    std::vector<std::string> kept = { "Ravelin", "MP3", "WAV", "FLAC", "Opus", "Ogg" };
    kept.insert(kept.end(), symbols.begin(), symbols.end());
    for (std::string const& name : kept)
        for (size_t at; (at = text.find(name)) != std::string::npos;)
            text.erase(at, name.size());
    auto const letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    return std::adjacent_find(text.begin(), text.end(), [&](char a, char b) { return letter(a) && letter(b); })
        != text.end();
}

// A language and the symbols it writes as English does.
struct Translated {
    char const* language;
    std::vector<std::string> symbols;
};

class LanguageTest : public ScreensTest, public testing::WithParamInterface<Translated> {
protected:
    Shown shown;
    void look(std::string const& screen)
    {
        int n = 0;
        collect(*top(), screen, shown, n);
    }
    // The screens a person meets: the empty list, a voice note recorded, paused and renamed, the list
    // with it, its playback, the menus, a question and an error.
    Shown walk(char const* name)
    {
        language = name;
        use_tone_input(2.5, true);
        start({ 240, 320 }, 96);
        look("empty");
        tap(element(main->form(), u"btnRecord"));
        run_until([] { return platform::wave_input_ended(); });
        settle();
        look("recording");
        tap(element(main->recording().form(), u"btnPause"));
        look("paused");
        tap(element(main->recording().form(), u"btnName"));
        look("edit");
        tap(*main->recording().edit_dialog().cancel_button());
        tap(element(main->recording().form(), u"btnBoost"));
        look("boost");
        main->recording().menu().close();
        settle();
        tap(element(main->recording().form(), u"btnClose"));
        look("list");
        tap_row(main->list(), 0);
        look("playback");
        tap(element(main->view().form(), u"btnClose"));
        tap(element(main->form(), u"btnMenu"));
        look("menu");
        choose(main->menu(), u"Settings");
        look("settings");
        main->menu().close();
        main->confirm_delete();
        settle();
        look("confirmation");
        main->show_error(u"Sorry_cannot_send");
        settle();
        look("error");
        return std::move(shown);
    }
};

TEST_P(LanguageTest, NoEnglishWordLeftOnATranslatedScreen)
{
    Shown const english = walk("english");
    TearDown();
    SetUp();
    Shown const translated = walk(GetParam().language);
    int words = 0;
    for (auto const& [where, text] : english) {
        bool const word = has_latin_word(core::to_utf8(text), GetParam().symbols);
        words += word;
        EXPECT_FALSE(word && translated.contains(where) && translated.at(where) == text)
            << where << ": " << core::to_utf8(text);
    }
    // The walk met the screens it names.
    EXPECT_GT(words, 40);
}

INSTANTIATE_TEST_SUITE_P(Shipped, LanguageTest,
    testing::Values(Translated { "russian", {} }, Translated { "ukrainian", {} },
        Translated { "german", { "OK", "KB", "kbit" } }, Translated { "french", { "OK", "kbit" } },
        Translated { "spanish", { "KB", "kbit" } }, Translated { "chinese", { "KB", "kHz", "kbps" } }),
    [](auto const& info) { return std::string(info.param.language); });

} // namespace
