#include "Timer.h"

#include "CActiveScheduler.h"
#include "Log.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <platform/ticks.h>

namespace core {

TimerListener::~TimerListener() = default;

class Timer::Active final : public TimedActive {
public:
    Active(Timer& owner, TimerListener* listener)
        : owner_(owner)
        , listener_(listener)
    {
    }

private:
    void run() override
    {
        if (listener_)
            listener_->on_timer(owner_);
    }
    void do_cancel() override
    {
        due = platform::tick_count();
        if (auto* scheduler = CActiveScheduler::instance())
            scheduler->check_timers();
    }

    Timer& owner_;
    TimerListener* listener_;
};

Timer::Timer(TimerListener* listener)
    : active_(std::make_unique<Active>(*this, listener))
{
}

Timer::~Timer()
{
    active_->cancel();
}

void Timer::start(double seconds)
{
    active_->cancel();
    double const ms = seconds * 1000.0 + 0.5;
    double const limited = std::clamp(ms, static_cast<double>(std::numeric_limits<int32_t>::min()),
        static_cast<double>(std::numeric_limits<int32_t>::max()));
    active_->due = platform::tick_count() + static_cast<uint32_t>(static_cast<int32_t>(limited));
    auto* scheduler = CActiveScheduler::instance();
    if (!scheduler)
        fatal_error(u"Timer::start()", u"No active scheduler");
    scheduler->set_active(*active_);
    scheduler->add_timer(*active_);
    scheduler->check_timers();
}

void Timer::cancel()
{
    active_->cancel();
}

bool Timer::is_running() const
{
    return active_->is_active();
}

uint32_t Timer::due() const
{
    return active_->due;
}

} // namespace core
