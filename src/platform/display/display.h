#pragma once

#include "fonts.h"

#include <platform/messages.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The display back-end: the program's one window, which shows finished RGB565 frames and turns the
// window system's input into the main window's messages. Two backends share this interface: "sdl" (a
// real window) and "headless" (no window: frames kept in memory, input injected by tests), chosen by
// RAVELIN_DISPLAY; the screen's size and dots per inch come from RAVELIN_SCREEN.
//
// Messages posted to the window given to open():
// - WM_LBUTTONDOWN, WM_MOUSEMOVE (only while the pen is down), WM_LBUTTONUP: lparam = point_lparam(x,
//   y), window pixels; a lift outside the window still arrives, at its position outside;
// - WM_CAPTURECHANGED: the pen was held and the window lost it without a lift (focus taken away);
// - WM_MOUSEWHEEL: wparam = wheel_wparam(delta), WHEEL_DELTA a notch, positive away from the user (the
//   content moves down); lparam = point_lparam of the pointer;
// - WM_KEYDOWN, WM_KEYUP: wparam = a virtual key (VK_*; other keys keep numbers of their own above 255),
//   lparam bit 30 set for an auto-repeated key-down, bit 31 for a key-up;
// - WM_CHAR: one UTF-16 code unit of typed or composed text;
// - WM_ACTIVATE: wparam WA_ACTIVE or WA_INACTIVE (minimised or hidden), only on a change. A window that is
//   visible but not focused stays active: it keeps drawing behind another window;
// - WM_SETTINGCHANGE with SETTING_WORK_AREA: the window or the display changed size;
// - WM_CLOSE: the user closes the window.
//
// Threads: everything on the thread that owns the window (the main thread), except that the waiter's
// wake() may be called from any thread.
namespace platform {

struct Screen {
    int32_t width = 480;
    int32_t height = 640;
    int32_t dpi = 192;
    int32_t orientation = 0; // 0: portrait (height >= width), 1: landscape

    friend bool operator==(Screen const&, Screen const&) = default;
};

// "WIDTHxHEIGHT@DPI" with each number from 16 to 16384 (dpi from 32 to 1024); false for anything else.
bool parse_screen(std::string_view text, Screen& screen);
// RAVELIN_SCREEN, or 480x640@192 when it is unset or malformed (said on standard error).
Screen screen_from_environment();
int32_t orientation_of(int32_t width, int32_t height);

constexpr uintptr_t WA_INACTIVE = 0;
constexpr uintptr_t WA_ACTIVE = 1;
constexpr uintptr_t SETTING_WORK_AREA = 47;
constexpr intptr_t KEY_REPEAT_BIT = intptr_t(1) << 30;
constexpr intptr_t KEY_UP_BIT = intptr_t(1) << 31;
constexpr int32_t WHEEL_DELTA = 120;

// Virtual keys, numbered as on the handheld.
constexpr uint32_t VK_BACK = 8;
constexpr uint32_t VK_TAB = 9;
constexpr uint32_t VK_RETURN = 13;
constexpr uint32_t VK_SHIFT = 16;
constexpr uint32_t VK_CONTROL = 17;
constexpr uint32_t VK_MENU = 18;
constexpr uint32_t VK_ESCAPE = 27;
constexpr uint32_t VK_SPACE = 32;
constexpr uint32_t VK_PRIOR = 33;
constexpr uint32_t VK_NEXT = 34;
constexpr uint32_t VK_END = 35;
constexpr uint32_t VK_HOME = 36;
constexpr uint32_t VK_LEFT = 37;
constexpr uint32_t VK_UP = 38;
constexpr uint32_t VK_RIGHT = 39;
constexpr uint32_t VK_DOWN = 40;
constexpr uint32_t VK_INSERT = 45;
constexpr uint32_t VK_DELETE = 46;
constexpr uint32_t VK_0 = 48;
constexpr uint32_t VK_A = 65;
constexpr uint32_t VK_APPS = 93;
constexpr uint32_t VK_F1 = 112;
constexpr uint32_t VK_OEM_2 = 191; // "/" and "?"

// Signed 16-bit halves, as the handheld packs a point into lparam.
inline intptr_t point_lparam(int32_t x, int32_t y)
{
    return static_cast<intptr_t>(
        static_cast<uint32_t>(static_cast<uint16_t>(x)) | (static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16));
}
inline int32_t lparam_x(intptr_t lparam)
{
    return static_cast<int16_t>(lparam & 0xFFFF);
}
inline int32_t lparam_y(intptr_t lparam)
{
    return static_cast<int16_t>((lparam >> 16) & 0xFFFF);
}

// The wheel's movement in the high half of wparam, signed.
inline uintptr_t wheel_wparam(int32_t delta)
{
    return static_cast<uintptr_t>(static_cast<uint16_t>(static_cast<int16_t>(delta))) << 16;
}
inline int32_t wparam_wheel(uintptr_t wparam)
{
    return static_cast<int16_t>((wparam >> 16) & 0xFFFF);
}

class Display {
public:
    virtual ~Display();

