#pragma once

#include "FormQuickRecord.h"
#include "Launcher.h"
#include "MenuItem.h"

#include <core/Strings.h>
#include <core/Timer.h>
#include <lang/Languages.h>

#include <cstdint>
#include <vector>

namespace document {
class Document;
}

namespace skin {
class Properties;
}

namespace screens {

class FormMain;
class Menu;
class ScreenHost;

// The pages and choices of the main screen's menu "MainMenu": the row of Help, Minimize and Exit, the
// pages "File" (delete, move to the card, refresh) and "Settings" (automatic call recording, speaker,
// format, boost, quick record, language, microphone), and the language page of the language module.
// Threads: main thread only.
class MainMenu final : private core::TimerListener {
public:
    MainMenu(skin::Properties& properties, ScreenHost& host, document::Document& document, FormMain& main);
    ~MainMenu() override;

    // Fills the page `id`, or acts on the choice `id`.
    void on_menu(Menu& menu, core::StringView id, MenuItems& items);
    // Moves the shown records that lie in the documents folder to the last store folder (the card),
    // each under a name not taken there; the first failure is said in a message box and ends the move.
    // Answers how many moved.
    int32_t move_shown();
    // Whether "Move" has something to do: a card and a shown record in main memory.
    bool can_move() const;
    FormQuickRecord& quick_record() { return quick_record_; }

private:
    void fill_settings(MenuItems& items) const;
    // The page "Microphone": the default, then each capture device offered, the one in use checked.
    void fill_microphones(MenuItems& items) const;
    void on_timer(core::Timer& timer) override;

    skin::Properties& properties_;
    ScreenHost& host_;
    document::Document& document_;
    FormMain& main_;
    lang::LanguageMenu languages_;
    FormQuickRecord quick_record_;
    // The help page, opened by the desktop's browser.
    Launcher help_;
    // A new language is shown once the menu's choice has returned: the reload rebuilds the menu's rows.
    core::Timer reload_;
};

} // namespace screens
