#include "contacts_eds.h"

#include "contacts.h"
#include <platform/text.h>

#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <unistd.h>

namespace platform {

namespace fs = std::filesystem;

namespace {

// The module sits beside the program, or in the library folder of an installed one.
eds::OpenBooks load_module(std::string& why)
{
    static std::once_flag once;
    static eds::OpenBooks open = nullptr;
    static std::string problem;
    std::call_once(once, [] {
        std::error_code error;
        fs::path const program = fs::read_symlink("/proc/self/exe", error);
        std::vector<fs::path> places;
        if (!error) {
            places.push_back(program.parent_path() / eds::MODULE_NAME);
            // Installed: bin/ and libexec/ravelin/ both reach lib/ravelin/ under the prefix.
            places.push_back(program.parent_path().parent_path() / "lib/ravelin" / eds::MODULE_NAME);
            places.push_back(program.parent_path().parent_path().parent_path() / "lib/ravelin" / eds::MODULE_NAME);
        }
        for (auto const& place : places) {
            if (!fs::exists(place, error))
                continue;
            // Never unloaded: GLib's types and threads outlive any one store.
            void* module = dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
            if (!module) {
                char const* text = dlerror();
                problem = text ? text : "cannot load " + place.string();
                return;
            }
            open = reinterpret_cast<eds::OpenBooks>(dlsym(module, eds::OPEN_BOOKS_SYMBOL));
            if (!open)
                problem = place.string() + " has no " + eds::OPEN_BOOKS_SYMBOL;
            return;
        }
        problem = std::string(eds::MODULE_NAME) + " not installed";
    });
    why = problem;
    return open;
}

// GLib would start a bus of its own (through X11) when there is none: no bus, no address books.
bool has_session_bus()
{
    if (char const* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address)
        return true;
    char const* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime && *runtime && access((std::string(runtime) + "/bus").c_str(), F_OK) == 0;
}

std::vector<uint8_t> read_photo(std::string const& path, bool& over_limit)
{
    std::error_code error;
    auto const size = fs::file_size(path, error);
    if (error)
        return {};
    if (size > MAX_CONTACT_PHOTO) {
        over_limit = true;
        return {};
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes(MAX_CONTACT_PHOTO + 1);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    auto const got = static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0));
    // Grown since its size was asked: as big as the others above the limit.
    if (got > MAX_CONTACT_PHOTO) {
        over_limit = true;
        return {};
    }
    bytes.resize(got);
    return bytes;
}

class EdsContactStore final : public ContactStore {
public:
    explicit EdsContactStore(std::unique_ptr<eds::Books> books)
        : books_(std::move(books))
    {
    }
    ~EdsContactStore() override { books_->watch(nullptr); }

    std::optional<ContactRecord> find_by_phone(std::u16string const& number) override
    {
        auto const found = books_->find_by_phone(
            to_utf8(number), [&](std::string const& tel) { return phone_numbers_match(from_utf8(tel), number); });
        return found ? record(*found) : std::nullopt;
    }

    std::optional<ContactRecord> read(uint32_t oid) override
    {
        std::string uid;
        {
            std::lock_guard lock(mutex_);
            auto const at = uids_.find(oid);
            if (at == uids_.end())
                return std::nullopt;
            uid = at->second;
        }
        auto const found = books_->read(uid);
        return found ? record(*found) : std::nullopt;
    }

    bool watch(Hwnd window) override
    {
        if (window == 0)
            return books_->watch(nullptr);
        return books_->watch([this, window](eds::Change change, std::string const& uid) {
            uint32_t const message = change == eds::Change::ADDED ? PIM_ITEM_CREATED_LOCAL
                : change == eds::Change::REMOVED                  ? PIM_ITEM_DELETED_LOCAL
                                                                  : PIM_ITEM_CHANGED_LOCAL;
            post_message(window, message, 0, static_cast<intptr_t>(oid_of(uid)));
        });
    }

private:
    uint32_t oid_of(std::string const& uid)
    {
        std::lock_guard lock(mutex_);
        auto [at, added] = oids_.try_emplace(uid, next_oid_);
        if (added)
            uids_.emplace(next_oid_++, uid);
        return at->second;
    }

    std::optional<ContactRecord> record(eds::Contact const& contact)
    {
        auto parsed = parse_vcards(contact.vcard);
        if (parsed.cards.empty())
            return std::nullopt;
        ContactRecord out { oid_of(contact.uid), std::move(parsed.cards.front()) };
        auto& card = out.card;
        if (!contact.photo.empty()) {
            card.photo_over_limit = contact.photo.size() > MAX_CONTACT_PHOTO;
            if (!card.photo_over_limit)
                card.photo = contact.photo;
        } else if (!contact.photo_file.empty()) {
            card.photo = read_photo(contact.photo_file, card.photo_over_limit);
        }
        return out;
    }

    std::unique_ptr<eds::Books> books_;
    std::mutex mutex_; // the ids: lookups on the caller's thread, changes on the module's
    uint32_t next_oid_ = 1;
    std::map<std::string, uint32_t> oids_;
    std::map<uint32_t, std::string> uids_;
};

} // namespace

std::unique_ptr<ContactStore> open_eds_contact_store(int timeout_ms, std::string& why)
{
    if (!has_session_bus()) {
        why = "no session bus";
        return nullptr;
    }
    auto const open = load_module(why);
    if (!open)
        return nullptr;
    std::unique_ptr<eds::Books> books(open(timeout_ms, why));
    if (!books)
        return nullptr;
    return std::make_unique<EdsContactStore>(std::move(books));
}

} // namespace platform
