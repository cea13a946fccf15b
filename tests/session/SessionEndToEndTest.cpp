#include "../app/ProcessSupport.h"
#include "SessionBuses.h"

#include <app/Program.h>
#include <app/Starter.h>
#include <document/Document.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <os/Registry.h>
#include <platform/wave/wave.h>

using namespace app_test;
using namespace session_test;
using testing_support::run;

namespace {

constexpr char NOTIFICATIONS[] = "org.freedesktop.Notifications";
constexpr char NOTIFICATIONS_PATH[] = "/org/freedesktop/Notifications";
constexpr char SLEEP_RECORDING[] = "('sleep', 'Ravelin', 'Recording', 'block'";
constexpr char SLEEP_PLAYING[] = "('sleep', 'Ravelin', 'Playing', 'block'";
constexpr char IDLE_PLAYING[] = "('idle', 'Ravelin', 'Playing', 'block'";
constexpr char NO_CALLS[] = "(@a(tav) [],)\n";

// The program and its companion on private buses with logind's and the notification server's stand-ins.
class SessionEndToEndTest : public ::testing::Test {
protected:
    SessionBuses buses;

    void SetUp() override
    {
        std::string why;
        if (!buses.start(why))
            GTEST_SKIP() << why;
        ASSERT_TRUE(buses.mock("--system", "org.freedesktop.login1", "logind"));
        ASSERT_TRUE(buses.mock("--session", NOTIFICATIONS, "notification_daemon"));
        use_test_data();
        os::reg_set_dword(u"HKEY_CURRENT_USER\\Software\\Korvex", u"Log", 1);
    }
    void TearDown() override
    {
        os::reg_set_dword(u"HKEY_CURRENT_USER\\Software\\Korvex", u"Log", 0);
        unsetenv("RAVELIN_CONTACTS");
        platform::select_wave_input("none");
        platform::select_wave_output("none");
        testing_support::drain_messages();
    }

    bool held(std::string const& inhibitor) { return inhibitors(buses).find(inhibitor) != std::string::npos; }
    bool none_held() { return inhibitors(buses).find("Ravelin") == std::string::npos; }
    std::string notify_calls() { return buses.calls("--session", NOTIFICATIONS, NOTIFICATIONS_PATH, "Notify"); }
    size_t notifications()
    {
        std::string const calls = notify_calls();
        size_t count = 0;
        for (size_t at = calls.find("<'Ravelin'>"); at != std::string::npos; at = calls.find("<'Ravelin'>", at + 1))
            ++count;
        return count;
    }
    bool closed(int id)
    {
        std::string const calls = buses.calls("--session", NOTIFICATIONS, NOTIFICATIONS_PATH, "CloseNotification");
        return calls.find("[<" + std::to_string(id) + ">]") != std::string::npos;
    }
    void invoke(int id, std::string const& action)
    {
        auto const emitted
            = buses.call("--session", NOTIFICATIONS, NOTIFICATIONS_PATH, "org.freedesktop.DBus.Mock.EmitSignal",
                std::string(NOTIFICATIONS) + " ActionInvoked us \"[<uint32 " + std::to_string(id) + ">, <'" + action
                    + "'>]\"");
        ASSERT_EQ(emitted.exit_code, 0) << emitted.error;
    }
    static std::string tone(double seconds)
    {
        std::string const path = testing_support::fresh_dir("tone") + "/tone.wav";
        EXPECT_EQ(run("sox -n -r 16000 -c 1 -b 16 " + path + " synth " + std::to_string(seconds) + " sine 300 vol 0.5")
                      .exit_code,
            0);
        return path;
    }
};

} // namespace

TEST_F(SessionEndToEndTest, TheProgramHoldsOffSleepWhileItRecordsPausedOrNotUntilAStopSignal)
{
    std::string const runtime = testing_support::fresh_dir("runtime");
    auto first = start_ravelin(runtime, "", "RAVELIN_AUDIO_IN=file:" + tone(30));
    ASSERT_TRUE(wait_until([&] { return shows(first, "FormMain"); })) << first.log();
    // Idle on the main screen, a few ticks in: nothing held, no bus asked.
    EXPECT_TRUE(none_held());
    EXPECT_EQ(first.log().find("PowerInhibitor"), std::string::npos);

    EXPECT_EQ(run_ravelin(runtime, "record"), 0);
    EXPECT_TRUE(wait_until([&] { return held(SLEEP_RECORDING); })) << inhibitors(buses) << first.log();
    EXPECT_EQ(run_ravelin(runtime, "record"), 0);
    ASSERT_TRUE(wait_until([&] {
        std::string const log = first.log();
        return log.find("on_other_instance_started:record") != log.rfind("on_other_instance_started:record");
    }));
    EXPECT_TRUE(held(SLEEP_RECORDING)) << "paused";
    // The window is in front all along: no notification.
    EXPECT_EQ(notify_calls(), NO_CALLS);

    ASSERT_TRUE(stop(first));
    EXPECT_TRUE(wait_until([&] { return none_held(); })) << inhibitors(buses);
    EXPECT_NE(first.log().find("PowerInhibitor: sleep released"), std::string::npos) << first.log();
    EXPECT_TRUE(newest_recording(runtime, first.dir).first.ends_with(".mp3"));
}

