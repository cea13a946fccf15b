#include "../app/AppTestSupport.h"
#include <SessionBuses.h>

#include <app/Program.h>
#include <app/Starter.h>
#include <document/Document.h>
#include <os/Registry.h>
#include <platform/wave/wave.h>

using namespace app_test;
using namespace session_test;

namespace {
constexpr char NOTIFICATIONS[] = "org.freedesktop.Notifications";
constexpr char SLEEP_RECORDING[] = "('sleep', 'Ravelin', 'Recording', 'block'";

// The program on private buses with logind's and the notification server's stand-ins.
class SessionEndToEndTest : public ::testing::Test {
protected:
    SessionBuses buses;
    std::string const microphone = testing_support::wav_file(testing_support::tone(30, 16000), 16000);
    void SetUp() override
    {
        std::string why;
        if (!buses.start(why))
            GTEST_SKIP() << why;
        ASSERT_TRUE(buses.mock("--system", "org.freedesktop.login1", "--template logind"));
        ASSERT_TRUE(buses.mock("--session", NOTIFICATIONS, "--template notification_daemon"));
        use_test_data();
        os::reg_set_dword(u"HKEY_CURRENT_USER\\Software\\Korvex", u"Log", 1);
    }
    bool none_held() { return !buses.held("Ravelin"); }
    std::string notified(std::string const& method) { return buses.calls(NOTIFICATIONS, method); }
    bool closed(int id) { return count(notified("CloseNotification"), "[<" + std::to_string(id) + ">]") == 1; }
    void invoke(int id, std::string const& action)
    {
        std::string const signal = "org.freedesktop.DBus.Mock.EmitSignal " + std::string(NOTIFICATIONS)
            + " ActionInvoked us \"[<uint32 " + std::to_string(id) + ">, <'" + action + "'>]\"";
        EXPECT_EQ(buses.call(NOTIFICATIONS, signal).exit_code, 0);
    }
};
} // namespace

// What the Document holds at each step (paused, failed, playing) is its own tests'; here the program on the
// buses: nothing asked while idle, sleep held while it records, the notification of a recording out of
// sight, and what a playback holds.
TEST_F(SessionEndToEndTest, ARecordingOutOfSightHoldsOffSleepAndIsNotifiedAndStoppedOrOpenedFromTheNotification)
{
    platform::select_wave_input("file:" + microphone);
    platform::select_wave_output("file:" + testing_support::fresh_dir("speaker") + "/out.wav");
    // A folder of cards: the address books' GLib would end this program when the private bus goes.
    setenv("RAVELIN_CONTACTS", testing_support::fresh_dir("contacts").c_str(), 1);
    app::Program program(u"");
    auto& application = program.application();
    auto& document = program.document();
    ASSERT_TRUE(pump(application, 3000, [&] { return program.starter().main_form() != nullptr; }));
    // Idle on the main screen: nothing held, no bus asked (logind's stand-in and this call are all it has).
    std::string const names = buses.call("org.freedesktop.DBus", "org.freedesktop.DBus.ListNames", "--system").output;
    EXPECT_TRUE(none_held() && count(names, "':1.") == 2) << names;
    auto const notifications = [&] { return count(notified("Notify"), "<'Ravelin'>"); };
    application.minimize();
    document.on_command(u"record");
    std::string const path = core::to_utf8(document.current().path);
    ASSERT_TRUE(pump(application, 5000, [&] { return notifications() == 1 && buses.held(SLEEP_RECORDING); }))
        << buses.inhibitors();
    // Named after the recording, with the two actions, and staying until it is closed.
    EXPECT_NE(notified("Notify").find("<'Ravelin'>, <uint32 0>, <'ravelin'>, <'Recording'>, <'"
                  + core::to_utf8(document.current().title)
                  + "'>, <['stop', 'Stop', 'open', 'Open']>, <{'desktop-entry': <'ravelin'>}>, <0>]"),
        std::string::npos)
        << notified("Notify");
    invoke(1, "stop");
    ASSERT_TRUE(pump(application, 5000, [&] { return !document.is_recording(); }));
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_TRUE(pump(application, 5000, [&] { return closed(1) && none_held(); })) << buses.inhibitors();
    // "Open" brings the window back, and the notification goes while the recording runs on.
    document.on_command(u"record");
    ASSERT_TRUE(pump(application, 5000, [&] { return notifications() == 2; }));
    invoke(2, "open");
    EXPECT_TRUE(pump(application, 5000, [&] { return application.is_active() && closed(2); }));
    EXPECT_TRUE(document.is_recording());
    document.stop();
    application.minimize();
    // A playback out of sight holds off the system's sleep but not the screen's; it is never notified.
    ASSERT_TRUE(document.play(core::from_utf8(microphone), 0));
    EXPECT_TRUE(pump(application, 5000, [&] {
        return buses.held("('sleep', 'Ravelin', 'Playing', 'block'") && !buses.held("'idle'");
    })) << buses.inhibitors();
    document.stop();
    EXPECT_TRUE(pump(application, 5000, [&] { return none_held(); })) << buses.inhibitors();
    EXPECT_EQ(notifications(), 2u);
}
