// The skins the program ships (build/bin/skins/bin) laid out at every size, its language files and its
// keypad map. Whether each screen finds its elements is the screens' own tests'.
#include "SkinTestSupport.h"

#include <lang/Dictionary.h>
#include <skin/FontRep.h>
#include <skin/FormHarness.h>
#include <skin/widgets/EditElement.h>
#include <skin/widgets/TextElement.h>
#include <skin/widgets/VListElement.h>

#include <set>
#include <sstream>

using namespace skin_testing;

namespace {

struct Screen {
    int32_t width, height, dpi;
};

Screen const SCREENS[] = { { 240, 320, 96 }, { 480, 640, 192 }, { 480, 800, 192 }, { 720, 1440, 192 }, { 320, 240, 96 },
    { 640, 480, 192 }, { 1024, 768, 96 } };
char const* const LANGUAGES[] = { "english", "russian", "german", "french", "spanish", "ukrainian", "chinese" };

auto const shipped = [](std::string const& name) { return bin_dir() + "/" + name; };

// The entries the screens build, each with whether it is shown as a popup (rows are shown in lists).
std::pair<char const*, bool> const ENTRIES[]
    = { { "FormMain", false }, { "Record", false }, { "FormRecording", false }, { "FormView", false }, { "Menu", true },
          { "MenuElement4Buttons", false }, { "FormConfirmation", true }, { "FormError", true }, { "FormEdit", true },
          { "QuickRecord", true }, { "HardwareKey", false }, { "MenuElement", false }, { "MenuElementDisabled", false },
          { "MenuElementUnchecked", false }, { "MenuElementUncheckedDisabled", false } };

class DefaultSkinAtEverySize : public testing::TestWithParam<std::tuple<Screen, char const*>> {
protected:
    void SetUp() override
    {
        auto const& [screen, language] = GetParam();
        harness_ = std::make_unique<skin::FormHarness>(core::from_utf8(shipped("skins/bin/default.skin")),
            skin::Point { screen.width, screen.height }, screen.dpi);
        ASSERT_TRUE(harness_->loaded()
            && harness_->properties().dictionary().load(core::from_utf8(shipped(language) + ".lng")));
    }

