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
    if (!k)
        return false;
    platform::RegistryValue value { platform::REG_SZ, {} };
    value.data.reserve(text.size() * 2 + 2);
    for (char16_t c : text) {
        value.data.push_back(static_cast<uint8_t>(c & 0xFF));
        value.data.push_back(static_cast<uint8_t>(c >> 8));
    }
    value.data.push_back(0);
    value.data.push_back(0);
    return store().set(k->root, k->sub_key, core::String(name), value);
}

bool reg_get_string(core::StringView key, core::StringView name, core::String& text)
{
    auto const k = open(key);
    if (!k)
        return false;
    auto const value = store().query(k->root, k->sub_key, core::String(name));
    if (!value)
        return false;
    // A value of at most one byte fits the first, one-byte query: it reads as empty text, whatever its type.
    if (value->data.size() <= 1) {
        text.clear();
        return true;
    }
    if (value->type != platform::REG_SZ)
        return false;
    core::String result;
    for (size_t i = 0; i + 1 < value->data.size(); i += 2) {
        char16_t const c = static_cast<char16_t>(value->data[i] | (value->data[i + 1] << 8));
        if (c == 0)
            break;
        result += c;
    }
    text = std::move(result);
    return true;
}

bool reg_set_dword(core::StringView key, core::StringView name, uint32_t number)
{
    auto const k = open(key);
    if (!k)
        return false;
    platform::RegistryValue value { platform::REG_DWORD,
        { static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8), static_cast<uint8_t>(number >> 16),
            static_cast<uint8_t>(number >> 24) } };
    return store().set(k->root, k->sub_key, core::String(name), value);
}

bool reg_get_dword(core::StringView key, core::StringView name, uint32_t& number)
{
    auto const k = open(key);
    if (!k)
        return false;
    auto const value = store().query(k->root, k->sub_key, core::String(name));
    if (!value || value->type != platform::REG_DWORD || value->data.size() != 4)
        return false;
    auto const& d = value->data;
    number = static_cast<uint32_t>(d[0]) | (static_cast<uint32_t>(d[1]) << 8) | (static_cast<uint32_t>(d[2]) << 16)
        | (static_cast<uint32_t>(d[3]) << 24);
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
