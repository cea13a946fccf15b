#include "display.h"

#include "display_sdl.h"
#include <platform/text.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

bool parse_number(std::string_view& text, int32_t& value, int32_t min, int32_t max)
{
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data() || value < min || value > max)
        return false;
    text.remove_prefix(static_cast<size_t>(end - text.data()));
    return true;
}

bool take(std::string_view& text, char c)
{
    if (text.empty() || text.front() != c)
        return false;
    text.remove_prefix(1);
    return true;
}

} // namespace

Display::~Display() = default;

int32_t orientation_of(int32_t width, int32_t height)
{
    return width > height ? 1 : 0;
}

bool parse_screen(std::string_view text, Screen& screen)
{
    Screen parsed;
    if (!parse_number(text, parsed.width, 16, 16384) || !take(text, 'x')
        || !parse_number(text, parsed.height, 16, 16384) || !take(text, '@')
        || !parse_number(text, parsed.dpi, 32, 1024) || !text.empty())
        return false;
    parsed.orientation = orientation_of(parsed.width, parsed.height);
    screen = parsed;
    return true;
}

Screen screen_from_environment()
{
    Screen screen;
    char const* value = std::getenv("RAVELIN_SCREEN");
    if (value && !parse_screen(value, screen))
        std::fprintf(stderr, "ravelin: RAVELIN_SCREEN='%s' is not WIDTHxHEIGHT@DPI; using 480x640@192\n", value);
    return screen;
}

std::unique_ptr<Display> create_display()
{
    char const* value = std::getenv("RAVELIN_DISPLAY");
    std::string_view const name = value ? value : "sdl";
    if (name == "headless")
        return std::make_unique<HeadlessDisplay>();
    if (name != "sdl")
        std::fprintf(stderr, "ravelin: RAVELIN_DISPLAY='%s' is neither sdl nor headless; using sdl\n", value);
    return create_sdl_display();
}

void message_box(std::u16string const& text, std::u16string const& caption)
{
    std::string const utf8_text = to_utf8(text);
    std::string const utf8_caption = to_utf8(caption);
    std::fprintf(stderr, "%s: %s\n", utf8_caption.c_str(), utf8_text.c_str());
    std::fflush(stderr);
    sdl_message_box(utf8_text, utf8_caption);
}

bool HeadlessDisplay::open(std::u16string const&, Screen const& screen, Hwnd window)
{
    window_ = window;
    screen_ = screen;
    return true;
}

void HeadlessDisplay::present(uint16_t const* pixels, int32_t width, int32_t height, int32_t pitch)
{
    frame_.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(frame_.data() + static_cast<size_t>(y) * static_cast<size_t>(width),
            pixels + static_cast<ptrdiff_t>(y) * pitch, static_cast<size_t>(width) * sizeof(uint16_t));
    frame_width_ = width;
    frame_height_ = height;
    ++frames_;
}

void HeadlessDisplay::post(uint32_t message, uintptr_t wparam, intptr_t lparam) const
{
    post_message(window_, message, wparam, lparam);
}

void HeadlessDisplay::update_active()
{
    if (!focused_ && pen_held_) {
        pen_held_ = false;
        post(WM_CAPTURECHANGED, 0, 0);
    }
    // Only a window nobody can see is inactive.
    bool const active = !minimized_;
    if (active == active_)
        return;
    active_ = active;
    post(WM_ACTIVATE, active ? WA_ACTIVE : WA_INACTIVE, 0);
}

void HeadlessDisplay::minimize()
{
    minimized_ = true;
    update_active();
}

void HeadlessDisplay::restore()
{
    ++restores_;
    minimized_ = false;
    focused_ = true;
    update_active();
}

void HeadlessDisplay::set_text_input(bool editing, TextBox const& rect)
{
    editing_ = editing;
    text_rect_ = editing ? rect : TextBox {};
}

void HeadlessDisplay::pen_down(int32_t x, int32_t y)
{
    pen_held_ = true;
    post(WM_LBUTTONDOWN, 1, point_lparam(x, y));
}

void HeadlessDisplay::pen_move(int32_t x, int32_t y)
{
    if (pen_held_)
        post(WM_MOUSEMOVE, 1, point_lparam(x, y));
}

void HeadlessDisplay::pen_up(int32_t x, int32_t y)
{
    if (!pen_held_)
        return;
    pen_held_ = false;
    post(WM_LBUTTONUP, 0, point_lparam(x, y));
}

void HeadlessDisplay::lose_focus()
{
    focused_ = false;
    update_active();
}

void HeadlessDisplay::gain_focus()
{
    focused_ = true;
    update_active();
}

void HeadlessDisplay::key(uint32_t virtual_key, bool down, bool repeat)
{
    intptr_t lparam = 1;
    if (!down)
        lparam |= KEY_UP_BIT | KEY_REPEAT_BIT;
    else if (repeat)
        lparam |= KEY_REPEAT_BIT;
    post(down ? WM_KEYDOWN : WM_KEYUP, virtual_key, lparam);
}

void HeadlessDisplay::text(std::u16string const& text)
{
    for (char16_t unit : text)
        post(WM_CHAR, unit, 1);
}

void HeadlessDisplay::wheel(int32_t x, int32_t y, int32_t notches)
{
    post(WM_MOUSEWHEEL, wheel_wparam(notches * WHEEL_DELTA), point_lparam(x, y));
}

void HeadlessDisplay::resize(int32_t width, int32_t height)
{
    screen_.width = width;
    screen_.height = height;
    screen_.orientation = orientation_of(width, height);
    post(WM_SETTINGCHANGE, SETTING_WORK_AREA, 0);
}

void HeadlessDisplay::close()
{
    post(WM_CLOSE, 0, 0);
}

} // namespace platform
