#pragma once

#include "FormConfirmation.h"
#include "FormError.h"
#include "FormRecording.h"
#include "FormView.h"
#include "KeyCommands.h"
#include "Keypad.h"
#include "ListScreen.h"
#include "LiveForm.h"
#include "MainMenu.h"
#include "Menu.h"
#include "MenuOwner.h"
#include "RecordFilter.h"
#include "RecordIcons.h"
#include "RecordRow.h"
#include "RowTexts.h"

#include <core/Timer.h>
#include <document/Document.h>
#include <document/DocumentListener.h>
#include <skin/Color.h>
#include <skin/Form.h>
#include <skin/SkinListener.h>
#include <skin/widgets/ButtonListener.h>
#include <skin/widgets/ListModel.h>

namespace document {
class Document;
}

namespace skin {
class ButtonElement;
class Properties;
class TextElement;
class VListElement;
} // namespace skin

namespace screens {

class ScreenHost;

// "FormMain", the screen after start-up: the list of recordings, the button that records at once, the
// keypad filter that narrows the list, and the main menu. It owns the other screens and dialogs and
// switches to them, and keeps the list in step with the Document's records through its events.
// Threads: main thread only.
class FormMain final : public skin::ButtonListener,
                       public skin::ListModel,
                       public KeypadListener,
                       public MenuOwner,
                       public ListScreen,
                       public RecordRowBinder,
                       public document::DocumentListener,
                       private skin::SkinListener,
                       private core::TimerListener {
public:
    // How long the list offers to undo a delete.
    static constexpr double UNDO_SECONDS = 5;

    FormMain(skin::Properties& properties, ScreenHost& host, document::Document& document);
    ~FormMain() override;

    // Shows the list as the window's screen.
    void show();
    skin::Form& form() { return form_; }
    skin::VListElement& list() const { return *list_; }
    RecordFilter const& filter() const { return filter_; }
    bool filter_open() const { return filter_open_; }
    FormRecording& recording() { return *recording_; }
    FormView& view() { return *view_; }
    MainMenu& main_menu() { return *main_menu_; }
    FormConfirmation& confirmation() { return *confirmation_; }
    FormError& error() { return *error_; }
    Menu& menu() { return *menu_; }
    Keypad& keypad() { return keypad_; }

    // ListScreen: the shown records, the question before deleting them (the main menu's "Delete"), and
    // messages.
    std::vector<int32_t> const& shown_records() const override { return filter_.shown(); }
    void confirm_delete() override;
    void show_error(core::StringView key) override;
    // Moves the files the confirmation was about to the trash (or deletes them where there is none), takes
    // them off the list and offers to undo it for a few seconds; a file that cannot be deleted stays listed.
    void delete_shown();
    // Puts the files of the last delete back at their places; one whose path is taken by now stays in the
    // trash, and a message says so.
    void undo_delete();
    // Whether the bar that offers the undo is up.
    bool undo_offered() const { return !undo_.empty(); }
    // The bar's button; none in a skin without the bar.
    skin::ButtonElement* undo_button() const { return undo_button_; }
    void close_filter();
    // The hint in the middle of the list while there are no recordings at all.
    void show_empty_hint();
    // The keys typed into the filter in the bar's title, or the program's name without any.
    void show_typed();

    // A shortcut on the list: Ctrl+R records, Ctrl+F filters, the menu key opens the menu, Delete asks
    // to delete the selected record, Ctrl+Z undoes a delete while that is offered, Ctrl+? lists the keys.
    // True when taken.
    bool on_key_command(KeyCommand command);
    // The page that lists the keys, in the current language, one row each.
    void show_keys();
    void fill_keys(MenuItems& items) const;

    // Shows the record of the row's position.
    void bind_record_row(RecordRow& row) override;

    void on_click(skin::Element* source, skin::ButtonEvent const& event) override;
    void on_row_clicked(skin::VListElement* list, int32_t index) override;
    std::unique_ptr<skin::ListRow> create_row(skin::VListElement* list, int32_t index) override;
    void on_char(core::StringView text) override;
    void on_backspace() override;
    void on_menu(Menu& menu, core::StringView id, core::StringView caption, MenuItems& items) override;
    void on_document_event(document::DocumentEvent const& event) override;

private:
    // Takes the characters that no element of the list screen takes: letters typed on a keyboard.
    class TypedLetters final : public skin::Element {
    public:
        explicit TypedLetters(FormMain& owner)
            : skin::Element(nullptr)
            , owner_(owner)
        {
        }
        bool on_char(char16_t character) override { return owner_.on_letter(character); }

    private:
        FormMain& owner_;
    };

    void on_reload_skin(skin::PropertiesImpl& properties) override;
    // The undo offer ends.
    void on_timer(core::Timer& timer) override;
    void show_undo(size_t deleted);
    void hide_undo();
    void load();
    void open_filter();
    // A letter filters by name as the keypad's keys do, opening the filter first; digits and "#" are the
    // keypad's own, typed through its keys.
    bool on_letter(char16_t character);
    void show_filtered(skin::TextElement& element, core::StringView text) const;
    // Seconds for a row whose shown neighbour started in the same minute, so that the two differ.
    Clock row_clock(size_t position) const;

    skin::Properties& properties_;
    ScreenHost& host_;
    document::Document& document_;
    ScreenForm form_;
    // The files the confirmation is about: the shown records (the menu's "Delete") or the selected one.
    // Kept by path, so that a record found while the question is shown is not taken along.
    std::vector<core::String> to_delete_;
    void ask_delete(std::vector<int32_t> const& records);
    skin::ButtonElement* record_ = nullptr;
    skin::ButtonElement* filter_button_ = nullptr;
    skin::ButtonElement* close_filter_ = nullptr;
    skin::ButtonElement* menu_button_ = nullptr;
    skin::VListElement* list_ = nullptr;
    skin::Element* empty_hint_ = nullptr; // a skin may have none
    // The bar that offers to undo a delete, its message and its button; a skin may have none.
    skin::Element* undo_bar_ = nullptr;
    skin::TextElement* undo_text_ = nullptr;
    skin::ButtonElement* undo_button_ = nullptr;
    // The files of the last delete that lie in the trash while the undo is offered.
    std::vector<document::TrashedRecord> undo_;
    core::Timer undo_timer_ { this };
    Keypad keypad_;
    RecordFilter filter_;
    bool filter_open_ = false;
    TypedLetters letters_ { *this };
    RecordIcons icons_;
    skin::Color highlight_;

    std::unique_ptr<FormConfirmation> confirmation_;
    std::unique_ptr<FormError> error_;
    std::unique_ptr<FormRecording> recording_;
    std::unique_ptr<FormView> view_;
    std::unique_ptr<MainMenu> main_menu_;
    std::unique_ptr<Menu> menu_;
};

} // namespace screens
