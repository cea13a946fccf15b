#include "CallMonitorImpl.h"

#include "PhoneState.h"

#include <atomic>
#include <core/CActive.h>
#include <core/Log.h>
#include <platform/services/registry_watch.h>
#include <platform/ticks.h>

namespace phone {

CallListener::~CallListener() = default;

// A change of the store, handed from the watch's thread to the main thread. Changes that come while one
// waits to run are one.
class CallMonitorImpl::Changes final : public core::CActive {
public:
    explicit Changes(CallMonitorImpl& monitor)
        : monitor_(monitor)
    {
    }

    // Main thread: the next change is to be told.
    void arm()
    {
        set_active();
        armed_.store(true, std::memory_order_release);
    }
    // Any thread: the store changed.
    void tell()
    {
        if (armed_.exchange(false, std::memory_order_acq_rel))
            notify();
    }

private:
    void run() override
    {
        // Armed before the look, so that a change made while it reads is told again.
        arm();
        monitor_.check();
    }
    void do_cancel() override { tell(); }

    CallMonitorImpl& monitor_;
    std::atomic<bool> armed_ { false };
};

CallMonitorImpl::CallMonitorImpl(CallListener* listener)
    : listener_(listener)
{
    if (!listener_)
        return;
    changes_ = std::make_unique<Changes>(*this);
    changes_->arm();
    // The first look comes from the message loop, once the owner is whole.
    changes_->tell();
    watch_ = std::make_unique<platform::RegistryChangeWatch>(
        platform::RegistryStore::instance(), [changes = changes_.get()] { changes->tell(); });
}

CallMonitorImpl::~CallMonitorImpl()
{
    // The watch's thread ends first: nothing is handed over after the cancel.
    watch_.reset();
    if (changes_)
        changes_->cancel();
}

void CallMonitorImpl::check()
{
    if (checking_) {
        // A listener that dispatches messages brought a change in: it is looked at when that one ends.
        check_again_ = true;
        return;
    }
    checking_ = true;
    do {
        check_again_ = false;
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
        listener_->on_phone_changed();
    } while (check_again_);
    checking_ = false;
}

} // namespace phone
