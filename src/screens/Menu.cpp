#include "Menu.h"

#include "ScreenHost.h"

#include <skin/FormBinding.h>
#include <skin/FormStack.h>
#include <skin/Properties.h>
#include <skin/widgets/ButtonElement.h>
#include <skin/widgets/ListRow.h>
#include <skin/widgets/TextElement.h>
#include <skin/widgets/VListElement.h>

namespace screens {

MenuOwner::~MenuOwner() = default;

namespace {

constexpr core::StringView ROW_BUTTONS[] = { u"Help", u"Minimize", u"Exit" };

class MenuRow final : public skin::ListRow {
public:
    MenuRow(Menu& menu, skin::Properties& properties, core::StringView element)
        : menu_(menu)
        , properties_(properties)
    {
        skin::load_entry(*this, properties, element);
        for (core::StringView name : ROW_BUTTONS)
            if (skin::Element* button = find_child(name))
                skin::attach_button_owner(*button, &menu);
    }

    void bind_row(skin::VListElement*, int32_t) override
    {
        if (index() < 0 || static_cast<size_t>(index()) >= menu_.items().size())
            return;
        MenuItem const& item = menu_.items()[static_cast<size_t>(index())];
        if (!item.id.empty() || !item.label.empty())
            set_text_by_id(u"#text", menu_row_text(item, properties_.translate(item.id)));
        if (skin::Element* separator = find_child(u"separator"))
            separator->set_visible(item.separator);
        if (skin::Element* checked = find_child(u"checked"))
            checked->set_visible(item.checked);
    }

private:
    Menu& menu_;
    skin::Properties& properties_;
};

} // namespace

Menu::Menu(skin::Properties& properties, ScreenHost& host, MenuOwner& owner, core::StringView form_name,
    core::StringView default_element)
    : skin::SkinListener(properties)
    , properties_(properties)
    , host_(host)
    , owner_(owner)
    , form_name_(form_name)
    , default_element_(default_element)
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
    host_.form_stack().close_form(&form_);
}

void Menu::open(core::StringView id, core::StringView caption, bool first)
{
    uint64_t const opening = ++opened_;
    core::String const page(id);
    core::String const page_caption = caption.empty() ? properties_.translate(id) : core::String(caption);
    MenuItems items;
    owner_.on_menu(*this, page, page_caption, items);
    if (opening != opened_)
        return;
    if (!first && !items.empty() && is_open() && same_page(items, items_)) {
        items_ = std::move(items);
        for (int32_t i = 0; i < static_cast<int32_t>(items_.size()); ++i)
            list_->refresh_row(i);
        return;
    }
    page_ = page;
    page_caption_ = page_caption;
    items_ = std::move(items);
    if (caption_)
        caption_->set_text(page_caption_);
    list_->reset(static_cast<int32_t>(items_.size()));
    if (items_.empty()) {
        close();
        return;
    }
    if (first || !is_open())
        host_.form_stack().show_form(&form_, skin::FormMode::POPUP);
}

void Menu::on_row_clicked(skin::VListElement*, int32_t index)
{
    if (index < 0 || static_cast<size_t>(index) >= items_.size())
        return;
    MenuItem const item = items_[static_cast<size_t>(index)];
    if (!item.enabled)
        return;
    open(item.id, item.label, false);
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
    open(id, caption, false);
}

} // namespace screens