    std::unique_ptr<skin::FormHarness> harness_;
};

// The colours and icons the lists look up by name.
TEST_P(DefaultSkinAtEverySize, TheListsIconsAndColoursAreThere)
{
    ASSERT_TRUE(
        harness_->properties().find_entry(u"filtered_color") && harness_->properties().find_entry(u"icon_color"));
    for (char16_t const* node : { u"main_memory", u"main_memory_incoming", u"main_memory_outgoing", u"card",
             u"card_incoming", u"card_outgoing" }) {
        auto const ref = harness_->properties().lookup_picture(harness_->properties().find_entry(node), u"src", {});
        EXPECT_TRUE(ref.picture) << core::to_utf8(node);
    }
}

// The longest texts the screens put into the fixed-format fields (names are the user's and may be
// shortened with an ellipsis).
std::pair<char const*, char const*> const FILLED[] = { { "frmElapsed", "8:88:88" }, { "frmLeft", "8:88:88" },
    { "frmSize", "888.8M" }, { "frmInfo", "44kHz 16bit 128kbps" } };

// Pairs of siblings meant to lie on each other: a slider area over its bars, a marker over the level,
// the record button floating over the list (and over the hint of an empty one), and elements of which
// the screens show only one.
bool may_overlap(core::String const& a, core::String const& b)
{
    static std::set<std::pair<core::String, core::String>> const pairs = { { u"btnVAS", u"pbLevel" },
        { u"btnVAS", u"pbVAS" }, { u"pbLevel", u"pbVAS" }, { u"btnPosition", u"pbPosition" },
        { u"btnVolume", u"pbVolume" }, { u"btnRecord", u"list" }, { u"btnFilter", u"btnCloseFilter" },
        { u"btnPause", u"btnResume" }, { u"btnSpeakerOn", u"btnSpeakerOff" }, { u"BoostOn", u"BoostOff" },
        { u"btnPlay", u"btnPause" }, { u"checked", u"unchecked" }, { u"emptyHint", u"list" },
        { u"emptyHint", u"btnRecord" }, { u"undoBar", u"list" }, { u"undoBar", u"emptyHint" } };
    return pairs.contains({ a, b }) || pairs.contains({ b, a });
}

std::string name_of(skin::Element const& element)
{
    std::string name;
    for (skin::Element const* e = &element; e; e = e->parent())
        if (!e->id().empty())
            name = core::to_utf8(e->id()) + (name.empty() ? "" : "/" + name);
    return name.empty() ? "(unnamed)" : name;
}

// Visible elements outside `area`, siblings with ids that overlap, and texts larger than their boxes.
void layout_problems(
    skin::Element const& element, skin::Point area, std::vector<std::string>& problems, std::string const& entry)
{
    if (!element.effectively_visible() || element.size().x <= 0 || element.size().y <= 0)
        return;
    auto const p = element.position(), s = element.size();
    if (p.x < 0 || p.y < 0 || p.x + s.x > area.x || p.y + s.y > area.y)
        problems.push_back(entry + name_of(element) + " lies outside the screen");
    if (auto const* text = dynamic_cast<skin::TextElement const*>(&element);
        text && !dynamic_cast<skin::EditElement const*>(&element) && !text->text().empty()) {
        auto const needed = text->text_size();
        if (needed.x > s.x || needed.y > s.y)
            problems.push_back(entry + name_of(element) + " \"" + core::to_utf8(text->text()) + "\" needs "
                + std::to_string(needed.x) + "x" + std::to_string(needed.y) + " in " + std::to_string(s.x) + "x"
                + std::to_string(s.y));
    }
    for (size_t i = 0; i < element.child_count(); ++i) {
        skin::Element const& a = *element.child(i);
        layout_problems(a, area, problems, entry);
        for (size_t j = i + 1; j < element.child_count(); ++j) {
            skin::Element const& b = *element.child(j);
            bool const named = !a.id().empty() && !b.id().empty() && a.id()[0] != u'#' && b.id()[0] != u'#';
            auto const ap = a.position(), as = a.size(), bp = b.position(), bs = b.size();
            bool const overlap = ap.x < bp.x + bs.x && bp.x < ap.x + as.x && ap.y < bp.y + bs.y && bp.y < ap.y + as.y;
            if (named && a.effectively_visible() && b.effectively_visible() && overlap && !may_overlap(a.id(), b.id()))
                problems.push_back(entry + name_of(a) + " overlaps " + name_of(b));
        }
    }
}

// The translated texts the screens put into an element of an entry (its id first): dialog messages, menu
// captions and items. Each is checked in turn; entries without any are checked once as they are.
using TextIds = std::vector<char16_t const*>;
TextIds const CONFIRMATIONS = { u"text", u"Confirm_deleting", u"Confirm_deleting_this", u"Confirm_trashing",
    u"Confirm_trashing_this", u"Confirm_discard" };
TextIds const ERRORS = { u"text", u"Sorry_card_problem", u"Sorry_no_memory", u"Sorry_too_slow_device",
    u"Sorry_cannot_save_copy", u"Saved_copy_in_music", u"Sorry_undo_path_taken", u"Sorry_no_speaker" };
TextIds const CAPTIONS = { u"caption", u"MainMenu", u"File", u"Settings", u"Format", u"Boost", u"Menu", u"Language" };
TextIds const ITEMS = { u"#text", u"File", u"Settings", u"Cancel", u"Delete", u"Move", u"Refresh", u"AutoRecord",
    u"Speaker", u"Format", u"Mp3Low", u"Mp3Middle", u"Mp3High", u"Boost", u"BoostOff", u"Boost1", u"Boost2", u"Boost3",
    u"QuickRecord", u"Language", u"Delete_this", u"Append", u"Send", u"OpusLow", u"Opus", u"OpusHigh", u"Flac",
    u"Microphone", u"Microphone_Default", u"SaveCopy", u"Discard" };
TextIds const UNDO = { u"undoText", u"Deleted_count" };

TextIds texts_of(std::string const& entry)
{
    bool const item = entry.starts_with("MenuElement") && entry != "MenuElement4Buttons";
    return entry == "FormConfirmation" ? CONFIRMATIONS
        : entry == "FormError"         ? ERRORS
        : entry == "Menu"              ? CAPTIONS
        : entry == "FormMain"          ? UNDO
        : item                         ? ITEMS
                                       : TextIds { nullptr, nullptr };
}

// A row is as wide as the list that shows it.
int32_t row_width(skin::FormHarness& harness, std::string const& row)
{
    char16_t const* form_name = row == "Record" ? u"FormMain" : row == "HardwareKey" ? u"QuickRecord" : u"Menu";
    auto form = harness.make_form(form_name);
    harness.show(*form, skin::FormMode::FULL_SCREEN);
    harness.advance(400);
    int32_t const width = form->find_child(row == "Record" || row == "HardwareKey" ? u"list" : u"vlist")->size().x;
    harness.close(*form);
    harness.advance(400);
    return width;
}

TEST_P(DefaultSkinAtEverySize, NothingFallsOffOverlapsOrIsCut)
{
    std::vector<std::string> problems;
    for (auto const& [name, popup] : ENTRIES) {
        TextIds const texts = texts_of(name);
        bool const row = !std::string(name).starts_with("Form") && !popup;
        int32_t const width = row ? row_width(*harness_, name) : harness_->screen_size().x;
        for (size_t k = 1; k < texts.size(); ++k) {
            char16_t const* key = texts[k];
            auto form = harness_->make_form(core::from_utf8(name));
            for (auto const& [id, text] : FILLED)
                if (auto* field = dynamic_cast<skin::TextElement*>(form->find_child(core::from_utf8(id))))
                    field->set_text(core::from_utf8(text));
            if (key) {
                core::String text = harness_->properties().translate(key);
                for (auto at = text.find(u"%count%"); at != core::String::npos; at = text.find(u"%count%"))
                    text.replace(at, 7, u"888");
                static_cast<skin::TextElement*>(form->find_child(texts[0]))->set_text(text);
            }
            skin::Point area { width, harness_->screen_size().y };
            if (row) {
                area.y = form->measured(skin::Axis::Y).preferred;
                form->set_geometry_x(0, area.x);
                form->set_geometry_y(0, area.y);
            } else {
                harness_->show(*form, popup ? skin::FormMode::POPUP : skin::FormMode::FULL_SCREEN);
                harness_->advance(400);
            }
            layout_problems(*form, area, problems, std::string(name) + ": ");
            if (harness_->stack().top() == form.get())
                harness_->close(*form);
            harness_->advance(400);
        }
    }
    EXPECT_EQ(problems, std::vector<std::string> {});
}

std::string screen_name(testing::TestParamInfo<std::tuple<Screen, char const*>> const& info)
{
    Screen const& screen = std::get<0>(info.param);
    return std::to_string(screen.width) + "x" + std::to_string(screen.height) + "at" + std::to_string(screen.dpi) + "_"
        + std::get<1>(info.param);
}

INSTANTIATE_TEST_SUITE_P(Shipped, DefaultSkinAtEverySize,
    testing::Combine(testing::ValuesIn(SCREENS), testing::ValuesIn(LANGUAGES)), screen_name);

// Every font of the skin is a real face, and so is the engine's default "Tahoma"; the times are set in
// digits of one width, so that they do not jump as they count.
TEST(DefaultSkin, FontsAreRealAndTimesDoNotJump)
{
    skin::FormHarness harness(core::from_utf8(shipped("skins/bin/default.skin")));
    ASSERT_TRUE(harness.loaded());
    for (auto const& font : harness.properties().fonts())
        EXPECT_TRUE(font->has_face()) << core::to_utf8(font->description().face);
    EXPECT_TRUE(skin::FontRep(skin::FontDesc::application_default()).has_face());
    for (char16_t const* entry : { u"FormRecording", u"FormView" }) {
        auto form = harness.make_form(entry);
        for (char16_t const* id : { u"frmElapsed", u"frmLeft" }) {
            auto const& font = *static_cast<skin::TextElement*>(form->find_child(id))->font();
            std::set<int32_t> widths;
            for (char16_t digit = u'0'; digit <= u'9'; ++digit)
                widths.insert(font.measure(core::StringView(&digit, 1)).width);
            EXPECT_EQ(widths.size(), 1u) << core::to_utf8(entry) << "/" << core::to_utf8(id);
        }
    }
}

// --rects prints the rectangle of every visible element with an id as the program lays it out; what
// the sample hides is not listed.
TEST(DefaultSkin, RectsAreThoseOfTheLaidOutForm)
{
    auto const result = run(SKINC + " --render " + shipped("skins/bin/default.skin") + " FormMain --size 480x640@192"
        + " --out " + fresh_dir("rects") + "/main.png --rects --lang " + shipped("english.lng") + " --sample "
        + source_dir() + "/data/skins/default/sample-english.txt");
    ASSERT_EQ(result.exit_code, 0) << result.error;
    skin::FormHarness harness(core::from_utf8(shipped("skins/bin/default.skin")), { 480, 640 }, 192);
    auto form = harness.make_form(u"FormMain");
    form->find_child(u"KeyboardContainer")->set_visible(false);
    form->find_child(u"btnCloseFilter")->set_visible(false);
    form->find_child(u"undoBar")->set_visible(false);
    harness.show(*form);
    harness.advance(400);
    // The count of characters without a font comes last, after the rectangles.
    auto const missing = result.output.rfind("missing glyphs: 0\n");
    ASSERT_EQ(missing + 18, result.output.size()) << result.output;
    std::istringstream lines(result.output.substr(0, missing));
    std::string id;
    std::set<std::string> listed;
    for (int32_t x, y, width, height; lines >> id >> x >> y >> width >> height;) {
        listed.insert(id);
        if (id[0] == '#')
            continue; // the states of every button share these ids
        skin::Element const* element = id == "FormMain" ? form.get() : form->find_child(core::from_utf8(id));
        ASSERT_NE(element, nullptr) << id;
        EXPECT_EQ(std::tuple(skin::Point { x, y }, skin::Point { width, height }),
            std::tuple(element->position(), element->size()))
            << id;
    }
    EXPECT_TRUE(lines.eof()) << result.output;
    EXPECT_TRUE(listed.contains("btnRecord") && listed.contains("btnMenu") && listed.contains("list"));
    EXPECT_FALSE(listed.contains("button0") || listed.contains("btnCloseFilter"));
}

// The keys of a shipped language file.
std::set<core::String> keys_of(char const* language)
{
    lang::Dictionary dictionary;
    EXPECT_TRUE(dictionary.load(core::from_utf8(shipped(language) + ".lng"))) << language;
    std::set<core::String> keys;
    for (auto const& [key, value] : dictionary.entries())
        keys.insert(key);
    return keys;
}

// Every "text" of the skin that is a key (a name, not a number or a sign) is translated.
void collect_keys(skin::PropertiesImpl const& properties, skin::ElementRecord record, std::set<core::String>& keys)
{
    core::String const text = properties.lookup_string(record, u"text", u"");
    auto const word = [](char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_'; };
    auto const digit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
    bool const is_key = text.size() > 1 && word(text[0])
        && std::all_of(text.begin(), text.end(), [&](char16_t c) { return word(c) || digit(c); });
    if (is_key)
        keys.insert(text);
    for (uint32_t i = 0; i < properties.child_count(record); ++i)
        collect_keys(properties, properties.child_record(record, i), keys);
}

TEST(DefaultSkin, LanguagesHoldEveryKeyAndTheSameKeys)
{
    std::set<core::String> keys = { u"skin_ProgramName", u"NoSkins", u"Help", u"Help_link", u"Minimize", u"Exit",
        u"Sorry_cannot_move_files", u"Sorry_disk_full", u"Sorry_not_writable", u"Sorry_no_microphone",
        u"Sorry_settings_not_saved", u"Sorry_cannot_open_help", u"Sorry_cannot_send", u"Confirm_close_recording",
        u"Sorry_cannot_play", u"Sorry_recording_gone", u"Menu_MainMemory", u"Button_SkipBack", u"Button_SkipForward" };
    for (TextIds const* texts : { &CONFIRMATIONS, &ERRORS, &CAPTIONS, &ITEMS })
        keys.insert(texts->begin() + 1, texts->end());
    skin::Properties properties;
    ASSERT_TRUE(properties.load_skin(core::from_utf8(shipped("skins/bin/default.skin")), {}));
    for (auto const& [name, popup] : ENTRIES)
        collect_keys(properties, properties.find_entry(core::from_utf8(name)), keys);
    EXPECT_TRUE(keys.contains(u"skin_Key2") && keys.contains(u"Ok")) << "the skin's own keys were not found";

    std::set<core::String> const english = keys_of("english");
    std::vector<core::String> missing;
    std::set_difference(keys.begin(), keys.end(), english.begin(), english.end(), std::back_inserter(missing));
    EXPECT_EQ(missing, std::vector<core::String> {});
    for (char const* language : LANGUAGES) {
        EXPECT_EQ(english, keys_of(language)) << language;
        lang::Dictionary dictionary;
        ASSERT_TRUE(dictionary.load(core::from_utf8(shipped(language) + ".lng")));
        EXPECT_TRUE(dictionary.translate(u"Confirm_deleting").find(u"%count%") != core::String::npos
            && file_exists(shipped("help/" + core::to_utf8(dictionary.translate(u"Help_link"))))
            && dictionary.translate(u"Language_name") != u"Language_name")
            << language;
    }
}

// The keypad map: every key of the keypad, and on each of 2 to 9 its digit, Latin letters (accented ones
// on the key of their base letter), Russian and Ukrainian letters.
TEST(DefaultSkin, KeypadMapCoversEveryKey)
{
    lang::Dictionary map;
    ASSERT_TRUE(map.load(core::from_utf8(shipped("keyboard.txt"))));
    std::pair<char16_t const*, char16_t const*> const expected[]
        = { { u"0", u"0" }, { u"1", u"1" }, { u"2", u"abcàáâãäåæç2абвгґ" }, { u"3", u"defèéêë3деєёжз" },
              { u"4", u"ghiìíîï4иіїйкл" }, { u"5", u"jkl5мноп" }, { u"6", u"mnoñòóôõöøœ6рсту" },
              { u"7", u"pqrsß7фхцч" }, { u"8", u"tuvùúûü8шщъы" }, { u"9", u"wxyzýÿ9ьэюя" }, { u"#", u"#" } };
    for (auto const& [key, letters] : expected)
        EXPECT_EQ(core::to_utf8(map.translate(key)), core::to_utf8(letters));
}

} // namespace
