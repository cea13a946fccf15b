#pragma once

#include "FormQuickRecord.h"
#include "ListScreen.h"
#include "MenuItem.h"

#include <core/Strings.h>
#include <core/Timer.h>
#include <lang/Languages.h>
#include <os/Launcher.h>

#include <cstdint>
#include <vector>

namespace document {
class Document;
}

namespace skin {
class Properties;
}

namespace screens {

class Menu;
class ScreenHost;

// The pages and choices of the main screen's menu "MainMenu": the row of Help, Minimize and Exit, the
// pages "File" (delete, move to the card, refresh) and "Settings" (automatic call recording, speaker,
// format, boost, quick record, language, microphone), and the language page of the language module.
// Threads: main thread only.
class MainMenu final : private core::TimerListener {
public:
    MainMenu(skin::Properties& properties, ScreenHost& host, document::Document& document, ListScreen& list);
    ~MainMenu() override;

    // Fills the page `id`, or acts on the choice `id`.
    void on_menu(Menu& menu, core::StringView id, MenuItems& items);
    FormQuickRecord& quick_record() { return quick_record_; }

private:
    struct Page;
    struct Action;
    static Page const PAGES[];
    static Action const ACTIONS[];

    // The pages.
    void fill_main(MenuItems& items) const;
    void fill_file(MenuItems& items) const;
    void fill_settings(MenuItems& items) const;
    void fill_formats(MenuItems& items) const;
    void fill_boost(MenuItems& items) const;
    // The page "Microphone": the default, then each capture device offered, the one in use checked.
    void fill_microphones(MenuItems& items) const;
    // The language module's page, when `id` is one of its pages.
    bool fill_languages(core::StringView id, MenuItems& items) const;

    // The choices that act.
    void move_shown();
    void refresh_list();
    void show_quick_record();
    void minimize();
    void open_help();
    void exit();
    void confirm_delete();
    // A choice on a page of settings changes its setting, which is saved; the page of settings comes back.
    bool change_setting(Menu& menu, core::StringView id);
    void on_timer(core::Timer& timer) override;

    skin::Properties& properties_;
    ScreenHost& host_;
    document::Document& document_;
    ListScreen& list_;
    lang::LanguageMenu languages_;
    FormQuickRecord quick_record_;
    // The help page, opened by the desktop's browser.
    os::Launcher help_;
    // A new language is shown once the menu's choice has returned: the reload rebuilds the menu's rows.
    core::Timer reload_;
};

} // namespace screens
