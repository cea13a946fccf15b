#include "XvfbSupport.h"

#include <lang/Dictionary.h>

using namespace app_test;
using testing_support::run;

namespace {

// Seconds of audio in a WAV file, by ffprobe; -1 when it cannot tell.
double wav_seconds(std::string const& path)
{
    auto const probe = run("ffprobe -v error -show_entries format=duration -of csv=p=0 " + path);
    return probe.exit_code == 0 && !probe.output.empty() ? std::atof(probe.output.c_str()) : -1;
}

} // namespace

// In a real window (SDL's X11 driver under Xvfb, xdotool's pointer, WAV files as microphone and speaker):
// a page of the menu pushed up by a drag, a note recorded by tapping, listed first, then tapped and
// played to the end. The screenshots stay beside the test program (e2e-*.png).
TEST(EndToEndTest, InARealWindowANoteIsRecordedListedAndPlayedToTheEnd)
{
    if (run("command -v Xvfb && command -v xdotool && command -v ffprobe").exit_code != 0)
        GTEST_SKIP() << "Xvfb, xdotool and ffprobe are needed (packages.txt)";
    use_test_data();
    XvfbScreen screen;
    ASSERT_FALSE(screen.display().empty());
    std::string const speaker = testing_support::fresh_dir("e2e") + "/speaker.wav";
    std::string const runtime = testing_support::fresh_dir("runtime");
    auto program = start_ravelin(runtime, "",
        "DISPLAY=" + screen.display() + " RAVELIN_DISPLAY=sdl SDL_VIDEODRIVER=x11 RAVELIN_AUDIO_IN=file:"
            + testing_support::wav_file(testing_support::tone(30, 16000), 16000)
            + " RAVELIN_AUDIO_OUT=file:" + speaker);
    ASSERT_TRUE(wait_until([&] { return shows(program, "FormMain"); })) << program.trace();
    std::string const window = screen.window("Ravelin");
    ASSERT_FALSE(window.empty());
    lang::Dictionary english;
    ASSERT_TRUE(english.load(core::from_utf8(app_data() + "/english.lng")));
    auto text = [&](char16_t const* key) { return core::to_utf8(english.translate(key)); };
    // Taps the element `id`, or the one that shows `shown`, once the screen has it.
    auto tap = [&](std::string const& id, std::string const& shown = {}) {
        std::optional<TraceRect> r;
        ASSERT_TRUE(wait_until([&] { return (r = find_in_trace(program.trace(), id, shown)).has_value(); }))
            << id << shown << " in\n"
            << program.trace();
        ASSERT_TRUE(screen.click(window, *r));
    };
    std::string const shots = std::string(RAVELIN_TEST_DATA_DIR) + "/app";
    std::filesystem::create_directories(shots);

    // The settings page is longer than the window: its last row comes up when the list is pushed up, and
    // is tapped once it has come to rest there.
    tap("btnMenu");
    tap("", text(u"Settings"));
    ASSERT_TRUE(wait_until([&] { return find_in_trace(program.trace(), "", text(u"Speaker")).has_value(); }));
    ASSERT_TRUE(screen.drag(window, 240, 560, 200));
    int still = 0, last_y = -1;
    ASSERT_TRUE(wait_until([&] {
        auto const cancel = find_in_trace(program.trace(), "", text(u"Cancel"));
        still = cancel && cancel->y == last_y ? still + 1 : 0;
        last_y = cancel ? cancel->y : -1;
        return cancel && cancel->y + cancel->height <= 640 && still >= 5;
    })) << program.trace();
    tap("", text(u"Cancel"));
    ASSERT_TRUE(wait_until([&] { return shows(program, "FormMain"); })) << program.trace();

    tap("btnRecord");
    ASSERT_TRUE(wait_until([&] {
        auto const elapsed = find_in_trace(program.trace(), "frmElapsed");
        return shows(program, "FormRecording") && elapsed && elapsed->text >= "0:00:03";
    })) << program.trace();
    screen.screenshot(shots + "/e2e-recording.png");
    tap("btnClose");
    ASSERT_TRUE(wait_until([&] { return shows(program, "FormMain"); })) << program.trace();
    auto const [path, seconds] = newest_recording(runtime, program.dir);
    EXPECT_GT(seconds, 2.5) << path;
    // Listed first: the row nearest the list's top shows its title.
    std::istringstream fields(
        run(process_environment(runtime, program.dir) + testing_support::bin_dir() + "/ravelin-cli list").output);
    std::string title;
    for (int i = 0; i < 5; ++i)
        std::getline(fields, title, '\t');
    ASSERT_TRUE(wait_until([&] { return find_in_trace(program.trace(), "", title).has_value(); })) << program.trace();
    screen.screenshot(shots + "/e2e-main.png");

    // Tapped, it plays to its end, and the play button comes back.
    double const before = wav_seconds(speaker);
    tap("Record");
    ASSERT_TRUE(wait_until([&] { return shows(program, "FormView"); })) << program.trace();
    EXPECT_TRUE(find_in_trace(program.trace(), "btnPause")) << program.trace();
    screen.screenshot(shots + "/e2e-playing.png");
    ASSERT_TRUE(wait_until([&] { return find_in_trace(program.trace(), "btnPlay").has_value(); }, 15000))
        << program.trace();
    EXPECT_FALSE(find_in_trace(program.trace(), "btnPause"));
    EXPECT_NEAR(wav_seconds(speaker) - before, seconds, 0.6) << "the whole recording reached the speaker";
    tap("btnClose");
    ASSERT_TRUE(wait_until([&] { return shows(program, "FormMain"); })) << program.trace();
    EXPECT_TRUE(stop(program));
}
