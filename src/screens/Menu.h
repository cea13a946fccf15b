#pragma once

#include "MenuItem.h"
#include "MenuOwner.h"

#include <skin/Form.h>
#include <skin/SkinListener.h>
#include <skin/widgets/ButtonListener.h>
#include <skin/widgets/ListModel.h>

#include <cstdint>
#include <memory>

namespace skin {
class Properties;
class TextElement;
class VListElement;
} // namespace skin

namespace screens {

class Menu;
class ScreenHost;

// How a page comes up: as the first page of a new showing of the menu over its owner, or in place of the
// page on screen (only redrawn when it holds the same ids).
enum class PageOpening { SHOW_MENU, IN_PLACE };

// The menu's form: it sees keys and presses before its elements do.
class MenuForm final : public skin::Form {
public:
    explicit MenuForm(Menu& menu)
        : menu_(menu)
    {
    }
    bool on_pen(skin::PenEvent const& event) override;
    bool on_key(skin::KeyEvent const& event) override;

private:
    Menu& menu_;
};

// A skinned list of choices shown as a popup over its owner's screen. It has no content of its own: each
// page is filled by the owner when it opens, and each choice opens the page of the chosen id, which the
// owner either fills (a new page, or the same ids again to update the rows in place) or acts on.
//
// The skin form (default "Menu") holds "panel", "vlist" (one row per item) and optionally a "caption"
// text. A row is the skin entry of the item's style or the default row element ("MenuElement"), with
// "Disabled" appended for a disabled item; it shows the text in "#text" and the optional "separator" and
// "checked" marks. The buttons "Help", "Minimize" and "Exit" of a row (the main menu's first one) choose
// their own names.
//
// Keys: Up and Down move the highlight over the rows that can be chosen and, from a neighbour, onto a
// row of buttons (Left and Right then go along it); Enter chooses the highlighted row or presses the
// button; Escape goes back to the page this one was opened from (or closes the menu on the first page);
// the list scrolls with Page Up, Page Down, Home, End and the wheel. A press outside "panel" closes it.
// Threads: main thread only.
class Menu final : public skin::ListModel, public skin::ButtonListener, private skin::SkinListener {
public:
    Menu(skin::Properties& properties, ScreenHost& host, MenuOwner& owner, core::StringView form_name = u"Menu",
        core::StringView default_element = u"MenuElement");
    ~Menu() override;

    // Opens the page `id` with the caption (the translated id when empty): the owner fills it; an empty
    // page closes the menu.
    void open(core::StringView id, core::StringView caption, PageOpening opening);
    void close();
    bool is_open() const;
    // The caption of the page on screen.
    core::String const& caption() const { return page_caption_; }

    skin::Form& form() { return form_; }
    skin::VListElement& list() const { return *list_; }
    core::String const& page() const { return page_; }
    MenuItems const& items() const { return items_; }
    core::String const& default_element() const { return default_element_; }

    // Which button of the highlighted row of buttons the arrows are on (0 the first), or -1.
    int32_t row_button() const { return row_button_; }

    // Keys and presses that reach the form; true when the menu took them.
    bool on_key(skin::KeyEvent const& event);
    bool on_pen(skin::PenEvent const& event);

    // ListModel.
    void on_row_clicked(skin::VListElement* list, int32_t index) override;
    std::unique_ptr<skin::ListRow> create_row(skin::VListElement* list, int32_t index) override;
    // The buttons of a row.
    void on_click(skin::Element* source, skin::ButtonEvent const& event) override;

private:
    void on_reload_skin(skin::PropertiesImpl& properties) override;
    void load();
    // Moves the highlight to the next row that can be chosen in `direction` (+1 down, -1 up).
    void move_highlight(int32_t direction);
    void set_row_button(int32_t button);
    // Clicks the button of the row of buttons the arrows are on; false when there is none.
    bool press_row_button();
    void back();

    skin::Properties& properties_;
    ScreenHost& host_;
    MenuOwner& owner_;
    core::String form_name_;
    core::String default_element_;
    MenuForm form_;
    skin::Element* panel_ = nullptr;
    skin::VListElement* list_ = nullptr;
    skin::TextElement* caption_ = nullptr;
    core::String page_;
    core::String page_caption_;
    MenuItems items_;
    // The pages of this showing from the first to the one on screen, with their captions: a row that
    // leads back to one of them ("Cancel" on a page of settings) brings it back under its own caption.
    std::vector<std::pair<core::String, core::String>> trail_;
    // Counts the pages opened, so that an owner that opens a page while it is asked for another wins.
    uint64_t opened_ = 0;
    int32_t row_button_ = -1;
};

} // namespace screens
