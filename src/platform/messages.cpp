#include "messages.h"

#include "ticks.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace platform {

namespace {

struct TimerRecord {
    Hwnd window;
    uintptr_t id;
    uint32_t interval;
    uint32_t last;
};

struct Queue {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Message> posted;
    std::vector<TimerRecord> timers;
    bool quit = false;
    int quit_code = 0;
    QueueWaiter* waiter = nullptr;
    bool waiting = false; // the owner waits in its waiter, which a post must wake
};

// Under no lock: ends the owner's wait in its waiter, when it is in one.
void wake_waiter(Queue& q)
{
    QueueWaiter* waiter = nullptr;
    {
        std::lock_guard lock(q.mutex);
        if (q.waiting)
            waiter = q.waiter;
    }
    if (waiter)
        waiter->wake();
}

struct WindowRecord {
    uint32_t thread_id;
    WindowProc procedure;
    std::u16string class_name;
    std::u16string title;
    uint32_t style;
    Hwnd parent;
    void* data;
};

// Lock order: the table's mutex before any queue's mutex.
struct Table {
    std::mutex mutex;
    std::unordered_map<uint32_t, std::shared_ptr<Queue>> queues;
    std::unordered_map<Hwnd, WindowRecord> windows;
    std::map<std::u16string, WindowClass> classes;
    Hwnd next_window = 0x100;
};

Table& table()
{
    static Table* instance = new Table; // outlives every thread's queue holder
    return *instance;
}

std::atomic<uint32_t> next_thread_id { 1 };

struct ThreadQueue {
    uint32_t id = next_thread_id.fetch_add(1);
    std::shared_ptr<Queue> queue;

    ~ThreadQueue()
    {
        if (!queue)
            return;
        auto& t = table();
        std::lock_guard lock(t.mutex);
        t.queues.erase(id);
    }
};

thread_local ThreadQueue this_thread;

std::shared_ptr<Queue> own_queue()
{
    if (!this_thread.queue) {
        auto queue = std::make_shared<Queue>();
        auto& t = table();
        std::lock_guard lock(t.mutex);
        t.queues[this_thread.id] = queue;
        this_thread.queue = queue;
    }
    return this_thread.queue;
}

bool in_range(uint32_t message, uint32_t min, uint32_t max)
{
    if (min == 0 && max == 0)
        return true;
    return message >= min && message <= max;
}

bool window_matches(Hwnd wanted, Hwnd window)
{
    if (wanted == 0)
        return true;
    if (wanted == THREAD_MESSAGES)
        return window == 0;
    return wanted == window;
}

// Under the queue's lock: the first posted message that passes the filter, then a due timer.
bool take(Queue& q, Message& out, Hwnd window, uint32_t min, uint32_t max, bool remove)
{
    for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
        if (window_matches(window, it->window) && in_range(it->message, min, max)) {
            out = *it;
            if (remove)
                q.posted.erase(it);
            return true;
        }
    }
    if (q.quit) {
        out = Message { 0, WM_QUIT, static_cast<uintptr_t>(q.quit_code), 0, tick_count() };
        if (remove)
            q.quit = false;
        return true;
    }
    if (!in_range(WM_TIMER, min, max))
        return false;
    uint32_t const now = tick_count();
    for (auto& timer : q.timers) {
        if (!window_matches(window, timer.window))
            continue;
        if (now - timer.last >= timer.interval) {
            out = Message { timer.window, WM_TIMER, timer.id, 0, now };
            if (remove)
                timer.last = now;
            return true;
        }
    }
    return false;
}

// Under the queue's lock: milliseconds until the nearest timer that passes the filter is due.
std::chrono::milliseconds time_to_timer(Queue& q, Hwnd window, uint32_t min, uint32_t max)
{
    auto nearest = std::chrono::milliseconds::max();
    if (!in_range(WM_TIMER, min, max))
        return nearest;
    uint32_t const now = tick_count();
    for (auto& timer : q.timers) {
        if (!window_matches(window, timer.window))
            continue;
        uint32_t const elapsed = now - timer.last;
        auto const remaining = std::chrono::milliseconds(elapsed >= timer.interval ? 0 : timer.interval - elapsed);
        nearest = std::min(nearest, remaining);
    }
    return nearest;
}

