// The program on a real sound server (PipeWire and its PulseAudio side, through SDL), in a real window:
// the microphone chosen on the Microphone page, then a note recorded with the record button.
#include "XvfbSupport.h"

#include <SoundServer.h>
#include <document/Settings.h>
#include <lang/Dictionary.h>
#include <os/Registry.h>

using namespace app_test;
using testing_support::run;
using testing_support::SoundServer;

TEST(SoundServerEndToEndTest, TheMonitorChosenOnTheMicrophonePageIsRecordedByTheRecordButton)
{
    if (run("command -v Xvfb && command -v xdotool").exit_code != 0)
        GTEST_SKIP() << "Xvfb and xdotool are needed (packages.txt)";
    if (auto const missing = SoundServer::missing(); !missing.empty())
        GTEST_SKIP() << missing;
    use_test_data();
    SoundServer server;
    ASSERT_TRUE(server.problem().empty()) << server.problem();
    server.play_tone(testing_support::fresh_dir("e2e-sound"));
    XvfbScreen screen;
    ASSERT_FALSE(screen.display().empty());
    std::string const runtime = testing_support::fresh_dir("runtime");
    // An empty RAVELIN_AUDIO_IN: the server's devices, and the one the page stores. No speaker, so no start
    // beep comes before the capture: the recording lasts from tap to tap.
    auto program = start_ravelin(runtime, "",
        "DISPLAY=" + screen.display()
            + " RAVELIN_DISPLAY=sdl SDL_VIDEODRIVER=x11 RAVELIN_AUDIO_IN= RAVELIN_AUDIO_OUT=none "
            + server.environment());
    ASSERT_TRUE(wait_until([&] { return shows(program, "FormMain"); })) << program.trace();
    std::string const window = screen.window("Ravelin");
    lang::Dictionary english;
    ASSERT_TRUE(english.load(core::from_utf8(app_data() + "/english.lng")));
    auto tap = [&](std::string const& id, std::string const& shown = {}) {
        auto const r = settled(program, id, shown, 640);
        ASSERT_TRUE(r) << id << shown << " in\n" << program.trace();
        ASSERT_TRUE(screen.click(window, *r));
    };
    auto text = [&](char16_t const* key) { return core::to_utf8(english.translate(key)); };

    tap("btnMenu");
    tap("", text(u"Settings"));
    // The page is longer than the window: its last rows come up when the list is pushed up.
    ASSERT_TRUE(wait_until([&] { return find_in_trace(program.trace(), "", text(u"Boost")).has_value(); }));
    ASSERT_TRUE(screen.drag(window, 240, 560, 200));
    tap("", text(u"Microphone"));
    tap("", SoundServer::MONITOR);
    core::String stored;
    ASSERT_TRUE(wait_until([&] {
        return os::reg_get_string(document::PRODUCT_KEY, u"InputDevice", stored)
            && stored == core::from_utf8(SoundServer::MONITOR);
    })) << core::to_utf8(stored);
    // The choice leads back to the settings; Escape leaves them for the menu, and the menu for the main screen.
    auto escape = [&] { run("DISPLAY=" + screen.display() + " xdotool key --window " + window + " Escape"); };
    escape();
    ASSERT_TRUE(wait_until([&] { return find_in_trace(program.trace(), "Exit").has_value(); })) << program.trace();
    escape();
    ASSERT_TRUE(wait_until([&] { return shows(program, "FormMain"); })) << program.trace();

    // The recording lasts from one tap to the other.
    auto const record = settled(program, "btnRecord", {}, 640);
    ASSERT_TRUE(record) << program.trace();
    auto const start = std::chrono::steady_clock::now();
    ASSERT_TRUE(screen.click(window, *record));
    ASSERT_TRUE(wait_until([&] { return shows(program, "FormRecording"); })) << program.trace();
    auto const close = settled(program, "btnClose", {}, 640);
    ASSERT_TRUE(close) << program.trace();
    std::this_thread::sleep_until(start + std::chrono::seconds(3));
    ASSERT_TRUE(screen.click(window, *close));
    ASSERT_TRUE(wait_until([&] { return shows(program, "FormMain"); })) << program.trace();
    EXPECT_TRUE(stop(program));

    auto const sound = testing_support::sound_of(newest_recording(runtime, program.dir).first);
    EXPECT_NEAR(sound.length, 3.0, 0.1);
    EXPECT_NEAR(sound.first_hz, 1000, 10);
    EXPECT_NEAR(sound.second_hz, 1000, 10);
}
