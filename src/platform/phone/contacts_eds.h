#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The address books of Evolution Data Server, as the module ravelin-eds.so gives them. The module holds
// all of libebook and GLib; the program loads it on the first contact lookup, so that a start pays
// nothing for it and a system without Evolution Data Server runs on the vCard folder.
//
// Threads: the module keeps one thread of its own with its own GLib main context; every EDS object lives
// there. Lookups from any thread wait for that thread's answer; change callbacks run on it.
namespace platform::eds {

// One contact, in UTF-8, as its address book has it.
struct Contact {
    std::string uid; // the address book's uid, "\x1f", the contact's uid
    std::string vcard; // vCard 3.0 without its photo
    std::vector<uint8_t> photo; // the inline photo
    std::string photo_file; // or the local file its URI names
};

enum class Change { ADDED, MODIFIED, REMOVED };

class Books {
public:
    virtual ~Books() = default;
    // The first contact of the enabled address books with a number equal to `number` in national form;
    // where the books cannot compare numbers so, the first whose number `same_number` accepts.
    virtual std::optional<Contact> find_by_phone(
        std::string const& number, std::function<bool(std::string const& tel)> const& same_number)
        = 0;
    virtual std::optional<Contact> read(std::string const& uid) = 0;
    // Starts calling `changed` (on the module's thread) for every contact added, modified or removed in
    // the enabled address books; an empty function stops. False when no book could be watched.
    virtual bool watch(std::function<void(Change, std::string const& uid)> changed) = 0;
};

// The module's one entry point ("ravelin_eds_open"): connects to the session bus's address books within
// `timeout_ms`; none (with `error` said) when there is no registry, no enabled book or no answer in time.
// The caller owns what it returns.
using OpenBooks = Books* (*)(int timeout_ms, std::string& error);
inline constexpr char const* OPEN_BOOKS_SYMBOL = "ravelin_eds_open";
inline constexpr char const* MODULE_NAME = "ravelin-eds.so";

} // namespace platform::eds

namespace platform {

class ContactStore;

// The address books of the session's Evolution Data Server as a contact store, when the module loads and
// the books answer within `timeout_ms`; else none, with `why` said. Object ids are handed out per contact
// uid and stay for the store's life.
std::unique_ptr<ContactStore> open_eds_contact_store(int timeout_ms, std::string& why);

} // namespace platform
