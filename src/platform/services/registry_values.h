#pragma once

#include "registry_store.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Typed reads and writes of single registry values: the one coding of text (UTF-16LE with its terminating
// zero) and numbers (4 bytes, little-endian) for the platform's own services (phone state, telephony
// line, notifications) and for os::Registry. A value of another type than asked, or of a broken size,
// reads as none; but a value of at most one byte reads as empty text, whatever its type, as the
// handheld's first, one-byte query answers it.
// Threads: any, as the store.
namespace platform {

// The longest text value, in characters without its terminating zero, that is read whole; longer text is
// refused when written, so that no reader ever takes a cut command for the stored one.
constexpr size_t MAX_TEXT_LENGTH = 32767;

std::optional<uint32_t> read_dword(
    RegistryStore& store, RegistryRoot root, std::u16string const& key, std::u16string const& name);
// Text up to its first NUL; at most `max_length` characters are taken.
std::optional<std::u16string> read_text(RegistryStore& store, RegistryRoot root, std::u16string const& key,
    std::u16string const& name, size_t max_length = MAX_TEXT_LENGTH);
bool write_dword(
    RegistryStore& store, RegistryRoot root, std::u16string const& key, std::u16string const& name, uint32_t value);
bool write_text(RegistryStore& store, RegistryRoot root, std::u16string const& key, std::u16string const& name,
    std::u16string const& text);

} // namespace platform
