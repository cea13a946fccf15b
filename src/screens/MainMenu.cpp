#include "MainMenu.h"

#include "FormMain.h"
#include "Menu.h"
#include "ScreenHost.h"

#include <algorithm>
#include <core/Log.h>
#include <document/Document.h>
#include <keys/HardwareKey.h>
#include <os/FileInfo.h>
#include <os/FileSystem.h>
#include <os/Paths.h>
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
    for (core::StringView name : names)
        if (id == name)
            return true;
    return false;
}

} // namespace

MainMenu::MainMenu(skin::Properties& properties, ScreenHost& host, document::Document& document, FormMain& main)
    : properties_(properties)
    , host_(host)
    , document_(document)
    , main_(main)
    , languages_(properties.dictionary(), document::APP_NAME)
    , quick_record_(properties, host)
    , help_([this] { main_.error().show(properties_.translate(u"Sorry_cannot_open_help")); })
    , reload_(this)
{
}

MainMenu::~MainMenu() = default;

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

void MainMenu::on_menu(Menu& menu, core::StringView id, MenuItems& items)
{
    if (id == u"MainMenu") {
        MenuItem buttons;
        buttons.style = u"MenuElement4Buttons";
        items.push_back(buttons);
        items.emplace_back(u"File");
        items.emplace_back(u"Settings");
        items.emplace_back(u"Cancel");
    } else if (id == u"File") {
        if (!main_.filter().shown().empty())
            items.emplace_back(u"Delete");
        if (can_move())
            items.emplace_back(u"Move");
        items.emplace_back(u"Refresh");
        items.emplace_back(u"Cancel");
    } else if (id == u"Delete") {
        main_.confirm_delete();
    } else if (id == u"Move") {
        move_shown();
    } else if (id == u"Refresh") {
        document_.rescan();
    } else if (id == u"Settings") {
        fill_settings(items);
    } else if (id == u"AutoRecord") {
        document_.set_auto_record(!document_.settings().auto_record);
        document_.save_settings();
        menu.open(u"Settings", u"", false);
    } else if (id == u"Speaker") {
        document_.set_speaker(!document_.settings().speaker);
        document_.save_settings();
        menu.open(u"Settings", u"", false);
    } else if (id == u"Format") {
        for (core::StringView name : document::FORMAT_NAMES) {
            MenuItem item(name);
            item.checked = document_.settings().format == name;
            items.push_back(item);
        }
        items.emplace_back(u"Settings", properties_.translate(u"Cancel"));
    } else if (is_one_of(id, document::FORMAT_NAMES)) {
        document_.set_format(id);
        document_.save_settings();
        menu.open(u"Settings", u"", false);
    } else if (id == u"Boost") {
        append_boost_items(items, document_.settings().boost);
        items.emplace_back(u"Settings", properties_.translate(u"Cancel"));
    } else if (is_one_of(id, document::BOOST_NAMES)) {
        document_.set_boost(id);
        document_.save_settings();
        menu.open(u"Settings", u"", false);
    } else if (id == u"QuickRecord") {
        quick_record_.prepare();
        quick_record_.show();
    } else if (id == u"Microphone") {
        fill_microphones(items);
    } else if (id.starts_with(MICROPHONE_PREFIX)) {
        document_.set_input_device(id.substr(std::size(MICROPHONE_PREFIX) - 1));
        document_.save_settings();
        menu.open(u"Settings", u"", false);
    } else if (id == u"Minimize") {
        host_.minimize();
    } else if (id == u"Help") {
        help_.start(u"%app_path%/help/" + properties_.translate(u"Help_link"), u"");
    } else if (id == u"Exit") {
        document_.stop();
        host_.quit();
    }
    // The language module sees every id too.
    std::vector<lang::LanguageItem> languages;
    if (languages_.fill_page(id, languages)) {
        for (auto const& language : languages) {
            // Cancel leads back to the settings, as on the other pages of settings.
            MenuItem item = language.is_cancel ? MenuItem(u"Settings", properties_.translate(u"Cancel"))
                                               : MenuItem(language.id, language.label);
            item.checked = language.checked;
            items.push_back(item);
        }
    } else if (languages_.on_choice(id)) {
        reload_.start(0);
    }
}

void MainMenu::on_timer(core::Timer& timer)
{
    if (&timer != &reload_)
        return;
    // Every form rebuilds itself, and with it every text, in the new language.
    properties_.send_reload_skin();
}

bool MainMenu::can_move() const
{
    if (document_.store_folders().size() < 2)
        return false;
    auto const& records = document_.records();
    for (int32_t index : main_.filter().shown())
        if (static_cast<size_t>(index) < records.size()
            && document::is_in_main_memory(records[static_cast<size_t>(index)].path))
            return true;
    return false;
}

int32_t MainMenu::move_shown()
{
    auto const stores = document_.store_folders();
    if (stores.size() < 2)
        return 0;
    core::String const target = stores.back().path;
    os::create_directory(target);
    int32_t moved = 0;
    auto const shown = main_.filter().shown();
    for (int32_t index : shown) {
        auto const& records = document_.records();
        if (static_cast<size_t>(index) >= records.size())
            continue;
        core::String const path = records[static_cast<size_t>(index)].path;
        if (!document::is_in_main_memory(path))
            continue;
        core::String const destination = document::make_file_name(os::base_name(path), target, os::extension(path));
        if (!os::FileInfo(path).move_to(destination)) {
            core::log() << u"MainMenu::move_shown cannot move:" << path << u"\n";
            host_.message_box(properties_.translate(u"Sorry_cannot_move_files"),
                properties_.dictionary().lookup(u"skin_ProgramName", document::APP_NAME));
            break;
        }
        document_.move_record(static_cast<size_t>(index), destination);
        ++moved;
    }
    return moved;
}

} // namespace screens
