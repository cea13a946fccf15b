#pragma once

#include "vcard.h"
#include <platform/messages.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// The contact store: contacts by phone number and by object id, and messages about their changes.
//
// Threads: lookups on the main thread. The vCard folder's watch runs on a thread of its own that posts
// the item messages to the watching window; lookups and the watch share the folder's ids under a lock.
// Evolution Data Server's books are used from their module's thread (contacts_eds.h).
namespace platform {

// Posted to the watching window, lparam the contact's object id.
inline constexpr uint32_t PIM_ITEM_CREATED_LOCAL = 0x8100;
inline constexpr uint32_t PIM_ITEM_DELETED_LOCAL = 0x8101;
inline constexpr uint32_t PIM_ITEM_CHANGED_LOCAL = 0x8102;
// The same changes made in a remote store follow at this distance (0x8105 to 0x8107).
inline constexpr uint32_t PIM_ITEM_REMOTE_OFFSET = 5;

struct ContactRecord {
    uint32_t oid = 0; // never 0 for a contact
    VCard card;
};

class ContactStore {
public:
    virtual ~ContactStore() = default;
    // The first contact with a telephone number that matches (phone_numbers_match; Evolution Data
    // Server's books compare the national numbers).
    virtual std::optional<ContactRecord> find_by_phone(std::u16string const& number) = 0;
    virtual std::optional<ContactRecord> read(uint32_t oid) = 0;
    // Starts posting the item messages for every change of the store to `window` (0 stops); false when
    // the store cannot be watched.
    virtual bool watch(Hwnd window) = 0;
};

// The folder of vCard files ("*.vcf", "*.vcard"): $RAVELIN_CONTACTS, else $XDG_DATA_HOME/ravelin/contacts.
std::u16string contacts_folder();
// The vCard folder's store; none when the folder is there but no folder (a file, say). Each card of each
// file is one contact; its object id stays the same for the store's life.
std::unique_ptr<ContactStore> open_contact_store(std::u16string const& folder);

// How long the first use waits for Evolution Data Server's address books before it takes the folder.
inline constexpr int EDS_ANSWER_MS = 3000;
// The system's contacts: the vCard folder when $RAVELIN_CONTACTS is set; else Evolution Data Server's
// enabled address books when the session has them and they answer within EDS_ANSWER_MS, else the vCard
// folder. The choice is made on the first lookup or watch, not here, and holds for the store's life.
std::unique_ptr<ContactStore> open_contact_store();

// Two numbers are one when their digits agree (spaces, dashes, dots and brackets aside), or when one is
// the other with a country prefix of one to three digits ("+44 20 7946 0000" and "020 7946 0000"); the
// national part must have at least six digits. Empty numbers match nothing.
bool phone_numbers_match(std::u16string const& a, std::u16string const& b);

} // namespace platform
