#pragma once

#include <core/Strings.h>
#include <platform/services/registry_values.h>

#include <cstdint>
#include <vector>

// Registry access by whole key paths such as "HKEY_CURRENT_USER\Software\Korvex\Ravelin": each call
// opens the key, does one thing and closes it. Failures are false results or empty lists.
// Threads: any.
namespace os {

// The maker's key, shared by the family of programs ("Log", "SIPPreference").
inline constexpr char16_t MAKER_KEY[] = u"HKEY_CURRENT_USER\\Software\\Korvex";

// Text values hold at most this many characters; a longer text is refused, never cut.
inline constexpr size_t REG_MAX_TEXT_LENGTH = platform::MAX_TEXT_LENGTH;

bool reg_set_string(core::StringView key, core::StringView name, core::StringView text);
// Reading creates a missing key (empty) as a side effect; `text` is left alone on failure.
bool reg_get_string(core::StringView key, core::StringView name, core::String& text);
bool reg_set_dword(core::StringView key, core::StringView name, uint32_t number);
bool reg_get_dword(core::StringView key, core::StringView name, uint32_t& number);
bool reg_get_bool(core::StringView key, core::StringView name, bool* flag = nullptr);
std::vector<core::String> reg_enum_subkeys(core::StringView key);
// Makes the current-user and the local-machine roots durable (or queued to be; see reg_store_state).
bool reg_flush();
// Grows with every change of the store, by this process or (where the store shares its count) another.
uint64_t reg_change_count();

// How writes fare: the store takes them (GOOD), queues them while another process holds it (BUSY), or
// cannot take them (READ_ONLY, UNAVAILABLE: the file cannot be opened at all).
enum class RegStoreState { GOOD, BUSY, READ_ONLY, UNAVAILABLE };
RegStoreState reg_store_state();
// The store's file, for messages.
core::String reg_store_path();
// Waits up to `milliseconds` until writes queued while the store was busy are in; true when none is left.
bool reg_sync(uint32_t milliseconds);

} // namespace os