std::shared_ptr<Queue> queue_of_window(Hwnd window, WindowRecord* record = nullptr)
{
    auto& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.windows.find(window);
    if (it == t.windows.end())
        return nullptr;
    if (record)
        *record = it->second;
    auto q = t.queues.find(it->second.thread_id);
    return q == t.queues.end() ? nullptr : q->second;
}

} // namespace

void ensure_queue()
{
    own_queue();
}

uint32_t current_thread_id()
{
    return this_thread.id;
}

bool register_class(WindowClass const& window_class)
{
    auto& t = table();
    std::lock_guard lock(t.mutex);
    return t.classes.emplace(window_class.name, window_class).second;
}

bool unregister_class(std::u16string const& name)
{
    auto& t = table();
    std::lock_guard lock(t.mutex);
    return t.classes.erase(name) > 0;
}

Hwnd create_window(std::u16string const& class_name, std::u16string const& title, uint32_t style, Hwnd parent)
{
    own_queue();
    Hwnd window = 0;
    {
        auto& t = table();
        std::lock_guard lock(t.mutex);
        auto cls = t.classes.find(class_name);
        if (cls == t.classes.end() || !cls->second.procedure)
            return 0;
        window = t.next_window++;
        t.windows.emplace(
            window, WindowRecord { this_thread.id, cls->second.procedure, class_name, title, style, parent, nullptr });
    }
    send_message(window, WM_CREATE, 0, 0);
    return window;
}

bool destroy_window(Hwnd window)
{
    WindowRecord record {};
    auto queue = queue_of_window(window, &record);
    if (!queue && !is_window(window))
        return false;
    if (record.thread_id != this_thread.id)
        return false;
    send_message(window, WM_DESTROY, 0, 0);
    {
        auto& t = table();
        std::lock_guard lock(t.mutex);
        t.windows.erase(window);
    }
    if (queue) {
        std::lock_guard lock(queue->mutex);
        std::erase_if(queue->posted, [window](Message const& m) { return m.window == window; });
        std::erase_if(queue->timers, [window](TimerRecord const& r) { return r.window == window; });
    }
    return true;
}

bool is_window(Hwnd window)
{
    auto& t = table();
    std::lock_guard lock(t.mutex);
    return t.windows.contains(window);
}

void set_window_data(Hwnd window, void* data)
{
    auto& t = table();
    std::lock_guard lock(t.mutex);
    if (auto it = t.windows.find(window); it != t.windows.end())
        it->second.data = data;
}

void* window_data(Hwnd window)
{
    auto& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.windows.find(window);
    return it == t.windows.end() ? nullptr : it->second.data;
}

std::u16string window_class_name(Hwnd window)
{
    auto& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.windows.find(window);
    return it == t.windows.end() ? std::u16string() : it->second.class_name;
}

bool post_message(Hwnd window, uint32_t message, uintptr_t wparam, intptr_t lparam)
{
    if (window == 0)
        return post_thread_message(current_thread_id(), message, wparam, lparam);
    auto queue = queue_of_window(window);
    if (!queue)
        return false;
    {
        std::lock_guard lock(queue->mutex);
        queue->posted.push_back(Message { window, message, wparam, lparam, tick_count() });
    }
    queue->wake.notify_all();
    wake_waiter(*queue);
    return true;
}

bool post_thread_message(uint32_t thread_id, uint32_t message, uintptr_t wparam, intptr_t lparam)
{
    std::shared_ptr<Queue> queue;
    {
        auto& t = table();
        std::lock_guard lock(t.mutex);
        auto it = t.queues.find(thread_id);
        if (it == t.queues.end())
            return false;
        queue = it->second;
    }
    {
        std::lock_guard lock(queue->mutex);
        queue->posted.push_back(Message { 0, message, wparam, lparam, tick_count() });
    }
    queue->wake.notify_all();
    wake_waiter(*queue);
    return true;
}

