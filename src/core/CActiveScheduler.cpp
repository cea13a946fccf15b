#include "CActiveScheduler.h"

#include "AtomicCounter.h"
#include "CriticalSection.h"
#include "Log.h"

#include <algorithm>
#include <list>
#include <platform/ticks.h>

namespace core {

struct CActiveScheduler::Impl {
    CriticalSection lock;
    AtomicCounter active_counter;
    std::list<CActive*> pending;
    std::list<TimedActive*> timers; // main thread only
    String class_name;
    platform::Hwnd window = 0;
};

namespace {

intptr_t hidden_window_procedure(platform::Hwnd window, uint32_t message, uintptr_t wparam, intptr_t lparam)
{
    auto* scheduler = static_cast<CActiveScheduler*>(platform::window_data(window));
    if (scheduler) {
        if (message == CActiveScheduler::WAKE_UP)
            scheduler->process_actives();
        else if (message == platform::WM_TIMER)
            scheduler->check_timers();
    }
    return platform::def_window_proc(window, message, wparam, lparam);
}

} // namespace

CActiveScheduler::CActiveScheduler(String const& window_class)
    : Singleton(this)
    , impl_(std::make_unique<Impl>())
{
    impl_->class_name = u"CActive" + window_class;
    platform::register_class(platform::WindowClass { impl_->class_name, 11, hidden_window_procedure });
    impl_->window = platform::create_window(impl_->class_name, impl_->class_name, 0);
    platform::set_window_data(impl_->window, this);
}

CActiveScheduler::~CActiveScheduler()
{
    if (impl_->active_counter.value() != 0)
        fatal_error(u"",
            u"Some active objects still live while scheduler is terminating active_counter="
                + decimal(impl_->active_counter.value()));
    platform::destroy_window(impl_->window);
    platform::unregister_class(impl_->class_name);
}

int32_t CActiveScheduler::active_counter() const
{
    return impl_->active_counter.value();
}

platform::Hwnd CActiveScheduler::window() const
{
    return impl_->window;
}

void CActiveScheduler::set_active(CActive& object)
{
    if (object.is_active())
        fatal_error(u"CActiveScheduler::set_active()", u"Object " + decimal(object.id()) + u" is already active");
    object.active_.store(true, std::memory_order_release);
    impl_->active_counter.increment();
}

void CActiveScheduler::notify(CActive& object)
{
    if (!object.is_active())
        fatal_error(u"CActiveScheduler::notify()", u"Active object " + decimal(object.id()) + u" is not active");
    Lock lock(impl_->lock);
    impl_->pending.push_back(&object);
    platform::post_message(impl_->window, WAKE_UP, 0, 0);
}

bool CActiveScheduler::process_actives()
{
    for (;;) {
        CActive* object = nullptr;
        {
            Lock lock(impl_->lock);
            if (impl_->pending.empty())
                return true;
            object = impl_->pending.front();
            impl_->pending.pop_front();
        }
        if (!object->is_active())
            fatal_error(u"CActiveScheduler::process_actives()",
                u"Active object " + decimal(object->id()) + u" is not marked active");
        object->active_.store(false, std::memory_order_release);
        impl_->active_counter.decrement();
        object->run();
    }
}

void CActiveScheduler::cancel(CActive& object)
{
    if (!object.is_active())
        return;
    object.do_cancel();
    platform::Message message {};
    for (;;) {
        {
            Lock lock(impl_->lock);
            auto it = std::find(impl_->pending.begin(), impl_->pending.end(), &object);
            if (it != impl_->pending.end()) {
                impl_->pending.erase(it);
                object.active_.store(false, std::memory_order_release);
                impl_->active_counter.decrement();
                break;
            }
        }
        if (platform::get_message(message, impl_->window, WAKE_UP, WAKE_UP) == 0) {
            // The quit message was taken while waiting: hand it back so the message loop still ends.
            platform::post_quit_message(static_cast<int>(message.wparam));
            break;
        }
    }
    if (message.message != 0)
        platform::post_message(impl_->window, WAKE_UP, 0, 0);
}

void CActiveScheduler::add_timer(TimedActive& timer)
{
    impl_->timers.push_back(&timer);
}

void CActiveScheduler::check_timers()
{
    platform::kill_timer(impl_->window, 1);
    uint32_t const now = platform::tick_count();
    int32_t nearest = NO_TIMER_AHEAD;
    for (auto it = impl_->timers.begin(); it != impl_->timers.end();) {
        int32_t const remaining = static_cast<int32_t>((*it)->due - now);
        if (remaining <= 0) {
            notify(**it);
            it = impl_->timers.erase(it);
        } else {
            nearest = std::min(nearest, remaining);
            ++it;
        }
    }
    if (nearest != static_cast<int32_t>(NO_TIMER_AHEAD))
        platform::set_timer(impl_->window, 1, static_cast<uint32_t>(nearest));
}

} // namespace core
