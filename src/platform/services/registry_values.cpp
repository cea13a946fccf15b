#include "registry_values.h"

namespace platform {

std::optional<uint32_t> read_dword(
    RegistryStore& store, RegistryRoot root, std::u16string const& key, std::u16string const& name)
{
    auto const value = store.query(root, key, name);
    if (!value || value->type != REG_DWORD || value->data.size() != 4)
        return std::nullopt;
    auto const& d = value->data;
    return static_cast<uint32_t>(d[0]) | (static_cast<uint32_t>(d[1]) << 8) | (static_cast<uint32_t>(d[2]) << 16)
        | (static_cast<uint32_t>(d[3]) << 24);
}

std::optional<std::u16string> read_text(
    RegistryStore& store, RegistryRoot root, std::u16string const& key, std::u16string const& name, size_t max_length)
{
    auto const value = store.query(root, key, name);
    if (!value || value->type != REG_SZ)
        return std::nullopt;
    std::u16string text;
    for (size_t i = 0; i + 1 < value->data.size() && text.size() < max_length; i += 2) {
        auto const c = static_cast<char16_t>(value->data[i] | (value->data[i + 1] << 8));
        if (c == 0)
            break;
        text += c;
    }
    return text;
}

bool write_dword(
    RegistryStore& store, RegistryRoot root, std::u16string const& key, std::u16string const& name, uint32_t value)
{
    RegistryValue v { REG_DWORD,
        { static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 24) } };
    return store.set(root, key, name, v);
}

bool write_text(RegistryStore& store, RegistryRoot root, std::u16string const& key, std::u16string const& name,
    std::u16string const& text)
{
    if (text.size() > MAX_TEXT_LENGTH)
        return false;
    RegistryValue v { REG_SZ, {} };
    v.data.reserve(text.size() * 2 + 2);
    for (char16_t c : text) {
        v.data.push_back(static_cast<uint8_t>(c & 0xFF));
        v.data.push_back(static_cast<uint8_t>(c >> 8));
    }
    v.data.push_back(0);
    v.data.push_back(0);
    return store.set(root, key, name, v);
}

} // namespace platform