void post_quit_message(int exit_code)
{
    auto queue = own_queue();
    {
        std::lock_guard lock(queue->mutex);
        queue->quit = true;
        queue->quit_code = exit_code;
    }
    queue->wake.notify_all();
}

QueueWaiter::~QueueWaiter() = default;

void set_queue_waiter(QueueWaiter* waiter)
{
    auto queue = own_queue();
    std::lock_guard lock(queue->mutex);
    queue->waiter = waiter;
}

int get_message(Message& message, Hwnd window, uint32_t min, uint32_t max)
{
    auto queue = own_queue();
    // The other source is read first, so that a queue that is never empty cannot starve it.
    if (queue->waiter)
        queue->waiter->wait(0);
    std::unique_lock lock(queue->mutex);
    for (;;) {
        if (take(*queue, message, window, min, max, true))
            return message.message == WM_QUIT ? 0 : 1;
        auto const wait = time_to_timer(*queue, window, min, max);
        if (QueueWaiter* waiter = queue->waiter) {
            queue->waiting = true;
            lock.unlock();
            waiter->wait(wait == std::chrono::milliseconds::max() ? -1 : static_cast<int32_t>(wait.count()));
            lock.lock();
            queue->waiting = false;
        } else if (wait == std::chrono::milliseconds::max()) {
            queue->wake.wait(lock);
        } else {
            queue->wake.wait_for(lock, wait);
        }
    }
}

bool peek_message(Message& message, Hwnd window, uint32_t min, uint32_t max, Peek mode)
{
    auto queue = own_queue();
    if (queue->waiter)
        queue->waiter->wait(0);
    std::lock_guard lock(queue->mutex);
    return take(*queue, message, window, min, max, mode == Peek::REMOVE);
}

bool wait_message(uint32_t milliseconds)
{
    auto queue = own_queue();
    std::unique_lock lock(queue->mutex);
    return queue->wake.wait_for(
        lock, std::chrono::milliseconds(milliseconds), [&] { return !queue->posted.empty() || queue->quit; });
}

intptr_t dispatch_message(Message const& message)
{
    if (message.window == 0)
        return 0;
    return send_message(message.window, message.message, message.wparam, message.lparam);
}

intptr_t send_message(Hwnd window, uint32_t message, uintptr_t wparam, intptr_t lparam)
{
    WindowProc procedure = nullptr;
    {
        auto& t = table();
        std::lock_guard lock(t.mutex);
        auto it = t.windows.find(window);
        if (it == t.windows.end() || it->second.thread_id != this_thread.id)
            return 0;
        procedure = it->second.procedure;
    }
    return procedure(window, message, wparam, lparam);
}

intptr_t def_window_proc(Hwnd window, uint32_t message, uintptr_t, intptr_t)
{
    if (message == WM_CLOSE)
        destroy_window(window);
    return 0;
}

bool set_timer(Hwnd window, uintptr_t id, uint32_t milliseconds)
{
    auto queue = queue_of_window(window);
    if (!queue)
        return false;
    {
        std::lock_guard lock(queue->mutex);
        uint32_t const now = tick_count();
        auto it = std::find_if(queue->timers.begin(), queue->timers.end(),
            [&](TimerRecord const& r) { return r.window == window && r.id == id; });
        if (it != queue->timers.end()) {
            it->interval = milliseconds;
            it->last = now;
        } else {
            queue->timers.push_back(TimerRecord { window, id, milliseconds, now });
        }
    }
    queue->wake.notify_all();
    wake_waiter(*queue);
    return true;
}

bool kill_timer(Hwnd window, uintptr_t id)
{
    auto queue = queue_of_window(window);
    if (!queue)
        return false;
    std::lock_guard lock(queue->mutex);
    auto const before = queue->timers.size();
    std::erase_if(queue->timers, [&](TimerRecord const& r) { return r.window == window && r.id == id; });
    return queue->timers.size() != before;
}

} // namespace platform
