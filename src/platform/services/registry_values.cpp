#include "registry_values.h"

#include <algorithm>
#include <platform/riff.h>
#include <platform/text.h>

namespace platform {

std::optional<uint32_t> read_dword(
    RegistryStore& store, RegistryRoot root, std::u16string const& key, std::u16string const& name)
{
    auto const value = store.query(root, key, name);
    if (!value || value->type != REG_DWORD || value->data.size() != 4)
        return std::nullopt;
    return riff::u32(value->data.data());
}

std::optional<std::u16string> read_text(
    RegistryStore& store, RegistryRoot root, std::u16string const& key, std::u16string const& name, size_t max_length)
{
    auto const value = store.query(root, key, name);
    if (!value)
        return std::nullopt;
    if (value->data.size() <= 1)
        return std::u16string();
    if (value->type != REG_SZ)
        return std::nullopt;
    std::u16string text = from_utf16le(value->data.data(), value->data.size());
    text.resize(std::min({ text.find(u'\0'), text.size(), max_length }));
    return text;
}

bool write_dword(
    RegistryStore& store, RegistryRoot root, std::u16string const& key, std::u16string const& name, uint32_t value)
{
    RegistryValue v { REG_DWORD, std::vector<uint8_t>(4) };
    riff::put_u32(v.data.data(), value);
    return store.set(root, key, name, v);
}

bool write_text(RegistryStore& store, RegistryRoot root, std::u16string const& key, std::u16string const& name,
    std::u16string const& text)
{
    if (text.size() > MAX_TEXT_LENGTH)
        return false;
    RegistryValue v { REG_SZ, {} };
    append_utf16le(v.data, text);
    append_utf16le(v.data, std::u16string_view(u"\0", 1));
    return store.set(root, key, name, v);
}

} // namespace platform
