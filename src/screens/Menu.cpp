#include "Menu.h"

#include "ScreenHost.h"

#include <algorithm>

#include <skin/FormBinding.h>
#include <skin/FormStack.h>
#include <skin/KeyNames.h>
#include <skin/Properties.h>
#include <skin/widgets/ButtonElement.h>
#include <skin/widgets/ListRow.h>
#include <skin/widgets/TextElement.h>
#include <skin/widgets/VListElement.h>

namespace screens {

MenuOwner::~MenuOwner() = default;

namespace {

constexpr core::StringView ROW_BUTTONS[] = { u"Help", u"Minimize", u"Exit" };

// A row the keys can choose: enabled and standing for an id (the row of buttons stands for none).
bool choosable(MenuItem const& item)
{
    return item.enabled && !(item.id.empty() && item.label.empty());
}

// The buttons a row holds, in the order of ROW_BUTTONS.
std::vector<skin::ButtonElement*> row_buttons(skin::Element* row)
{
    std::vector<skin::ButtonElement*> buttons;
    if (!row)
        return buttons;
    for (core::StringView name : ROW_BUTTONS)
        if (auto* button = dynamic_cast<skin::ButtonElement*>(row->find_child(name)))
            if (button->effectively_visible() && button->effectively_enabled())
                buttons.push_back(button);
    return buttons;
}

// The button the keys are on looks pressed: the row has no focus ring of its own.
void mark_row_button(skin::Element* row, int32_t marked)
{
    std::vector<skin::ButtonElement*> const buttons = row_buttons(row);
    for (size_t i = 0; i < buttons.size(); ++i)
        if (skin::Element* look = buttons[i]->find_child(u"#pressed"))
            look->set_visible(static_cast<int32_t>(i) == marked || buttons[i]->pressed());
}

class MenuRow final : public skin::ListRow {
public:
    MenuRow(Menu& menu, skin::Properties& properties, core::StringView element)
        : menu_(menu)
        , properties_(properties)
    {
        load(element);
    }

    void bind_row(skin::VListElement*, int32_t) override
    {
        if (index() < 0 || static_cast<size_t>(index()) >= menu_.items().size())
            return;
        MenuItem const& item = menu_.items()[static_cast<size_t>(index())];
        // A page updated in place may have switched an option between the checked and the unchecked
        // row: the row takes the look of its item's style.
        core::String const element = menu_row_element(item, menu_.default_element());
        if (id() != element)
            load(element);
        if (!item.id.empty() || !item.label.empty())
            set_text_by_id(u"#text", menu_row_text(item, properties_.translate(item.id)));
        if (skin::Element* separator = find_child(u"separator"))
            separator->set_visible(item.separator);
        if (skin::Element* checked = find_child(u"checked"))
            checked->set_visible(item.checked);
        mark_row_button(this, menu_.list().selected() == index() ? menu_.row_button() : -1);
    }

private:
    void load(core::StringView element)
    {
        skin::load_entry(*this, properties_, element);
        for (core::StringView name : ROW_BUTTONS)
            if (skin::Element* button = find_child(name))
                skin::attach_button_owner(*button, &menu_);
    }

