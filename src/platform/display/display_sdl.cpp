#include "display_sdl.h"

#include <platform/text.h>

#include <SDL.h>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace platform {

namespace {

// The open window, for message boxes; SDL allows one video subsystem per process.
SDL_Window* open_window = nullptr;

uint32_t virtual_key(SDL_Keysym const& key)
{
    SDL_Keycode const code = key.sym;
    if (code >= SDLK_a && code <= SDLK_z)
        return VK_A + static_cast<uint32_t>(code - SDLK_a);
    if (code >= SDLK_0 && code <= SDLK_9)
        return VK_0 + static_cast<uint32_t>(code - SDLK_0);
    if (code >= SDLK_F1 && code <= SDLK_F12)
        return VK_F1 + static_cast<uint32_t>(code - SDLK_F1);
    switch (code) {
    case SDLK_BACKSPACE:
        return VK_BACK;
    case SDLK_TAB:
        return VK_TAB;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return VK_RETURN;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT:
        return VK_MENU;
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_SPACE:
        return VK_SPACE;
    case SDLK_PAGEUP:
        return VK_PRIOR;
    case SDLK_PAGEDOWN:
        return VK_NEXT;
    case SDLK_END:
        return VK_END;
    case SDLK_HOME:
        return VK_HOME;
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_UP:
        return VK_UP;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_INSERT:
        return VK_INSERT;
    case SDLK_DELETE:
        return VK_DELETE;
    case SDLK_APPLICATION:
    case SDLK_MENU:
        return VK_APPS;
    case SDLK_SLASH:
    case SDLK_KP_DIVIDE:
        return VK_OEM_2;
    default:
        // Keys the handheld has no number for keep one of their own, outside its range.
        return 0x10000u + static_cast<uint32_t>(key.scancode);
    }
}

class SdlDisplay final : public Display, private QueueWaiter {
public:
    ~SdlDisplay() override
    {
        set_queue_waiter(nullptr);
        if (texture_)
            SDL_DestroyTexture(texture_);
        if (renderer_)
            SDL_DestroyRenderer(renderer_);
        if (window_) {
            open_window = nullptr;
            SDL_DestroyWindow(window_);
        }
        if (video_)
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    bool open(std::u16string const& title, Screen const& screen, Hwnd target) override
    {
        target_ = target;
        screen_ = screen;
        SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        // SIGINT and SIGTERM are the program's own (a clean stop of the recording), not a quit event.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        // A touch is a pen: SDL turns it into the left button, as it does by default.
        SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "1");
        SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            std::fprintf(stderr, "ravelin: no display (SDL: %s)\n", SDL_GetError());
            return false;
        }
        video_ = true;
        // SDL falls back to drivers that show nothing; only someone who asks for one gets it.
        std::string_view const driver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "";
        if ((driver == "offscreen" || driver == "dummy") && !std::getenv("SDL_VIDEODRIVER")) {
            std::fprintf(stderr,
                "ravelin: no window system found (DISPLAY, WAYLAND_DISPLAY); "
                "RAVELIN_DISPLAY=headless runs without a window\n");
            return false;
        }
        wake_event_ = SDL_RegisterEvents(1);
        window_ = SDL_CreateWindow(to_utf8(title).c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
            screen.width, screen.height, SDL_WINDOW_RESIZABLE);
        if (!window_) {
            std::fprintf(stderr, "ravelin: cannot open a window (SDL: %s)\n", SDL_GetError());
            return false;
        }
        // Our frames go straight into the window system's own picture of the window (shared memory on X11),
        // so no OpenGL driver is loaded to show what we drew ourselves. A window system that offers no such
        // picture (Wayland without XWayland) gets the renderer instead.
        if (!SDL_GetWindowSurface(window_)) {
            std::fprintf(stderr,
                "ravelin: the window has no surface of its own, frames go through a renderer (SDL: %s)\n",
                SDL_GetError());
            renderer_ = SDL_CreateRenderer(window_, -1, 0);
            if (!renderer_)
                renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
            if (!renderer_) {
                std::fprintf(stderr, "ravelin: cannot draw into the window (SDL: %s)\n", SDL_GetError());
                return false;
            }
        }
        open_window = window_;
        // Text input stays as SDL leaves it (on, where no screen keyboard would come up with it).
        set_queue_waiter(this);
        return true;
    }

