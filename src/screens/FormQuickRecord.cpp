#include "FormQuickRecord.h"

#include "ScreenHost.h"

#include <skin/FormBinding.h>
#include <skin/FormStack.h>
#include <skin/PictureHolder.h>
#include <skin/Properties.h>
#include <skin/widgets/ButtonElement.h>
#include <skin/widgets/ImageElement.h>
#include <skin/widgets/ListRow.h>
#include <skin/widgets/TextElement.h>
#include <skin/widgets/VListElement.h>

namespace screens {

namespace {

class HardwareKeyRow final : public skin::ListRow {
public:
    HardwareKeyRow(FormQuickRecord& owner, skin::Properties& properties)
        : owner_(owner)
    {
        skin::load_entry(*this, properties, u"HardwareKey");
        checked_ = &skin::require_child<skin::Element>(*this, u"checked");
        unchecked_ = &skin::require_child<skin::Element>(*this, u"unchecked");
        icon_ = &skin::require_child<skin::ImageElement>(*this, u"icon");
        name_ = &skin::require_child<skin::TextElement>(*this, u"name");
        default_icon_ = icon_->picture();
    }

    void bind_row(skin::VListElement*, int32_t) override
    {
        auto const& keys = owner_.buttons();
        if (index() < 0 || static_cast<size_t>(index()) >= keys.size())
            return;
        auto const& key = keys[static_cast<size_t>(index())];
        name_->set_text(key.name);
        checked_->set_visible(key.assigned);
        unchecked_->set_visible(!key.assigned);
        auto const icon = owner_.icon_picture(key);
        icon_->set_picture(icon.empty() ? default_icon_ : icon);
    }

private:
    FormQuickRecord& owner_;
    skin::Element* checked_;
    skin::Element* unchecked_;
    skin::ImageElement* icon_;
    skin::TextElement* name_;
    skin::PictureRef default_icon_;
};

} // namespace

FormQuickRecord::FormQuickRecord(skin::Properties& properties, ScreenHost& host)
    : skin::SkinListener(properties)
    , properties_(properties)
    , host_(host)
{
    load();
}

FormQuickRecord::~FormQuickRecord()
{
    close();
    if (list_)
        list_->set_model(nullptr);
}

void FormQuickRecord::load()
{
    skin::load_entry(form_, properties_, u"QuickRecord");
    skin::bind_element(list_, form_, u"list", nullptr);
    skin::require_button(ok_, form_, u"btnOk", this);
    icon_background_ = properties_.lookup_color(properties_.find_entry(u"icon_color"), u"color", skin::Color {});
    list_->set_model(this);
    list_->reset(static_cast<int32_t>(keys_.size()));
}

void FormQuickRecord::on_reload_skin(skin::PropertiesImpl&)
{
    list_->set_model(nullptr);
    load();
}

void FormQuickRecord::prepare()
{
    keys_ = keys::list_hardware_keys();
    list_->reset(static_cast<int32_t>(keys_.size()));
}

void FormQuickRecord::show()
{
    host_.form_stack().show_form(&form_, skin::FormMode::POPUP);
}

void FormQuickRecord::close()
{
    host_.form_stack().close_form(&form_);
}

bool FormQuickRecord::is_shown() const
{
    return host_.form_stack().contains(&form_);
}

skin::PictureRef FormQuickRecord::icon_picture(keys::HardwareKey const& key) const
{
    for (auto const& name : keys::icon_candidates(key.icon)) {
        auto const entry = properties_.find_entry(name);
        if (!entry)
            continue;
        auto icon = properties_.lookup_picture(entry, u"src", skin::PictureRef {});
        if (icon.empty())
            continue;
        auto bitmap = icon.picture->bitmap().over_background(icon_background_.to_565());
        icon.picture = std::make_shared<skin::PictureHolder const>(icon.picture->name(), std::move(bitmap));
        return icon;
    }
    return {};
}

void FormQuickRecord::on_row_clicked(skin::VListElement*, int32_t tapped)
{
    // At most one button stays bound to the program; tapping the bound one releases it.
    for (int32_t i = 0; i < static_cast<int32_t>(keys_.size()); ++i) {
        auto& key = keys_[static_cast<size_t>(i)];
        if (i == tapped && !key.assigned) {
            keys::assign(key, keys::quick_record_command());
            list_->refresh_row(i);
        } else if (key.assigned) {
            keys::unassign(key);
            list_->refresh_row(i);
        }
    }
}

std::unique_ptr<skin::ListRow> FormQuickRecord::create_row(skin::VListElement*, int32_t)
{
    return std::make_unique<HardwareKeyRow>(*this, properties_);
}

void FormQuickRecord::on_click(skin::Element* source, skin::ButtonEvent const&)
{
    if (source == ok_)
        close();
}

} // namespace screens
