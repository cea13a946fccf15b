#include "XvfbSupport.h"

#include <document/Settings.h>
#include <gtest/gtest.h>
#include <lang/Dictionary.h>
#include <os/Registry.h>

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

// In a real window: the format chosen through the menu, a note recorded in it, then its row tapped and
// played to the end through a WAV file as the speaker. Screenshots stay beside the test (e2e-view-*.png).
TEST(PlaybackEndToEndTest, AFormatIsChosenANoteRecordedAndPlayedToTheEnd)
{
    if (run("command -v Xvfb && command -v xdotool && command -v ffprobe").exit_code != 0)
        GTEST_SKIP() << "Xvfb, xdotool and ffprobe are needed (packages.txt)";
    use_test_data();
    XvfbScreen screen;
    ASSERT_FALSE(screen.display().empty());
    std::string const dir = testing_support::fresh_dir("e2e-view");
    ASSERT_EQ(run("sox -n -r 16000 -c 1 -b 16 " + dir + "/speech.wav synth 30 sine 300 vol 0.5").exit_code, 0);
    std::string const speaker = dir + "/speaker.wav";
    std::string const runtime = testing_support::fresh_dir("runtime");
    auto program = start_ravelin(runtime, "",
        "DISPLAY=" + screen.display() + " RAVELIN_DISPLAY=sdl SDL_VIDEODRIVER=x11 RAVELIN_AUDIO_IN=file:" + dir
            + "/speech.wav RAVELIN_AUDIO_OUT=file:" + speaker);
    ASSERT_TRUE(wait_until([&] { return shows(program, "FormMain"); })) << program.trace();
    std::string const window = screen.window("Ravelin");
    ASSERT_FALSE(window.empty());
    lang::Dictionary english;
    ASSERT_TRUE(english.load(core::from_utf8(app_data() + "/english.lng")));
    auto text = [&](char16_t const* key) { return core::to_utf8(english.translate(key)); };
    // Taps the element `id`, or the one that shows `shown`, once the settled screen has it.
    auto tap = [&](std::string const& id, std::string const& shown = {}) {
        std::optional<TraceRect> r;
        ASSERT_TRUE(wait_until([&] { return (r = find_in_trace(program.trace(), id, shown)).has_value(); }))
            << id << shown << " in\n"
            << program.trace();
        ASSERT_TRUE(screen.click(window, *r));
    };
    std::string const shots = std::string(RAVELIN_TEST_DATA_DIR) + "/app";
    std::filesystem::create_directories(shots);

    // Settings, Format, the low format: stored at once, and the page shows the choice.
    tap("btnMenu");
    ASSERT_TRUE(wait_until([&] { return shows(program, "Menu"); })) << program.trace();
    tap("", text(u"Settings"));
    tap("", text(u"Mp3Middle"));
    tap("", text(u"Mp3Low"));
    ASSERT_TRUE(wait_until([&] {
        return find_in_trace(program.trace(), "", text(u"Mp3Low")).has_value()
            && find_in_trace(program.trace(), "", text(u"Speaker")).has_value();
    })) << program.trace();
    screen.screenshot(shots + "/e2e-view-settings.png");
    core::String format;
    EXPECT_TRUE(os::reg_get_string(document::PRODUCT_KEY, u"Format", format));
    EXPECT_EQ(format, u"Mp3Low");
    // The page is longer than the window: its last row comes up when the list is pushed up.
    ASSERT_TRUE(screen.drag(window, 240, 560, 200));
    ASSERT_TRUE(wait_until([&] {
        auto const cancel = find_in_trace(program.trace(), "", text(u"Cancel"));
        return cancel && cancel->y + cancel->height <= 640;
    })) << program.trace();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    tap("", text(u"Cancel"));
    ASSERT_TRUE(wait_until([&] { return shows(program, "FormMain"); })) << program.trace();

    tap("btnRecord");
    ASSERT_TRUE(wait_until([&] { return shows(program, "FormRecording"); })) << program.trace();
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    tap("btnClose");
    ASSERT_TRUE(wait_until([&] { return shows(program, "FormMain"); })) << program.trace();
    auto const [path, seconds] = newest_recording(runtime, program.dir);
    ASSERT_GT(seconds, 2.5) << path;
    auto const info = run(testing_support::bin_dir() + "/ravelin-cli info '" + path + "'");
    EXPECT_NE(info.output.find("rate=22050\n"), std::string::npos) << info.output;

    // The new recording is the first row: tapped, it plays to its end and the play button comes back.
    double const before = wav_seconds(speaker);
    tap("Record");
    ASSERT_TRUE(wait_until([&] { return shows(program, "FormView"); })) << program.trace();
    EXPECT_TRUE(find_in_trace(program.trace(), "btnPause").has_value()) << program.trace();
    screen.screenshot(shots + "/e2e-view-playing.png");
    ASSERT_TRUE(wait_until([&] { return find_in_trace(program.trace(), "btnPlay").has_value(); }, 15000))
        << program.trace();
    EXPECT_FALSE(find_in_trace(program.trace(), "btnPause").has_value());
    screen.screenshot(shots + "/e2e-view-ended.png");
    EXPECT_NEAR(wav_seconds(speaker) - before, seconds, 0.6) << "the whole recording reached the speaker";
    tap("btnClose");
    ASSERT_TRUE(wait_until([&] { return shows(program, "FormMain"); })) << program.trace();
    EXPECT_TRUE(stop(program));
}
