#include "threads.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

int64_t native_thread_id()
{
    return static_cast<int64_t>(::syscall(SYS_gettid));
}

bool set_thread_priority(int64_t native_id, int priority)
{
    int const base = getpriority(PRIO_PROCESS, 0);
    int const nice = base + (priority - 3) * 5;
    return setpriority(PRIO_PROCESS, static_cast<id_t>(native_id), nice) == 0;
}

} // namespace platform
