#pragma once

#include <array>
#include <core/Strings.h>
#include <cstdint>
#include <memory>
#include <platform/messages.h>
#include <utility>
#include <vector>

namespace platform {
class ContactStore;
class PhoneDevices;
} // namespace platform

namespace phone {

// The names of the contact fields, by field index.
inline constexpr std::array<core::StringView, 22> CONTACT_FIELD_NAMES
    = { u"Mobile", u"BusinessTel", u"Business2Tel", u"HomeTel", u"Home2Tel", u"CarTel", u"RadioTel", u"CompanyMainTel",
          u"AssistantTel", u"Email1", u"Email2", u"Email3", u"WebPage", u"MiddleName", u"Suffix", u"NickName",
          u"Department", u"JobTitle", u"AssistantName", u"BusinessFax", u"HomeFax", u"PagerNumber" };
// A contact carries the fields up to this index.
inline constexpr int32_t CONTACT_FIELD_COUNT = 19;

// The contact fields, numbered as CONTACT_FIELD_NAMES names them.
enum ContactField : int32_t {
    FIELD_MOBILE = 0,
    FIELD_BUSINESS_TEL = 1,
    FIELD_BUSINESS2_TEL = 2,
    FIELD_HOME_TEL = 3,
    FIELD_HOME2_TEL = 4,
    FIELD_CAR_TEL = 5,
    FIELD_RADIO_TEL = 6,
    FIELD_COMPANY_MAIN_TEL = 7,
    FIELD_ASSISTANT_TEL = 8,
    FIELD_EMAIL1 = 9,
    FIELD_EMAIL2 = 10,
    FIELD_EMAIL3 = 11,
    FIELD_WEB_PAGE = 12,
    FIELD_MIDDLE_NAME = 13,
    FIELD_SUFFIX = 14,
    FIELD_NICK_NAME = 15,
    FIELD_DEPARTMENT = 16,
    FIELD_JOB_TITLE = 17,
    FIELD_ASSISTANT_NAME = 18,
    FIELD_BUSINESS_FAX = 19,
    FIELD_HOME_FAX = 20,
    FIELD_PAGER_NUMBER = 21,
};

struct Contact {
    uint32_t oid = 0;
    // The name as shown, the given name and the family name.
    std::array<core::String, 3> names;
    // (field, text) for each field the contact has, in field order.
    std::vector<std::pair<ContactField, core::String>> fields;
};

// Told of changes of the contact store. Threads: main thread.
class ContactListener {
public:
    virtual ~ContactListener();
    virtual void on_contact_created(Contact const& contact) = 0;
    virtual void on_contact_reserved() { }
    virtual void on_contact_changed(uint32_t oid) = 0;
    virtual void on_contact_deleted(uint32_t oid) = 0;
};

// The phone's speaker hook switch and the contact store, for call recordings: the speakerphone during a
// call recording, and the caller's contact and picture for its tag.
//
// Threads: main thread only. The contact store's change messages are posted to the window given to
// watch_contacts() and handed back here through on_pim_message() on the main thread.
class PhoneControl {
public:
    using ContactStoreFactory = std::unique_ptr<platform::ContactStore> (*)();

    PhoneControl();
    // For tests: phone devices of their own (none: not usable) and the contact store they open.
    PhoneControl(std::unique_ptr<platform::PhoneDevices> devices, ContactStoreFactory contacts);
    ~PhoneControl();
    PhoneControl(PhoneControl const&) = delete;
    PhoneControl& operator=(PhoneControl const&) = delete;

    // Every phone device's speaker hook switch to microphone-and-speaker (on) or on-hook (off); failures
    // are skipped silently.
    void set_speakerphone(bool on);
    static bool is_speaker_on();
    // The contact that owns the number; the contact store is opened on first use and kept.
    bool find_contact_by_phone(core::StringView number, Contact& contact);
    // The contact's picture as stored; empty when there is none or it is above 200,000 bytes.
    void get_contact_picture(uint32_t oid, std::vector<uint8_t>& bytes);

    void set_contact_listener(ContactListener* listener) { listener_ = listener; }
    // Has the contact store post its item messages to `window` (0 stops them).
    bool watch_contacts(platform::Hwnd window);
    // An item message of the contact store: the listener hears of it. 1 when handled, else 0.
    intptr_t on_pim_message(uint32_t message, uint32_t oid);

private:
    platform::ContactStore* contacts();

    std::unique_ptr<platform::PhoneDevices> devices_;
    size_t device_count_ = 0;
    bool initialised_ = false;
    ContactStoreFactory open_contacts_;
    std::unique_ptr<platform::ContactStore> contacts_;
    bool contacts_tried_ = false;
    ContactListener* listener_ = nullptr;
};

} // namespace phone
