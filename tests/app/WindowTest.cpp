// The program in a real window (SDL's X11 driver under Xvfb): what it loads to show its frames, what the
// window shows, and the pointer and the keys that reach it.
#include "XvfbSupport.h"

#include <app/Program.h>
#include <app/Starter.h>
#include <fstream>
#include <lang/Dictionary.h>
#include <platform/display/png.h>

using namespace app_test;
using testing_support::run;

namespace {

// The OpenGL, EGL and LLVM libraries mapped into a process.
std::string gl_libraries(int pid)
{
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    std::string found;
    for (std::string line; std::getline(maps, line);) {
        std::string const name = line.substr(line.rfind('/') + 1);
        if ((name.starts_with("libGL") || name.starts_with("libEGL") || name.starts_with("libLLVM"))
            && found.find(name) == std::string::npos)
            found += name + " ";
    }
    return found;
}

// The main screen as the headless display gets it, in this process, as 8-bit RGB the way a 565 pixel
// widens.
std::vector<uint8_t> headless_main_screen(int32_t& width, int32_t& height)
{
    std::vector<uint16_t> frame;
    {
        app::Program program(u"");
        auto& application = program.application();
        auto& display = headless(application);
        pump(application, 5000, [&] {
            return program.starter().main_form() && application.form_stack().top() == program.starter().main_form()
                && !application.form_stack().needs_redraw() && !application.frames_running();
        });
        width = display.frame_width();
        height = display.frame_height();
        frame = display.frame();
    }
    // The program's last messages (its quit among them) must not reach the next test's program.
    testing_support::drain_messages();
    std::vector<uint8_t> rgb;
    for (uint16_t pixel : frame) {
        uint8_t const r = pixel >> 11, g = (pixel >> 5) & 0x3F, b = pixel & 0x1F;
        rgb.push_back(static_cast<uint8_t>(r << 3 | r >> 2));
        rgb.push_back(static_cast<uint8_t>(g << 2 | g >> 4));
        rgb.push_back(static_cast<uint8_t>(b << 3 | b >> 2));
    }
    return rgb;
}

} // namespace

