#pragma once

#include <cstdint>

namespace app {

// The logical key code (skin/KeyNames.h) of a virtual key; 0 for a key outside the table.
int32_t key_code(uint32_t virtual_key);

} // namespace app
