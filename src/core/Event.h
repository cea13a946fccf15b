#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace core {

enum class EventReset { MANUAL, AUTOMATIC };

// A waitable event, not signalled at construction. An automatic event lets one waiter through per set.
// Threads: any.
class Event {
public:
    explicit Event(EventReset reset);

    void set();
    void reset();
    void wait();
    // False when the time ran out first.
    bool wait_for(uint32_t milliseconds);
    bool is_set() const;

private:
    EventReset const reset_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_ = false;
};

} // namespace core
