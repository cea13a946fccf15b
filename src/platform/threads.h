#pragma once

#include <cstdint>

namespace platform {

// The kernel's id of the calling thread.
int64_t native_thread_id();
// Scheduling priority 1 (highest) to 5 (lowest), 3 normal, as a nice value relative to the process;
// false when the system refuses (raising priority needs privileges).
bool set_thread_priority(int64_t native_id, int priority);

} // namespace platform