    Screen screen() const override { return screen_; }

    void present(uint16_t const* pixels, int32_t width, int32_t height, int32_t pitch) override
    {
        if (!window_)
            return;
        if (renderer_) {
            present_through_renderer(pixels, width, height, pitch);
            return;
        }
        // A surface over the caller's pixels, for the conversion into the window's format.
        SDL_Surface* frame = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint16_t*>(pixels), width, height, 16,
            pitch * static_cast<int>(sizeof(uint16_t)), SDL_PIXELFORMAT_RGB565);
        if (!frame)
            return;
        copy_frame(frame);
        SDL_FreeSurface(frame);
    }

    void minimize() override
    {
        SDL_MinimizeWindow(window_);
        // Without a window manager nothing answers; the program is inactive all the same.
        minimized_ = true;
        update_active();
    }

    void restore() override
    {
        SDL_RestoreWindow(window_);
        SDL_RaiseWindow(window_);
        minimized_ = false;
        focused_ = true;
        update_active();
    }

    void set_text_input(bool editing, TextBox const& rect) override
    {
        if (editing) {
            SDL_Rect r { rect.x, rect.y, rect.width, rect.height };
            SDL_SetTextInputRect(&r);
            SDL_StartTextInput();
        } else if (SDL_HasScreenKeyboardSupport()) {
            SDL_StopTextInput();
        }
    }

    bool screen_keyboard_shown() const override { return window_ && SDL_IsScreenKeyboardShown(window_); }

    void release_pen() override
    {
        if (pen_held_)
            SDL_CaptureMouse(SDL_FALSE);
        pen_held_ = false;
    }

    char const* name() const override { return "sdl"; }

