#pragma once

#include <cstdint>
#include <string>

// Window messages: per-thread queues with posting, blocking get and filtered peek, thread messages,
// windows with procedures, window timers and quit, numbered as on the handheld.
//
// Threads: any thread may post to any window or thread. A window belongs to the thread that created it;
// only that thread gets its messages, dispatches them, and sets or kills its timers.
namespace platform {

using Hwnd = uintptr_t; // 0: no window

constexpr uint32_t WM_CREATE = 0x0001;
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_ACTIVATE = 0x0006;
constexpr uint32_t WM_PAINT = 0x000F;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_SETTINGCHANGE = 0x001A;
constexpr uint32_t WM_COPYDATA = 0x004A;
constexpr uint32_t WM_HELP = 0x0053;
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WM_KEYUP = 0x0101;
constexpr uint32_t WM_CHAR = 0x0102;
constexpr uint32_t WM_COMMAND = 0x0111;
constexpr uint32_t WM_TIMER = 0x0113;
constexpr uint32_t WM_CTLCOLOREDIT = 0x0133;
constexpr uint32_t WM_MOUSEMOVE = 0x0200;
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr uint32_t WM_LBUTTONUP = 0x0202;
constexpr uint32_t WM_MOUSEWHEEL = 0x020A;
constexpr uint32_t WM_CAPTURECHANGED = 0x0215;
constexpr uint32_t WM_HOTKEY = 0x0312;
constexpr uint32_t MM_WOM_OPEN = 0x03BB;
constexpr uint32_t MM_WOM_CLOSE = 0x03BC;
constexpr uint32_t MM_WOM_DONE = 0x03BD;
constexpr uint32_t MM_WIM_OPEN = 0x03BE;
constexpr uint32_t MM_WIM_CLOSE = 0x03BF;
constexpr uint32_t MM_WIM_DATA = 0x03C0;
constexpr uint32_t WM_USER = 0x0400;

// A window filter that selects the thread's own messages (those posted to no window).
constexpr Hwnd THREAD_MESSAGES = static_cast<Hwnd>(-1);

struct Message {
    Hwnd window = 0;
    uint32_t message = 0;
    uintptr_t wparam = 0;
    intptr_t lparam = 0;
    uint32_t time = 0; // tick count when posted
};

using WindowProc = intptr_t (*)(Hwnd window, uint32_t message, uintptr_t wparam, intptr_t lparam);

struct WindowClass {
    std::u16string name;
    uint32_t style = 0;
    WindowProc procedure = nullptr;
};

// False when a class of that name is registered already.
bool register_class(WindowClass const& window_class);
bool unregister_class(std::u16string const& name);

// Creates a window of a registered class, owned by the calling thread, and sends it WM_CREATE.
Hwnd create_window(std::u16string const& class_name, std::u16string const& title, uint32_t style, Hwnd parent = 0);
bool destroy_window(Hwnd window);
bool is_window(Hwnd window);
void set_window_data(Hwnd window, void* data);
void* window_data(Hwnd window);
std::u16string window_class_name(Hwnd window);

// Creates the calling thread's queue if it has none yet, as any other call here does.
void ensure_queue();
uint32_t current_thread_id();

bool post_message(Hwnd window, uint32_t message, uintptr_t wparam, intptr_t lparam);
bool post_thread_message(uint32_t thread_id, uint32_t message, uintptr_t wparam, intptr_t lparam);
void post_quit_message(int exit_code);

// Blocks until a message for `window` (0: any window of the thread and the thread's own messages) in
// [min, max] (0, 0: every message) arrives. Returns 0 for WM_QUIT, which passes every filter, else 1.
int get_message(Message& message, Hwnd window, uint32_t min, uint32_t max);

enum class Peek { KEEP, REMOVE };
bool peek_message(Message& message, Hwnd window, uint32_t min, uint32_t max, Peek mode);

// Blocks until a message has been posted to the calling thread (or WM_QUIT) or `milliseconds` pass, and
// answers whether one is there; takes nothing out. For workers, whose only input is what others post:
// window timers and another source are not waited for.
bool wait_message(uint32_t milliseconds);

// Calls the procedure of the message's window on the calling thread; thread messages are not dispatched.
intptr_t dispatch_message(Message const& message);
// Calls the procedure directly; only for windows of the calling thread.
intptr_t send_message(Hwnd window, uint32_t message, uintptr_t wparam, intptr_t lparam);
intptr_t def_window_proc(Hwnd window, uint32_t message, uintptr_t wparam, intptr_t lparam);

// A window timer posts WM_TIMER (wparam = id) each time `milliseconds` have passed, when the queue holds
// nothing else the caller wants. Setting an existing id restarts it.
bool set_timer(Hwnd window, uintptr_t id, uint32_t milliseconds);
bool kill_timer(Hwnd window, uintptr_t id);

// Another source of input that a thread's message waits also wait for (a window system's event queue,
// which must be read on the thread that owns the window). wait() blocks until that source has input, or
// `milliseconds` pass (-1: no limit; 0: only takes what is there), and turns what came into posted
// messages; wake() ends a wait from any thread.
class QueueWaiter {
public:
    virtual ~QueueWaiter();
    virtual void wait(int32_t milliseconds) = 0;
    virtual void wake() = 0;
};

// Installs (or, with null, removes) the calling thread's waiter; not owned.
void set_queue_waiter(QueueWaiter* waiter);

} // namespace platform