    Menu& menu_;
    skin::Properties& properties_;
};

} // namespace

bool MenuForm::on_pen(skin::PenEvent const& event)
{
    return menu_.on_pen(event) || skin::Form::on_pen(event);
}

bool MenuForm::on_key(skin::KeyEvent const& event)
{
    return menu_.on_key(event) || skin::Form::on_key(event);
}

Menu::Menu(skin::Properties& properties, ScreenHost& host, MenuOwner& owner, core::StringView form_name,
    core::StringView default_element)
    : skin::SkinListener(properties)
    , properties_(properties)
    , host_(host)
    , owner_(owner)
    , form_name_(form_name)
    , default_element_(default_element)
    , form_(*this)
{
    load();
}

Menu::~Menu()
{
    close();
    if (list_)
        list_->set_model(nullptr);
}

void Menu::load()
{
    skin::load_entry(form_, properties_, form_name_);
    skin::bind_element(panel_, form_, u"panel", nullptr);
    skin::bind_element(list_, form_, u"vlist", nullptr);
    caption_ = dynamic_cast<skin::TextElement*>(form_.find_child(u"caption"));
    list_->set_model(this);
    list_->reset(static_cast<int32_t>(items_.size()));
}

void Menu::on_reload_skin(skin::PropertiesImpl&)
{
    list_->set_model(nullptr);
    load();
    if (caption_)
        caption_->set_text(page_caption_);
}

bool Menu::is_open() const
{
    return host_.form_stack().contains(&form_);
}

void Menu::close()
{
    trail_.clear();
    host_.form_stack().close_form(&form_);
}

void Menu::open(core::StringView id, core::StringView caption, PageOpening opening)
{
    bool const first = opening == PageOpening::SHOW_MENU;
    uint64_t const count = ++opened_;
    core::String const page(id);
    core::String page_caption = caption.empty() ? properties_.translate(id) : core::String(caption);
    // A page of this showing that is opened again keeps the caption it had, whatever the row that led
    // back to it says.
    auto back_to = first
        ? trail_.end()
        : std::find_if(trail_.begin(), trail_.end(), [&](auto const& shown) { return shown.first == page; });
    if (back_to != trail_.end())
        page_caption = back_to->second;
    MenuItems items;
    owner_.on_menu(*this, page, page_caption, items);
    if (count != opened_)
        return;
    if (!first && !items.empty() && is_open() && same_page(items, items_)) {
        items_ = std::move(items);
        for (int32_t i = 0; i < static_cast<int32_t>(items_.size()); ++i)
            list_->refresh_row(i);
        return;
    }
    if (items.empty()) {
        items_.clear();
        list_->reset(0);
        close();
        return;
    }
    if (first)
        trail_.clear();
    else if (back_to != trail_.end())
        trail_.erase(back_to, trail_.end());
    trail_.emplace_back(page, page_caption);
    page_ = page;
    page_caption_ = page_caption;
    items_ = std::move(items);
    if (caption_)
        caption_->set_text(page_caption_);
    row_button_ = -1;
    list_->reset(static_cast<int32_t>(items_.size()));
    list_->set_selected(-1);
    if (first || !is_open())
        host_.form_stack().show_form(&form_, skin::FormMode::POPUP);
}

void Menu::back()
{
    if (trail_.size() < 2) {
        close();
        return;
    }
    auto const previous = trail_[trail_.size() - 2];
    open(previous.first, previous.second, PageOpening::IN_PLACE);
}

void Menu::move_highlight(int32_t direction)
{
    int32_t const count = static_cast<int32_t>(items_.size());
    int32_t index = list_->selected();
    // The first key highlights a row that can be chosen; a row of buttons is reached from a neighbour.
    bool const from_row = index >= 0 && index < count;
    if (!from_row)
        index = direction > 0 ? -1 : count;
    for (index += direction; index >= 0 && index < count; index += direction) {
        // The arrows also stop at a row of buttons, on its first one; Left and Right go along it.
        bool const buttons
            = from_row && items_[static_cast<size_t>(index)].enabled && !row_buttons(list_->row(index)).empty();
        if (choosable(items_[static_cast<size_t>(index)]) || buttons) {
            set_row_button(-1);
            list_->set_selected(index);
            list_->show_row(index);
            set_row_button(choosable(items_[static_cast<size_t>(index)]) ? -1 : 0);
            return;
        }
    }
}

void Menu::set_row_button(int32_t button)
{
    row_button_ = button;
    mark_row_button(list_->row(list_->selected()), row_button_);
}

bool Menu::press_row_button()
{
    std::vector<skin::ButtonElement*> const buttons = row_buttons(list_->row(list_->selected()));
    if (row_button_ < 0 || static_cast<size_t>(row_button_) >= buttons.size())
        return false;
    skin::ButtonElement* button = buttons[static_cast<size_t>(row_button_)];
    on_click(button, { button->position(), true });
    return true;
}

bool Menu::on_key(skin::KeyEvent const& event)
{
    switch (event.code) {
    case skin::KEY_UP:
    case skin::KEY_DOWN:
    case skin::KEY_ENTER:
    case skin::KEY_ESC:
        break;
    case skin::KEY_LEFT:
    case skin::KEY_RIGHT:
        if (row_button_ < 0)
            return false;
        break;
    default:
        return false;
    }
    if (!event.down)
        return true;
    if (event.code == skin::KEY_UP || event.code == skin::KEY_DOWN) {
        move_highlight(event.code == skin::KEY_DOWN ? 1 : -1);
    } else if (event.code == skin::KEY_LEFT || event.code == skin::KEY_RIGHT) {
        auto const last = static_cast<int32_t>(row_buttons(list_->row(list_->selected())).size()) - 1;
        set_row_button(std::clamp(row_button_ + (event.code == skin::KEY_RIGHT ? 1 : -1), 0, std::max(last, 0)));
    } else if (event.code == skin::KEY_ENTER) {
        int32_t const selected = list_->selected();
        if (!event.first || selected < 0 || static_cast<size_t>(selected) >= items_.size())
            return true;
        // A row of buttons chooses nothing itself: Enter presses the button the arrows are on.
        if (row_button_ >= 0 && press_row_button())
            return true;
        if (choosable(items_[static_cast<size_t>(selected)]))
            on_row_clicked(list_, selected);
    } else if (event.first) {
        back();
    }
    return true;
}

bool Menu::on_pen(skin::PenEvent const& event)
{
    // A press beside the panel puts the menu away, as a tap outside a popup does anywhere else.
    if (!event.down || panel_->hit_test(event.point()))
        return false;
    close();
    return true;
}

void Menu::on_row_clicked(skin::VListElement*, int32_t index)
{
    if (index < 0 || static_cast<size_t>(index) >= items_.size())
        return;
    MenuItem const item = items_[static_cast<size_t>(index)];
    if (!item.enabled)
        return;
    open(item.id, item.label, PageOpening::IN_PLACE);
}

std::unique_ptr<skin::ListRow> Menu::create_row(skin::VListElement*, int32_t index)
{
    MenuItem const fallback;
    MenuItem const& item
        = index >= 0 && static_cast<size_t>(index) < items_.size() ? items_[static_cast<size_t>(index)] : fallback;
    return std::make_unique<MenuRow>(*this, properties_, menu_row_element(item, default_element_));
}

void Menu::on_click(skin::Element* source, skin::ButtonEvent const&)
{
    auto* button = dynamic_cast<skin::ButtonElement*>(source);
    if (!button)
        return;
    core::String const id = button->id();
    core::String const caption = button->text();
    open(id, caption, PageOpening::IN_PLACE);
}

} // namespace screens
