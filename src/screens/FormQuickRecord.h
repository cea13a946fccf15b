#pragma once

#include <keys/HardwareKey.h>
#include <skin/Color.h>
#include <skin/Form.h>
#include <skin/PictureRef.h>
#include <skin/SkinListener.h>
#include <skin/widgets/ButtonListener.h>
#include <skin/widgets/ListModel.h>

#include <vector>

namespace skin {
class ButtonElement;
class Properties;
class VListElement;
} // namespace skin

namespace screens {

class ScreenHost;

// "QuickRecord": the device's buttons ("list", one "HardwareKey" row each, with the button's icon on the
// "icon_color" background, its name and a check mark on the one bound to the program); a tap binds that
// button to quick recording and releases any other, or releases the tapped one; "btnOk" closes it.
// The menu prepares it and shows it as a popup each time its item is chosen.
// Threads: main thread only.
class FormQuickRecord final : public skin::ListModel, public skin::ButtonListener, private skin::SkinListener {
public:
    FormQuickRecord(skin::Properties& properties, ScreenHost& host);
    ~FormQuickRecord() override;

    // Reads the buttons afresh.
    void prepare();
    void show();
    void close();
    bool is_shown() const;

    std::vector<keys::HardwareKey> const& buttons() const { return keys_; }
    skin::Form& form() { return form_; }
    skin::VListElement& list() const { return *list_; }
    // The row picture of a button's icon: the icon over the icon background colour, or empty for none.
    skin::PictureRef icon_picture(keys::HardwareKey const& key) const;

    // ListModel.
    void on_row_clicked(skin::VListElement* list, int32_t index) override;
    std::unique_ptr<skin::ListRow> create_row(skin::VListElement* list, int32_t index) override;
    void on_click(skin::Element* source, skin::ButtonEvent const& event) override;

private:
    void on_reload_skin(skin::PropertiesImpl& properties) override;
    void load();

    skin::Properties& properties_;
    ScreenHost& host_;
    skin::Form form_;
    skin::VListElement* list_ = nullptr;
    skin::ButtonElement* ok_ = nullptr;
    skin::Color icon_background_;
    std::vector<keys::HardwareKey> keys_;
};

} // namespace screens