private:
    // Converts the frame into the window's surface, scaled when the window has another size by now (a
    // resize whose frame is still to come), and shows it.
    void copy_frame(SDL_Surface* frame)
    {
        SDL_Surface* surface = SDL_GetWindowSurface(window_);
        if (!surface)
            return;
        if (frame->w == surface->w && frame->h == surface->h)
            SDL_BlitSurface(frame, nullptr, surface, nullptr);
        else
            SDL_BlitScaled(frame, nullptr, surface, nullptr);
        SDL_UpdateWindowSurface(window_);
    }

    void present_through_renderer(uint16_t const* pixels, int32_t width, int32_t height, int32_t pitch)
    {
        if (!texture_ || width != texture_width_ || height != texture_height_) {
            if (texture_)
                SDL_DestroyTexture(texture_);
            texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING, width, height);
            texture_width_ = width;
            texture_height_ = height;
            if (!texture_)
                return;
        }
        SDL_UpdateTexture(texture_, nullptr, pixels, pitch * static_cast<int>(sizeof(uint16_t)));
        show();
    }

    // Shows the last frame again (the window was uncovered).
    void show()
    {
        if (!renderer_) {
            // The window's surface still holds the last frame.
            if (SDL_GetWindowSurface(window_))
                SDL_UpdateWindowSurface(window_);
            return;
        }
        if (!texture_)
            return;
        SDL_RenderClear(renderer_);
        SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
        SDL_RenderPresent(renderer_);
    }

    void post(uint32_t message, uintptr_t wparam, intptr_t lparam) const
    {
        post_message(target_, message, wparam, lparam);
    }

    void update_active()
    {
        if (!focused_ || minimized_)
            lose_pen();
        // A window behind another is still seen (a recording's clock and levels run on): only a hidden or
        // minimised one stops drawing.
        bool const active = !minimized_;
        if (active == active_)
            return;
        active_ = active;
        post(WM_ACTIVATE, active ? WA_ACTIVE : WA_INACTIVE, 0);
    }

    void lose_pen()
    {
        if (!pen_held_)
            return;
        release_pen();
        post(WM_CAPTURECHANGED, 0, 0);
    }

    // QueueWaiter: the one place that drains SDL's queue.
    void wait(int32_t milliseconds) override
    {
        SDL_Event event;
        bool got = milliseconds == 0 ? SDL_PollEvent(&event) != 0 : SDL_WaitEventTimeout(&event, milliseconds) != 0;
        while (got) {
            translate(event);
            got = SDL_PollEvent(&event) != 0;
        }
    }

    void wake() override
    {
        SDL_Event event {};
        event.type = wake_event_;
        SDL_PushEvent(&event);
    }

    void translate(SDL_Event const& event)
    {
        switch (event.type) {
        case SDL_QUIT:
            post(WM_CLOSE, 0, 0);
            break;
        case SDL_WINDOWEVENT:
            on_window_event(event.window);
            break;
        case SDL_DISPLAYEVENT:
            post(WM_SETTINGCHANGE, SETTING_WORK_AREA, 0);
            break;
        case SDL_MOUSEBUTTONDOWN:
            if (event.button.button == SDL_BUTTON_LEFT && !pen_held_) {
                pen_held_ = true;
                SDL_CaptureMouse(SDL_TRUE);
                post(WM_LBUTTONDOWN, 1, point_lparam(event.button.x, event.button.y));
            }
            break;
        case SDL_MOUSEMOTION:
            if (pen_held_)
                post(WM_MOUSEMOVE, 1, point_lparam(event.motion.x, event.motion.y));
            break;
        case SDL_MOUSEBUTTONUP:
            if (event.button.button == SDL_BUTTON_LEFT && pen_held_) {
                release_pen();
                post(WM_LBUTTONUP, 0, point_lparam(event.button.x, event.button.y));
            }
            break;
        case SDL_MOUSEWHEEL: {
            int32_t notches = event.wheel.y;
            if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED)
                notches = -notches;
            int x = 0, y = 0;
            SDL_GetMouseState(&x, &y);
            if (notches != 0)
                post(WM_MOUSEWHEEL, wheel_wparam(notches * WHEEL_DELTA), point_lparam(x, y));
            break;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            bool const down = event.type == SDL_KEYDOWN;
            intptr_t lparam = 1 | (static_cast<intptr_t>(event.key.keysym.scancode & 0xFF) << 16);
            if (!down)
                lparam |= KEY_UP_BIT | KEY_REPEAT_BIT;
            else if (event.key.repeat)
                lparam |= KEY_REPEAT_BIT;
            post(down ? WM_KEYDOWN : WM_KEYUP, virtual_key(event.key.keysym), lparam);
            break;
        }
        case SDL_TEXTINPUT:
            for (char16_t unit : from_utf8(event.text.text))
                post(WM_CHAR, unit, 1);
            break;
        default:
            break;
        }
    }

    void on_window_event(SDL_WindowEvent const& event)
    {
        switch (event.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            screen_.width = event.data1;
            screen_.height = event.data2;
            screen_.orientation = orientation_of(event.data1, event.data2);
            post(WM_SETTINGCHANGE, SETTING_WORK_AREA, 0);
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            show();
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            focused_ = false;
            update_active();
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            focused_ = true;
            update_active();
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
        case SDL_WINDOWEVENT_HIDDEN:
            minimized_ = true;
            update_active();
            break;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_MAXIMIZED:
            minimized_ = false;
            update_active();
            break;
        case SDL_WINDOWEVENT_CLOSE:
            post(WM_CLOSE, 0, 0);
            break;
        default:
            break;
        }
    }

    Hwnd target_ = 0;
    Screen screen_;
    bool video_ = false;
    uint32_t wake_event_ = 0;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr; // only where the window has no surface of its own
    SDL_Texture* texture_ = nullptr;
    int32_t texture_width_ = 0;
    int32_t texture_height_ = 0;
    bool pen_held_ = false;
    bool focused_ = true;
    bool minimized_ = false;
    bool active_ = true;
};

} // namespace

std::unique_ptr<Display> create_sdl_display()
{
    return std::make_unique<SdlDisplay>();
}

void sdl_message_box(std::string const& text, std::string const& caption)
{
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0)
        return;
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption.c_str(), text.c_str(), open_window);
}

} // namespace platform
