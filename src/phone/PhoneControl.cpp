#include "PhoneControl.h"

#include "PhoneState.h"

#include <algorithm>
#include <core/Log.h>
#include <core/Stopwatch.h>
#include <optional>
#include <platform/phone/contacts.h>
#include <platform/phone/phone_devices.h>

namespace phone {

ContactListener::~ContactListener() = default;

namespace {

bool has_type(platform::VCardTel const& tel, std::string_view type)
{
    return std::find(tel.types.begin(), tel.types.end(), type) != tel.types.end();
}

// The field a telephone number takes: by its type, else the first free of the usual ones; none for a fax
// or pager number, which have no field of their own among the contact's, or when those are taken.
std::optional<ContactField> tel_field(platform::VCardTel const& tel, std::array<bool, CONTACT_FIELD_COUNT> const& taken)
{
    auto first_free = [&](std::initializer_list<ContactField> fields) -> std::optional<ContactField> {
        for (ContactField f : fields)
            if (!taken[static_cast<size_t>(f)])
                return f;
        return std::nullopt;
    };
    if (has_type(tel, "fax") || has_type(tel, "pager"))
        return std::nullopt;
    if (has_type(tel, "cell"))
        return first_free({ FIELD_MOBILE });
    if (has_type(tel, "car"))
        return first_free({ FIELD_CAR_TEL });
    if (has_type(tel, "work"))
        return first_free({ FIELD_BUSINESS_TEL, FIELD_BUSINESS2_TEL });
    if (has_type(tel, "home"))
        return first_free({ FIELD_HOME_TEL, FIELD_HOME2_TEL });
    return first_free({ FIELD_MOBILE, FIELD_HOME_TEL, FIELD_HOME2_TEL, FIELD_BUSINESS_TEL, FIELD_BUSINESS2_TEL });
}

Contact to_contact(platform::ContactRecord const& record)
{
    auto const& card = record.card;
    Contact contact;
    contact.oid = record.oid;
    contact.names[0] = card.formatted_name;
    if (contact.names[0].empty())
        contact.names[0]
            = card.given_name + (card.given_name.empty() || card.family_name.empty() ? u"" : u" ") + card.family_name;
    contact.names[1] = card.given_name;
    contact.names[2] = card.family_name;

    std::array<core::String, CONTACT_FIELD_COUNT> fields;
    std::array<bool, CONTACT_FIELD_COUNT> taken {};
    auto put = [&](std::optional<ContactField> field, core::String const& text) {
        if (!field || text.empty() || taken[static_cast<size_t>(*field)])
            return;
        fields[static_cast<size_t>(*field)] = text;
        taken[static_cast<size_t>(*field)] = true;
    };
    for (auto const& tel : card.tels)
        put(tel_field(tel, taken), tel.number);
    constexpr ContactField EMAILS[] = { FIELD_EMAIL1, FIELD_EMAIL2, FIELD_EMAIL3 };
    for (size_t i = 0; i < card.emails.size() && i < std::size(EMAILS); ++i)
        put(EMAILS[i], card.emails[i]);
    put(FIELD_WEB_PAGE, card.url);
    put(FIELD_MIDDLE_NAME, card.middle_name);
    put(FIELD_SUFFIX, card.suffix);
    put(FIELD_NICK_NAME, card.nickname);
    put(FIELD_DEPARTMENT, card.department);
    put(FIELD_JOB_TITLE, card.title);
    for (int32_t f = 0; f < CONTACT_FIELD_COUNT; ++f)
        if (taken[static_cast<size_t>(f)])
            contact.fields.emplace_back(static_cast<ContactField>(f), fields[static_cast<size_t>(f)]);
    return contact;
}

std::unique_ptr<platform::ContactStore> open_default_contacts()
{
    return platform::open_contact_store();
}

} // namespace

PhoneControl::PhoneControl()
    : PhoneControl(platform::open_phone_devices(), open_default_contacts)
{
}

PhoneControl::PhoneControl(std::unique_ptr<platform::PhoneDevices> devices, ContactStoreFactory contacts)
    : devices_(std::move(devices))
    , open_contacts_(contacts)
{
    initialised_ = devices_ != nullptr;
    if (initialised_)
        device_count_ = devices_->device_count();
}

PhoneControl::~PhoneControl()
{
    if (contacts_)
        contacts_->watch(0);
}

void PhoneControl::set_speakerphone(bool on)
{
    if (!initialised_)
        return;
    for (size_t device = 0; device < device_count_; ++device)
        devices_->set_speaker(device, on);
}

bool PhoneControl::is_speaker_on()
{
    return phone::is_speaker_on();
}

platform::ContactStore* PhoneControl::contacts()
{
    if (!contacts_tried_) {
        contacts_tried_ = true;
        if (open_contacts_)
            contacts_ = open_contacts_();
    }
    return contacts_.get();
}

bool PhoneControl::find_contact_by_phone(core::StringView number, Contact& contact)
{
    auto* store = contacts();
    if (!store) {
        core::log() << u"find_contact_by_phone: library not valid\n";
        return false;
    }
    auto const found = number.empty() ? std::nullopt : store->find_by_phone(core::String(number));
    if (!found) {
        core::log() << u"find_contact_by_phone: bad result\n";
        return false;
    }
    contact = to_contact(*found);
    return true;
}

void PhoneControl::get_contact_picture(uint32_t oid, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    auto* store = contacts();
    if (!store)
        return;
    if (auto const record = store->read(oid); record && record->card.photo.size() <= platform::MAX_CONTACT_PHOTO)
        bytes = record->card.photo;
}

bool PhoneControl::watch_contacts(platform::Hwnd window)
{
    auto* store = contacts();
    return store && store->watch(window);
}

intptr_t PhoneControl::on_pim_message(uint32_t message, uint32_t oid)
{
    core::Stopwatch const watch;
    char16_t const* text = nullptr;
    switch (message) {
    case platform::PIM_ITEM_CREATED_LOCAL:
    case platform::PIM_ITEM_CREATED_LOCAL + platform::PIM_ITEM_REMOTE_OFFSET: {
        text = u"PIM_ITEM_CREATED_LOCAL = ";
        auto* store = contacts();
        auto const record = store ? store->read(oid) : std::nullopt;
        if (record && listener_)
            listener_->on_contact_created(to_contact(*record));
        break;
    }
    case platform::PIM_ITEM_DELETED_LOCAL:
    case platform::PIM_ITEM_DELETED_LOCAL + platform::PIM_ITEM_REMOTE_OFFSET:
        text = u"PIM_ITEM_DELETED_LOCAL = ";
        if (listener_)
            listener_->on_contact_deleted(oid);
        break;
    case platform::PIM_ITEM_CHANGED_LOCAL:
    case platform::PIM_ITEM_CHANGED_LOCAL + platform::PIM_ITEM_REMOTE_OFFSET:
        text = u"PIM_ITEM_CHANGED_LOCAL = ";
        if (listener_)
            listener_->on_contact_changed(oid);
        break;
    default:
        return 0;
    }
    core::log() << text << static_cast<int64_t>(oid) << u" " << static_cast<int64_t>(watch.elapsed() * 1000) << u"\n";
    return 1;
}

} // namespace phone
