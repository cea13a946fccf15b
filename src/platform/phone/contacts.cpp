#include "contacts.h"

#include "contacts_eds.h"
#include <platform/folder_watch.h>
#include <platform/text.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <thread>

namespace platform {

namespace fs = std::filesystem;

namespace {

struct Digits {
    std::string digits;
    bool international = false; // written with "+" or "00"
};

Digits digits_of(std::u16string const& number)
{
    Digits d;
    for (char16_t c : number) {
        if (c >= u'0' && c <= u'9')
            d.digits += static_cast<char>(c);
        else if (c == u'+' && d.digits.empty())
            d.international = true;
    }
    if (!d.international && d.digits.starts_with("00")) {
        d.digits.erase(0, 2);
        d.international = true;
    }
    return d;
}

bool is_contact_file(fs::path const& path)
{
    std::string extension = path.extension().string();
    for (auto& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".vcf" || extension == ".vcard";
}

std::string read_whole(fs::path const& path)
{
    std::error_code error;
    auto const size = fs::file_size(path, error);
    if (error || size > MAX_VCARD_FILE)
        return {};
    std::ifstream in(path, std::ios::binary);
    std::string bytes(size, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    bytes.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return bytes;
}

class VCardFolder final : public ContactStore {
public:
    explicit VCardFolder(fs::path folder)
        : folder_(std::move(folder))
    {
    }
    ~VCardFolder() override { watch(0); }

    std::optional<ContactRecord> find_by_phone(std::u16string const& number) override
    {
        std::lock_guard lock(mutex_);
        for (auto const& file : files()) {
            auto const cards = parse(file);
            for (size_t i = 0; i < cards.size(); ++i)
                for (auto const& tel : cards[i].tels)
                    if (phone_numbers_match(tel.number, number))
                        return ContactRecord { oid_of(file, i), cards[i] };
        }
        return std::nullopt;
    }

    std::optional<ContactRecord> read(uint32_t oid) override
    {
        std::lock_guard lock(mutex_);
        auto const at = by_oid_.find(oid);
        if (at == by_oid_.end())
            return std::nullopt;
        auto const cards = parse(at->second.first);
        if (at->second.second >= cards.size())
            return std::nullopt;
        return ContactRecord { oid, cards[at->second.second] };
    }

    bool watch(Hwnd window) override
    {
        if (thread_.joinable()) {
            stop_ = true;
            watch_->interrupt();
            thread_.join();
            watch_.reset();
        }
        if (window == 0)
            return true;
        std::error_code ignored;
        fs::create_directories(folder_, ignored);
        watch_ = std::make_unique<FolderWatch>(from_utf8(folder_.string()), WatchFor::COMPLETED_FILES);
        if (!watch_->is_valid()) {
            watch_.reset();
            return false;
        }
        {
            // What is there now is known; only what changes later is told.
            std::lock_guard lock(mutex_);
            for (auto const& file : files())
                counts_[file.filename().string()] = ids_of(file, parse(file).size());
        }
        stop_ = false;
        thread_ = std::thread([this, window] { watch_loop(window); });
        return true;
    }

private:
    std::vector<fs::path> files()
    {
        std::vector<fs::path> found;
        std::error_code error;
        for (auto const& entry : fs::directory_iterator(folder_, error))
            if (entry.is_regular_file(error) && is_contact_file(entry.path()))
                found.push_back(entry.path());
        std::sort(found.begin(), found.end());
        return found;
    }

    std::vector<VCard> parse(fs::path const& file) { return parse_vcards(read_whole(file)).cards; }

    uint32_t oid_of(fs::path const& file, size_t index)
    {
        auto const key = std::make_pair(file.filename().string(), index);
        if (auto at = by_key_.find(key); at != by_key_.end())
            return at->second;
        uint32_t const oid = next_oid_++;
        by_key_.emplace(key, oid);
        by_oid_.emplace(oid, std::make_pair(folder_ / key.first, index));
        return oid;
    }

    std::vector<uint32_t> ids_of(fs::path const& file, size_t count)
    {
        std::vector<uint32_t> ids;
        for (size_t i = 0; i < count; ++i)
            ids.push_back(oid_of(file, i));
        return ids;
    }

    void watch_loop(Hwnd window)
    {
        while (!stop_) {
            for (auto const& name : watch_->wait(-1)) {
                fs::path const file = folder_ / to_utf8(name);
                if (!is_contact_file(file))
                    continue;
                std::vector<std::pair<uint32_t, uint32_t>> messages;
                {
                    std::lock_guard lock(mutex_);
                    std::error_code error;
                    size_t const now = fs::is_regular_file(file, error) ? parse(file).size() : 0;
                    auto& known = counts_[file.filename().string()];
                    auto const ids = ids_of(file, std::max(now, known.size()));
                    for (size_t i = 0; i < ids.size(); ++i) {
                        bool const was = i < known.size(), is = i < now;
                        if (was || is)
                            messages.emplace_back(was && is ? PIM_ITEM_CHANGED_LOCAL
                                    : is                    ? PIM_ITEM_CREATED_LOCAL
                                                            : PIM_ITEM_DELETED_LOCAL,
                                ids[i]);
                    }
                    known.assign(ids.begin(), ids.begin() + static_cast<std::ptrdiff_t>(now));
                }
                for (auto [message, oid] : messages)
                    post_message(window, message, 0, static_cast<intptr_t>(oid));
            }
        }
    }

    fs::path folder_;
    std::mutex mutex_;
    uint32_t next_oid_ = 1;
    std::map<std::pair<std::string, size_t>, uint32_t> by_key_;
    std::map<uint32_t, std::pair<fs::path, size_t>> by_oid_;
    std::map<std::string, std::vector<uint32_t>> counts_; // the cards of each file when last seen
    std::unique_ptr<FolderWatch> watch_;
    std::atomic<bool> stop_ { false };
    std::thread thread_;
};

// Chooses between the address books and the folder on its first use.
class SystemContacts final : public ContactStore {
public:
    std::optional<ContactRecord> find_by_phone(std::u16string const& number) override
    {
        auto* store = chosen();
        return store ? store->find_by_phone(number) : std::nullopt;
    }

    std::optional<ContactRecord> read(uint32_t oid) override
    {
        auto* store = chosen();
        return store ? store->read(oid) : std::nullopt;
    }

    bool watch(Hwnd window) override
    {
        auto* store = window == 0 ? chosen_if_any() : chosen();
        if (window == 0)
            return !store || store->watch(0);
        return store && store->watch(window);
    }

private:
    ContactStore* chosen_if_any()
    {
        std::lock_guard lock(choosing_);
        return store_.get();
    }

    ContactStore* chosen()
    {
        std::lock_guard lock(choosing_);
        if (!tried_) {
            tried_ = true;
            std::string why;
            store_ = open_eds_contact_store(EDS_ANSWER_MS, why);
            if (!store_) {
                auto const folder = contacts_folder();
                std::cerr << "contacts: no Evolution Data Server address book (" << why << "), the vCard folder "
                          << to_utf8(folder) << "\n";
                store_ = open_contact_store(folder);
            }
        }
        return store_.get();
    }

    std::mutex choosing_;
    bool tried_ = false;
    std::unique_ptr<ContactStore> store_;
};

} // namespace

std::u16string contacts_folder()
{
    if (char const* folder = std::getenv("RAVELIN_CONTACTS"); folder && *folder)
        return from_utf8(folder);
    std::string data;
    if (char const* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        data = xdg;
    else if (char const* home = std::getenv("HOME"); home && *home)
        data = std::string(home) + "/.local/share";
    else
        data = ".";
    return from_utf8(data + "/ravelin/contacts");
}

std::unique_ptr<ContactStore> open_contact_store(std::u16string const& folder)
{
    fs::path const path = to_utf8(folder);
    std::error_code error;
    if (fs::exists(path, error) && !fs::is_directory(path, error))
        return nullptr;
    return std::make_unique<VCardFolder>(path);
}

std::unique_ptr<ContactStore> open_contact_store()
{
    if (char const* folder = std::getenv("RAVELIN_CONTACTS"); folder && *folder)
        return open_contact_store(from_utf8(folder));
    return std::make_unique<SystemContacts>();
}

bool phone_numbers_match(std::u16string const& a, std::u16string const& b)
{
    auto const x = digits_of(a), y = digits_of(b);
    if (x.digits.empty() || y.digits.empty())
        return false;
    if (x.digits == y.digits)
        return true;
    if (x.international == y.international)
        return false;
    // One international, one national: the national number, without its trunk "0", ends the other after
    // a country code.
    auto const& full = x.international ? x.digits : y.digits;
    std::string national = x.international ? y.digits : x.digits;
    if (national.starts_with("0"))
        national.erase(0, 1);
    if (national.size() < 6 || full.size() <= national.size() || full.size() - national.size() > 3)
        return false;
    return full.ends_with(national);
}

} // namespace platform
