#pragma once

#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary start, wrapping after 2^32 like the handheld's tick count.
uint32_t tick_count();

// Shifts every later tick_count() by `offset` milliseconds; tests use it to run timers across the wrap.
void set_tick_offset(uint32_t offset);

void sleep_ms(uint32_t milliseconds);

} // namespace platform
