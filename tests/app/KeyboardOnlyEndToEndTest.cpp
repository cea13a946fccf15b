#include "XvfbSupport.h"

using namespace app_test;
using testing_support::run;

namespace {

// The rows of the list on screen: the strong line of each.
std::vector<std::string> row_names(std::string const& trace)
{
    std::vector<std::string> found;
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with("artist "))
            found.push_back(line.find('\t') == std::string::npos ? "" : line.substr(line.find('\t') + 1));
    return found;
}

} // namespace

// A day with the recorder and no mouse, in the real window (SDL's X11 driver under Xvfb, a WAV file as
// microphone): every step is a key that xdotool types into the focused window, and each waits on the
// screen the trace shows. The focus ring's screenshot stays beside the test program
// (app/keyboard-focus-ring.png).
TEST(KeyboardOnlyEndToEndTest, RecordOpenPlayRenameDeleteAndTheMenusWithKeysAlone)
{
    if (run("command -v Xvfb && command -v xdotool").exit_code != 0)
        GTEST_SKIP() << "Xvfb and xdotool are needed (packages.txt)";
    WindowedRavelin app;
    ASSERT_FALSE(app.window.empty()) << app.program.trace();
    auto const& program = app.program;
    std::string const display = "DISPLAY=" + app.screen.display();
    ASSERT_EQ(run(display + " xdotool windowfocus --sync " + app.window).exit_code, 0);
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

    // Record a note of three seconds and stop it with the same chord.
    ASSERT_TRUE(keys("ctrl+r", [&] { return shows(program, "FormRecording") && text_of("frmElapsed") >= "0:00:03"; }))
        << program.trace();
    ASSERT_TRUE(keys("ctrl+r", [&] { return shows(program, "FormMain") && row_names(program.trace()).size() == 1; }))
        << program.trace();

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
    ASSERT_TRUE(keys("Return", [&] { return shows(program, "FormMain") && row_names(program.trace()).empty(); }))
        << program.trace();

    // F10 opens the menu, Escape closes it.
    ASSERT_TRUE(keys("F10", on("Menu"))) << program.trace();
    ASSERT_TRUE(keys("Escape", on("FormMain"))) << program.trace();

    // Ctrl+? lists the keys; Escape puts the list away.
    ASSERT_TRUE(keys("ctrl+shift+slash", [&] { return shows(program, "Menu") && has("\tCtrl+R: ")(); }))
        << program.trace();
    ASSERT_TRUE(keys("Escape", on("FormMain"))) << program.trace();

    EXPECT_TRUE(stop(program));
}