TEST_F(SessionEndToEndTest, ARecordingEndedByAnErrorLetsTheSystemSleepWhileTheProgramRuns)
{
    std::string const runtime = testing_support::fresh_dir("runtime");
    std::string const card = testing_support::fresh_dir("card");
    auto first = start_ravelin(runtime, "record", "RAVELIN_CARDS=" + card + " RAVELIN_AUDIO_IN=file:" + tone(30));
    ASSERT_TRUE(wait_until([&] { return held(SLEEP_RECORDING); })) << inhibitors(buses) << first.log();
    std::filesystem::rename(card, card + "-gone");
    EXPECT_TRUE(wait_until([&] { return first.log().find("card_problem") != std::string::npos; })) << first.log();
    EXPECT_TRUE(wait_until([&] { return none_held(); })) << inhibitors(buses);
    EXPECT_TRUE(first.running());
    EXPECT_TRUE(stop(first));
}

// In the program itself: the notification of a recording out of sight, and what a playback holds.
TEST_F(SessionEndToEndTest, ARecordingOutOfSightIsNotifiedAndStoppedOrOpenedFromTheNotification)
{
    platform::select_wave_input("file:" + tone(30));
    platform::select_wave_output("file:" + testing_support::fresh_dir("speaker") + "/out.wav");
    // A folder of cards: the address books' GLib would end this test program when the private session
    // bus goes at its end.
    setenv("RAVELIN_CONTACTS", testing_support::fresh_dir("contacts").c_str(), 1);
    app::Program program(u"");
    auto& application = program.application();
    auto& document = program.document();
    ASSERT_TRUE(pump(application, 3000, [&] { return program.starter().main_form() != nullptr; }));

    application.minimize();
    document.on_command(u"record");
    ASSERT_TRUE(document.is_recording());
    std::string const path = core::to_utf8(document.current().path);
    ASSERT_TRUE(pump(application, 5000, [&] { return notifications() == 1; }));
    std::string const shown = notify_calls();
    // Named after the recording, with the two actions, and staying until it is closed.
    EXPECT_NE(shown.find("<'Ravelin'>, <uint32 0>, <'ravelin'>, <'Recording'>, <'"
                  + core::to_utf8(document.current().title) + "'>, <['stop', 'Stop', 'open', 'Open']>"),
        std::string::npos)
        << shown;
    EXPECT_NE(shown.find("'desktop-entry': <'ravelin'>}>, <0>]"), std::string::npos) << shown;
    EXPECT_TRUE(held(SLEEP_RECORDING));

    invoke(1, "stop");
    ASSERT_TRUE(pump(application, 5000, [&] { return !document.is_recording(); }));
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_TRUE(pump(application, 5000, [&] { return closed(1); }));
    EXPECT_TRUE(pump(application, 5000, [&] { return none_held(); })) << inhibitors(buses);
    EXPECT_TRUE(headless(application).minimized());

    // "Open" brings the window back, and the notification goes while the recording runs on.
    document.on_command(u"record");
    ASSERT_TRUE(pump(application, 5000, [&] { return notifications() == 2; })) << notify_calls();
    invoke(2, "open");
    EXPECT_TRUE(pump(application, 5000, [&] { return application.is_active(); }));
    EXPECT_TRUE(pump(application, 5000, [&] { return closed(2); }));
    EXPECT_TRUE(document.is_recording());
    // Out of sight again, told again; the end of the recording takes it away.
    application.minimize();
    EXPECT_TRUE(pump(application, 5000, [&] { return notifications() == 3; })) << notify_calls();
    document.stop();
    EXPECT_TRUE(pump(application, 5000, [&] { return closed(3); }));

    // A playback in sight keeps the screen on too; out of sight only the system.
    application.bring_to_front();
    ASSERT_TRUE(pump(application, 5000, [&] { return application.is_active(); }));
    ASSERT_TRUE(document.play(core::from_utf8(tone(10)), 0));
    EXPECT_TRUE(pump(application, 5000, [&] { return held(SLEEP_PLAYING) && held(IDLE_PLAYING); }))
        << inhibitors(buses);
    application.minimize();
    EXPECT_TRUE(pump(application, 5000, [&] { return held(SLEEP_PLAYING) && !held(IDLE_PLAYING); }))
        << inhibitors(buses);
    document.stop();
    EXPECT_TRUE(pump(application, 5000, [&] { return none_held(); })) << inhibitors(buses);
    // Nothing but recordings is notified.
    EXPECT_EQ(notify_calls().find("Playing"), std::string::npos);
}