    // Makes the window of the screen's size; its input is posted to `window`, a window of the calling
    // thread, whose waits then also wake for the window system. False when it cannot (said on standard
    // error).
    virtual bool open(std::u16string const& title, Screen const& screen, Hwnd window) = 0;
    // The screen as the window has it now: its client size, the dpi, the orientation.
    virtual Screen screen() const = 0;
    // Shows a finished frame: `pitch` pixels from one row to the next.
    virtual void present(uint16_t const* pixels, int32_t width, int32_t height, int32_t pitch) = 0;
    virtual void minimize() = 0;
    // Restores a minimised window and brings it to the front.
    virtual void restore() = 0;
    // Text entry over `rect` (window pixels): composed and non-Latin text arrives as WM_CHAR, and a
    // screen keyboard, where there is one, comes up. Off again with editing false.
    virtual void set_text_input(bool editing, TextBox const& rect) = 0;
    // Whether a screen keyboard is up now.
    virtual bool screen_keyboard_shown() const = 0;
    // The window holds the pen: a lift outside it still arrives (begun at every press).
    virtual void release_pen() = 0;
    virtual char const* name() const = 0;
};

// The backend that RAVELIN_DISPLAY names ("sdl" when unset); an unknown name is said on standard error
// and the window is used.
std::unique_ptr<Display> create_display();

// A message box with one OK button over the window, when there is a window system; the text also on
// standard error. Returns when it is dismissed.
void message_box(std::u16string const& text, std::u16string const& caption);

// The headless backend, for tests: no window; frames are counted and the last one kept; input is
// injected as the window system would give it.
class HeadlessDisplay final : public Display {
public:
    bool open(std::u16string const& title, Screen const& screen, Hwnd window) override;
    Screen screen() const override { return screen_; }
    void present(uint16_t const* pixels, int32_t width, int32_t height, int32_t pitch) override;
    void minimize() override;
    void restore() override;
    void set_text_input(bool editing, TextBox const& rect) override;
    bool screen_keyboard_shown() const override { return false; }
    void release_pen() override { pen_held_ = false; }
    char const* name() const override { return "headless"; }

    // Injected input.
    void pen_down(int32_t x, int32_t y);
    void pen_move(int32_t x, int32_t y);
    void pen_up(int32_t x, int32_t y);
    // Focus taken away: a held pen is lost; the window, still visible, stays active.
    void lose_focus();
    void gain_focus();
    void key(uint32_t virtual_key, bool down, bool repeat = false);
    void text(std::u16string const& text);
    // The wheel turned by `notches` (positive away from the user) with the pointer at x, y.
    void wheel(int32_t x, int32_t y, int32_t notches);
    void resize(int32_t width, int32_t height);
    void close();

    // What was shown.
    uint64_t frames() const { return frames_; }
    std::vector<uint16_t> const& frame() const { return frame_; }
    int32_t frame_width() const { return frame_width_; }
    int32_t frame_height() const { return frame_height_; }
    bool minimized() const { return minimized_; }
    int32_t restores() const { return restores_; }
    bool text_input() const { return editing_; }
    TextBox const& text_rect() const { return text_rect_; }

private:
    void post(uint32_t message, uintptr_t wparam, intptr_t lparam) const;
    void update_active();

    Hwnd window_ = 0;
    Screen screen_;
    uint64_t frames_ = 0;
    std::vector<uint16_t> frame_;
    int32_t frame_width_ = 0;
    int32_t frame_height_ = 0;
    bool minimized_ = false;
    bool focused_ = true;
    bool active_ = true;
    bool pen_held_ = false;
    int32_t restores_ = 0;
    bool editing_ = false;
    TextBox text_rect_;
};

} // namespace platform
