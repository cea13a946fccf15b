#include "CallMonitorImpl.h"

#include "PhoneState.h"

#include <core/Log.h>
#include <platform/ticks.h>

namespace phone {

CallListener::~CallListener() = default;

CallMonitorImpl::CallMonitorImpl(CallListener* listener)
    : listener_(listener)
    , timer_(this)
{
    timer_.start(POLL_SECONDS);
}

CallMonitorImpl::~CallMonitorImpl()
{
    timer_.cancel();
}

void CallMonitorImpl::on_timer(core::Timer& timer)
{
    if (&timer != &timer_)
        return;
    if (listener_) {
        core::String name, number;
        CallKind const kind = get_call_info(name, number);
        // A held call is the same call: it ends when no call is left, so that holding and resuming
        // neither splits its recording nor starts the program for it a second time.
        bool const on = kind > CALL_NONE || (call_ && is_call_active());
        if (on != call_) {
            call_ = on;
            core::log() << u"CallMonitorImpl call=" << (on ? u"true" : u"false") << u" "
                        << static_cast<int64_t>(platform::tick_count()) << u"\n";
            if (on)
                listener_->on_call_start(name, number, kind);
            else
                listener_->on_call_stop();
        }
    }
    timer_.start(POLL_SECONDS);
}

} // namespace phone
