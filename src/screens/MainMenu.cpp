#include "MainMenu.h"

#include "Menu.h"
#include "ScreenHost.h"

#include <algorithm>
#include <document/Document.h>
#include <keys/HardwareKey.h>
#include <skin/Properties.h>

namespace screens {

namespace {

// The choice of a capture device: the prefix and its name, nothing for the default.
constexpr char16_t MICROPHONE_PREFIX[] = u"Microphone#";

// An option that is on is checked; one that is off is drawn with the unchecked row.
MenuItem option(core::StringView id, bool on)
{
    MenuItem item(id);
    item.checked = on;
    if (!on)
        item.style = u"MenuElementUnchecked";
    return item;
}

bool is_one_of(core::StringView id, auto const& names)
{
    return std::find(std::begin(names), std::end(names), id) != std::end(names);
}

// The choices on the pages of settings, each with the change it makes.
struct SettingChoice {
    bool (*matches)(core::StringView id);
    void (*apply)(document::Document& document, core::StringView id);
};

constexpr SettingChoice SETTING_CHOICES[] = {
    { [](core::StringView id) { return id == u"AutoRecord"; },
        [](document::Document& d, core::StringView) { d.set_auto_record(!d.settings().auto_record); } },
    { [](core::StringView id) { return id == u"Speaker"; },
        [](document::Document& d, core::StringView) { d.set_speaker(!d.settings().speaker); } },
    { [](core::StringView id) { return is_one_of(id, document::FORMAT_NAMES); },
        [](document::Document& d, core::StringView id) { d.set_format(id); } },
    { [](core::StringView id) { return is_one_of(id, document::BOOST_NAMES); },
        [](document::Document& d, core::StringView id) { d.set_boost(id); } },
    { [](core::StringView id) { return id.starts_with(MICROPHONE_PREFIX); },
        [](document::Document& d, core::StringView id) {
            d.set_input_device(id.substr(std::size(MICROPHONE_PREFIX) - 1));
        } },
};

} // namespace

ListScreen::~ListScreen() = default;

struct MainMenu::Page {
    core::StringView id;
    void (MainMenu::*fill)(MenuItems& items) const;
};

struct MainMenu::Action {
    core::StringView id;
    void (MainMenu::*act)();
};

MainMenu::Page const MainMenu::PAGES[] = {
    { u"MainMenu", &MainMenu::fill_main },
    { u"File", &MainMenu::fill_file },
    { u"Settings", &MainMenu::fill_settings },
    { u"Format", &MainMenu::fill_formats },
    { u"Boost", &MainMenu::fill_boost },
    { u"Microphone", &MainMenu::fill_microphones },
};

MainMenu::Action const MainMenu::ACTIONS[] = {
    { u"Delete", &MainMenu::confirm_delete },
    { u"Move", &MainMenu::move_shown },
    { u"Refresh", &MainMenu::refresh_list },
    { u"QuickRecord", &MainMenu::show_quick_record },
    { u"Minimize", &MainMenu::minimize },
    { u"Help", &MainMenu::open_help },
    { u"Exit", &MainMenu::exit },
};

MainMenu::MainMenu(skin::Properties& properties, ScreenHost& host, document::Document& document, ListScreen& list)
    : properties_(properties)
    , host_(host)
    , document_(document)
    , list_(list)
    , languages_(properties.dictionary(), document::APP_NAME)
    , quick_record_(properties, host)
    , help_([this] { list_.show_error(u"Sorry_cannot_open_help"); })
    , reload_(this)
{
}

MainMenu::~MainMenu() = default;

void MainMenu::on_menu(Menu& menu, core::StringView id, MenuItems& items)
{
    auto const page = std::find_if(std::begin(PAGES), std::end(PAGES), [&](Page const& p) { return p.id == id; });
    auto const action
        = std::find_if(std::begin(ACTIONS), std::end(ACTIONS), [&](Action const& a) { return a.id == id; });
    if (page != std::end(PAGES))
        (this->*page->fill)(items);
    else if (action != std::end(ACTIONS))
        (this->*action->act)();
    else
        change_setting(menu, id);
    // The language module sees every id too.
    if (!fill_languages(id, items) && languages_.on_choice(id))
        reload_.start(0);
}

// The pages

void MainMenu::fill_main(MenuItems& items) const
{
    MenuItem buttons;
    buttons.style = u"MenuElement4Buttons";
    items.push_back(buttons);
    items.emplace_back(u"File");
    items.emplace_back(u"Settings");
    items.emplace_back(u"Cancel");
}

void MainMenu::fill_file(MenuItems& items) const
{
    if (!list_.shown_records().empty())
        items.emplace_back(u"Delete");
    if (document_.can_move_to_card(list_.shown_records()))
        items.emplace_back(u"Move");
    items.emplace_back(u"Refresh");
    items.emplace_back(u"Cancel");
}

void MainMenu::fill_settings(MenuItems& items) const
{
    auto const& settings = document_.settings();
    items.push_back(option(u"AutoRecord", settings.auto_record));
    items.push_back(option(u"Speaker", settings.speaker));
    items.emplace_back(u"Format", properties_.translate(settings.format));
    items.push_back(option(u"Boost", settings.boost != u"BoostOff"));
    if (keys::count_assignable_keys() > 0)
        items.emplace_back(u"QuickRecord");
    if (lang::has_languages())
        items.emplace_back(u"Language");
    items.emplace_back(u"Microphone");
    items.emplace_back(u"Cancel");
}

void MainMenu::fill_formats(MenuItems& items) const
{
    for (core::StringView name : document::FORMAT_NAMES) {
        MenuItem item(name);
        item.checked = document_.settings().format == name;
        items.push_back(item);
    }
    items.emplace_back(u"Settings", properties_.translate(u"Cancel"));
}

void MainMenu::fill_boost(MenuItems& items) const
{
    append_boost_items(items, document_.settings().boost);
    items.emplace_back(u"Settings", properties_.translate(u"Cancel"));
}

void MainMenu::fill_microphones(MenuItems& items) const
{
    auto const offered = document_.input_devices();
    core::String const& stored = document_.settings().input_device;
    // A stored device that has gone is not the one in use: the default is.
    bool const in_use = std::find(offered.begin(), offered.end(), stored) != offered.end();
    MenuItem standard(MICROPHONE_PREFIX, properties_.translate(u"Microphone_Default"));
    standard.checked = !in_use;
    items.push_back(standard);
    for (auto const& name : offered) {
        MenuItem item(MICROPHONE_PREFIX + name, name);
        item.checked = in_use && name == stored;
        items.push_back(item);
    }
    items.emplace_back(u"Settings", properties_.translate(u"Cancel"));
}

bool MainMenu::fill_languages(core::StringView id, MenuItems& items) const
{
    std::vector<lang::LanguageItem> languages;
    if (!languages_.fill_page(id, languages))
        return false;
    for (auto const& language : languages) {
        // Cancel leads back to the settings, as on the other pages of settings.
        MenuItem item = language.is_cancel ? MenuItem(u"Settings", properties_.translate(u"Cancel"))
                                           : MenuItem(language.id, language.label);
        item.checked = language.checked;
        items.push_back(item);
    }
    return true;
}

// The choices

void MainMenu::confirm_delete()
{
    list_.confirm_delete();
}

void MainMenu::move_shown()
{
    if (!document_.move_to_card(list_.shown_records()))
        host_.message_box(properties_.translate(u"Sorry_cannot_move_files"),
            properties_.dictionary().lookup(u"skin_ProgramName", document::APP_NAME));
}

void MainMenu::refresh_list()
{
    document_.rescan();
}

void MainMenu::show_quick_record()
{
    quick_record_.prepare();
    quick_record_.show();
}

void MainMenu::minimize()
{
    host_.minimize();
}

void MainMenu::open_help()
{
    help_.start(u"%app_path%/help/" + properties_.translate(u"Help_link"), u"");
}

void MainMenu::exit()
{
    document_.stop();
    host_.quit();
}

bool MainMenu::change_setting(Menu& menu, core::StringView id)
{
    auto const choice = std::find_if(
        std::begin(SETTING_CHOICES), std::end(SETTING_CHOICES), [&](SettingChoice const& c) { return c.matches(id); });
    if (choice == std::end(SETTING_CHOICES))
        return false;
    choice->apply(document_, id);
    document_.save_settings();
    menu.open(u"Settings", u"", PageOpening::IN_PLACE);
    return true;
}

void MainMenu::on_timer(core::Timer& timer)
{
    if (&timer != &reload_)
        return;
    // Every form rebuilds itself, and with it every text, in the new language.
    properties_.send_reload_skin();
}

} // namespace screens
