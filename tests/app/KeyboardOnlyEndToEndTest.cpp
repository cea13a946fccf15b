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

size_t count_lines(std::string const& trace, std::string const& start)
{
    size_t count = 0;
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);)
        count += line.starts_with(start) ? 1 : 0;
    return count;
}

} // namespace

// A day with the recorder and no mouse, in the real window (SDL's X11 driver under Xvfb, a WAV file as
// microphone): every step is a key that xdotool types into the focused window, and each waits on the
// screen the trace shows. The focus ring's screenshot stays beside the test program
// (app/keyboard-focus-ring.png).
TEST(KeyboardOnlyEndToEndTest, RecordOpenPlayRenameDeleteAndSettingsWithKeysAlone)
{
    if (run("command -v Xvfb && command -v xdotool").exit_code != 0)
        GTEST_SKIP() << "Xvfb and xdotool are needed (packages.txt)";
    use_test_data();
    std::filesystem::remove_all(testing_support::test_home() + "/Documents");
    XvfbScreen screen;
    ASSERT_FALSE(screen.display().empty());
    std::string const runtime = testing_support::fresh_dir("runtime");
    auto program = start_ravelin(runtime, "",
        "DISPLAY=" + screen.display() + " RAVELIN_DISPLAY=sdl SDL_VIDEODRIVER=x11 RAVELIN_AUDIO_IN=file:"
            + testing_support::wav_file(testing_support::tone(60, 16000), 16000));
    ASSERT_TRUE(wait_until([&] { return shows(program, "FormMain"); })) << program.trace();
    std::string const window = screen.window("Ravelin");
    ASSERT_FALSE(window.empty());
    ASSERT_EQ(run("DISPLAY=" + screen.display() + " xdotool windowfocus --sync " + window).exit_code, 0);
    // Keys only: xdotool types into the window that has the focus; no pointer event is made.
    auto keys = [&](std::string const& names) {
        ASSERT_EQ(run("DISPLAY=" + screen.display() + " xdotool key --delay 40 " + names).exit_code, 0) << names;
    };
    auto text_of = [&](std::string const& id) {
        auto const found = find_in_trace(program.trace(), id);
        return found ? found->text : std::string("(none)");
    };
    auto until = [&](auto done) { return wait_until(done); };

    // Record a note of three seconds and stop it with the same chord.
    keys("ctrl+r");
    ASSERT_TRUE(until([&] { return shows(program, "FormRecording") && text_of("frmElapsed") >= "0:00:03"; }))
        << program.trace();
    keys("ctrl+r");
    ASSERT_TRUE(until([&] { return shows(program, "FormMain") && row_names(program.trace()).size() == 1; }))
        << program.trace();

    // Tab shows the ring on the first button; the picture is kept.
    keys("Tab");
    ASSERT_TRUE(until([&] { return text_of("focus") != "(none)"; })) << program.trace();
    std::filesystem::create_directories(std::string(RAVELIN_TEST_DATA_DIR) + "/app");
    run("ffmpeg -loglevel error -y -f x11grab -video_size 640x800 -i " + screen.display() + " -frames:v 1 "
        + RAVELIN_TEST_DATA_DIR + "/app/keyboard-focus-ring.png");
    keys("shift+Tab");

    // Down selects the newest, Enter opens and plays it; Space pauses and plays again.
    keys("Down Return");
    ASSERT_TRUE(until([&] { return shows(program, "FormView") && text_of("btnPause") != "(none)"; }))
        << program.trace();
    keys("space");
    ASSERT_TRUE(until([&] { return text_of("btnPlay") != "(none)" && text_of("btnPause") == "(none)"; }))
        << program.trace();
    keys("space");
    ASSERT_TRUE(until([&] { return text_of("btnPause") != "(none)"; })) << program.trace();

    // Rename: the editor comes up with the name, typed letters go to its end, Enter takes it.
    keys("ctrl+e");
    ASSERT_TRUE(until([&] { return shows(program, "FormEdit"); })) << program.trace();
    keys("M e m o Return");
    ASSERT_TRUE(until([&] {
        return shows(program, "FormView") && program.trace().find("Memo\n") != std::string::npos;
    })) << program.trace();
    // Escape goes back to the list, which shows the new name.
    keys("Escape");
    ASSERT_TRUE(until([&] {
        auto const rows = row_names(program.trace());
        return shows(program, "FormMain") && rows.size() == 1 && rows[0].ends_with("Memo");
    })) << program.trace();

    // Delete, from the playback screen, asks first; Escape keeps the note, Enter deletes it.
    keys("Return");
    ASSERT_TRUE(until([&] { return shows(program, "FormView"); })) << program.trace();
    keys("Delete");
    ASSERT_TRUE(until([&] { return shows(program, "FormConfirmation"); })) << program.trace();
    keys("Escape");
    ASSERT_TRUE(until([&] { return shows(program, "FormView"); })) << program.trace();
    keys("Delete");
    ASSERT_TRUE(until([&] { return shows(program, "FormConfirmation"); })) << program.trace();
    keys("Return");
    ASSERT_TRUE(until([&] { return shows(program, "FormMain") && row_names(program.trace()).empty(); }))
        << program.trace();

    // F10 opens the menu; the arrows and Enter reach the settings and switch the speaker.
    keys("F10");
    ASSERT_TRUE(until([&] { return shows(program, "Menu"); })) << program.trace();
    keys("Down Down Return");
    ASSERT_TRUE(until([&] { return program.trace().find("\tSpeaker") != std::string::npos; })) << program.trace();
    size_t const checked = count_lines(program.trace(), "checked ");
    keys("Down Down Return");
    ASSERT_TRUE(until([&] { return count_lines(program.trace(), "checked ") != checked; })) << program.trace();
    // Escape goes back a page, then out of the menu.
    keys("Escape");
    ASSERT_TRUE(until([&] { return program.trace().find("\tFiles\n") != std::string::npos; })) << program.trace();
    keys("Escape");
    ASSERT_TRUE(until([&] { return shows(program, "FormMain"); })) << program.trace();

    // Ctrl+? lists the keys; Escape puts the list away.
    keys("ctrl+shift+slash");
    ASSERT_TRUE(until([&] {
        return shows(program, "Menu") && program.trace().find("\tCtrl+R: ") != std::string::npos;
    })) << program.trace();
    keys("Escape");
    ASSERT_TRUE(until([&] { return shows(program, "FormMain"); })) << program.trace();

    EXPECT_TRUE(stop(program));
}