// The window shows frames we drew through its own surface: no OpenGL driver is loaded for them, and the
// window holds the very picture the headless display gets. The pointer's presses, moves and lifts reach
// the program, and so do the keys xdotool types into the focused window (a WAV file is the microphone).
// The focus ring's screenshot stays beside the test program (app/keyboard-focus-ring.png).
TEST(WindowTest, TheMainScreenIsShownWithoutLoadingOpenGLAndThePointerAndTheKeysReachIt)
{
    if (run("command -v Xvfb && command -v xdotool && command -v ffmpeg").exit_code != 0)
        GTEST_SKIP() << "Xvfb, xdotool and ffmpeg are needed (packages.txt)";
    use_test_data();
    std::filesystem::remove_all(testing_support::test_home() + "/Documents");
    int32_t width = 0, height = 0;
    auto const expected = headless_main_screen(width, height);
    WindowedRavelin app;
    ASSERT_FALSE(app.window.empty()) << app.program.trace();
    auto const& program = app.program;
    auto const& screen = app.screen;
    std::string const& window = app.window;
    EXPECT_EQ(gl_libraries(program.pid), "");

    auto const geometry = run("DISPLAY=" + screen.display() + " xdotool getwindowgeometry --shell " + window).output;
    auto number = [&](std::string const& key) {
        size_t const at = geometry.find(key + "=");
        return at == std::string::npos ? -1 : std::atoi(geometry.c_str() + at + key.size() + 1);
    };
    ASSERT_EQ(width, number("WIDTH"));
    ASSERT_EQ(height, number("HEIGHT"));
    int32_t const left = number("X"), top = number("Y");
    std::string const shot = testing_support::fresh_dir("window") + "/window.png";
    // The main screen may still be settling when it is first traced: the window is looked at until it
    // holds the settled picture.
    int differing = -1;
    EXPECT_TRUE(wait_until([&] {
        run("ffmpeg -loglevel error -y -f x11grab -draw_mouse 0 -video_size 640x800 -i " + screen.display()
            + " -frames:v 1 " + shot);
        platform::PngPicture picture;
        std::string error;
        if (!platform::read_png(shot, 3, picture, error) || left < 0 || top < 0 || left + width > picture.width
            || top + height > picture.height)
            return false;
        differing = 0;
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                for (int c = 0; c < 3; ++c) {
                    int const want = expected[(static_cast<size_t>(y) * width + x) * 3 + c];
                    int const got = picture.pixels[(static_cast<size_t>(top + y) * picture.width + left + x) * 3 + c];
                    differing += std::abs(want - got) > 8;
                }
        return differing == 0;
    })) << differing
        << " of " << width * height * 3 << " channel values differ; " << geometry;

    // The pointer's presses, moves and lifts reach the program: the settings page, longer than the window,
    // is pushed up by a drag until its last row rests inside it, and that row is tapped.
    lang::Dictionary english;
    ASSERT_TRUE(english.load(core::from_utf8(app_data() + "/english.lng")));
    auto text = [&](char16_t const* key) { return core::to_utf8(english.translate(key)); };
    auto tap = [&](std::string const& id, std::string const& shown = {}) {
        std::optional<TraceRect> r;
        ASSERT_TRUE(wait_until([&] { return (r = find_in_trace(program.trace(), id, shown)).has_value(); }))
            << id << shown << " in\n"
            << program.trace();
        ASSERT_TRUE(screen.click(window, *r));
    };
    tap("btnMenu");
    tap("", text(u"Settings"));
    ASSERT_TRUE(wait_until([&] { return find_in_trace(program.trace(), "", text(u"Speaker")).has_value(); }));
    ASSERT_TRUE(screen.drag(window, width / 2, height * 7 / 8, height * 5 / 16));
    ASSERT_TRUE(settled(program, "", text(u"Cancel"), height)) << program.trace();
    tap("", text(u"Cancel"));
    ASSERT_TRUE(wait_until([&] { return shows(program, "FormMain"); })) << program.trace();

    std::string const display = "DISPLAY=" + screen.display();
    ASSERT_EQ(run(display + " xdotool windowfocus --sync " + window).exit_code, 0);
    auto text_of = [&](std::string const& id) {
        auto const found = find_in_trace(program.trace(), id);
        return found ? found->text : std::string("(none)");
    };
    // Keys only: xdotool types into the window that has the focus; no pointer event is made. Then the
    // wait for what they bring.
    auto keys = [&](std::string const& names, auto done) {
        return run(display + " xdotool key --delay 40 " + names).exit_code == 0 && wait_until(done);
    };
    auto on = [&](std::string const& form) { return [&program, form] { return shows(program, form); }; };
    auto has = [&](std::string const& text) {
        return [&program, text] { return program.trace().find(text) != std::string::npos; };
    };
    // The rows of the list on screen, each traced with its strong line.
    auto rows = [&] {
        std::istringstream lines(program.trace());
        size_t count = 0;
        for (std::string line; std::getline(lines, line);)
            count += line.starts_with("artist ") ? 1 : 0;
        return count;
    };

    // Keys alone from here on. Record a note of three seconds and stop it with the same chord.
    ASSERT_TRUE(keys("ctrl+r", [&] { return shows(program, "FormRecording") && text_of("frmElapsed") >= "0:00:03"; }))
        << program.trace();
    ASSERT_TRUE(keys("ctrl+r", [&] { return shows(program, "FormMain") && rows() == 1; })) << program.trace();

    // Tab shows the ring on the first button; the picture is kept.
    ASSERT_TRUE(keys("Tab", [&] { return text_of("focus") != "(none)"; })) << program.trace();
    app.keep_picture("keyboard-focus-ring");
    ASSERT_TRUE(keys("shift+Tab", [] { return true; }));

    // Down selects the newest, Enter opens and plays it; Space pauses and plays again.
    ASSERT_TRUE(keys("Down Return", [&] { return shows(program, "FormView") && text_of("btnPause") != "(none)"; }))
        << program.trace();
    ASSERT_TRUE(keys("space", [&] { return text_of("btnPlay") != "(none)" && text_of("btnPause") == "(none)"; }))
        << program.trace();
    ASSERT_TRUE(keys("space", [&] { return text_of("btnPause") != "(none)"; })) << program.trace();

    // Rename: the editor comes up with the name, typed letters go to its end, Enter takes it.
    ASSERT_TRUE(keys("ctrl+e", on("FormEdit"))) << program.trace();
    ASSERT_TRUE(keys("M e m o Return", [&] { return shows(program, "FormView") && has("Memo\n")(); }))
        << program.trace();

    // Delete, from the playback screen, asks first; Escape keeps the note, Enter deletes it.
    for (auto const& [names, form] : std::initializer_list<std::pair<char const*, char const*>> {
             { "Delete", "FormConfirmation" }, { "Escape", "FormView" }, { "Delete", "FormConfirmation" } })
        ASSERT_TRUE(keys(names, on(form))) << names << program.trace();
    ASSERT_TRUE(keys("Return", [&] { return shows(program, "FormMain") && rows() == 0; })) << program.trace();

    // F10 opens the menu, Escape closes it.
    ASSERT_TRUE(keys("F10", on("Menu"))) << program.trace();
    ASSERT_TRUE(keys("Escape", on("FormMain"))) << program.trace();

    // Ctrl+? lists the keys; Escape puts the list away.
    ASSERT_TRUE(keys("ctrl+shift+slash", [&] { return shows(program, "Menu") && has("\tCtrl+R: ")(); }))
        << program.trace();
    ASSERT_TRUE(keys("Escape", on("FormMain"))) << program.trace();

    EXPECT_TRUE(stop(program));
}
