#include "Registry.h"

#include <chrono>
#include <optional>
#include <platform/services/registry_store.h>

namespace os {

namespace {

using platform::RegistryRoot;

struct KeyPath {
    RegistryRoot root;
    core::String sub_key;
};

std::optional<KeyPath> split(core::StringView path)
{
    struct Root {
        core::StringView name;
        RegistryRoot root;
    };
    static constexpr Root roots[] = {
        { u"HKEY_CLASSES_ROOT", RegistryRoot::CLASSES_ROOT },
        { u"HKEY_LOCAL_MACHINE", RegistryRoot::LOCAL_MACHINE },
        { u"HKEY_USERS", RegistryRoot::USERS },
        { u"HKEY_CURRENT_USER", RegistryRoot::CURRENT_USER },
    };
    for (auto const& r : roots) {
        if (!path.starts_with(r.name))
            continue;
        // The sub-key follows the root's name and the one character after it.
        auto const rest = path.size() > r.name.size() ? path.substr(r.name.size() + 1) : core::StringView();
        return KeyPath { r.root, core::String(rest) };
    }
    return std::nullopt;
}

platform::RegistryStore& store()
{
    return platform::RegistryStore::instance();
}

// Create-or-open, as every access to a key does.
std::optional<KeyPath> open(core::StringView path)
{
    auto key = split(path);
    if (!key || !store().create_key(key->root, key->sub_key))
        return std::nullopt;
    return key;
}

} // namespace

bool reg_set_string(core::StringView key, core::StringView name, core::StringView text)
{
    if (text.size() > REG_MAX_TEXT_LENGTH)
        return false;
    auto const k = open(key);
    return k && platform::write_text(store(), k->root, k->sub_key, core::String(name), core::String(text));
}

bool reg_get_string(core::StringView key, core::StringView name, core::String& text)
{
    auto const k = open(key);
    if (!k)
        return false;
    // Read whole, however long: a text too long for other readers is refused when written, never cut here.
    auto value = platform::read_text(store(), k->root, k->sub_key, core::String(name), core::String::npos);
    if (!value)
        return false;
    text = std::move(*value);
    return true;
}

bool reg_set_dword(core::StringView key, core::StringView name, uint32_t number)
{
    auto const k = open(key);
    return k && platform::write_dword(store(), k->root, k->sub_key, core::String(name), number);
}

bool reg_get_dword(core::StringView key, core::StringView name, uint32_t& number)
{
    auto const k = open(key);
    if (!k)
        return false;
    auto const value = platform::read_dword(store(), k->root, k->sub_key, core::String(name));
    if (!value)
        return false;
    number = *value;
    return true;
}

bool reg_get_bool(core::StringView key, core::StringView name, bool* flag)
{
    uint32_t number = 0;
    if (!reg_get_dword(key, name, number))
        return false;
    if (flag)
        *flag = number != 0;
    return true;
}

std::vector<core::String> reg_enum_subkeys(core::StringView key)
{
    auto const k = split(key);
    if (!k)
        return {};
    auto names = store().subkeys(k->root, k->sub_key);
    return names ? std::move(*names) : std::vector<core::String>();
}

bool reg_flush()
{
    return store().flush();
}

uint64_t reg_change_count()
{
    return store().change_count();
}

RegStoreState reg_store_state()
{
    auto& s = store();
    if (!s.is_open())
        return RegStoreState::UNAVAILABLE;
    if (s.is_read_only())
        return RegStoreState::READ_ONLY;
    return s.pending_writes() != 0 ? RegStoreState::BUSY : RegStoreState::GOOD;
}

core::String reg_store_path()
{
    return core::from_utf8(store().path());
}

bool reg_sync(uint32_t milliseconds)
{
    return store().sync(std::chrono::milliseconds(milliseconds));
}

} // namespace os
