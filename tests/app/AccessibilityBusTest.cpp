#include "XvfbSupport.h"

#include <PrivateBus.h>

using namespace app_test;
using testing_support::run;

namespace {

// A desktop session of the test's own with its accessibility bus (Debian's at-spi2-core: the launcher,
// started by the session bus when it is first asked, and the registry), switched on as a screen reader
// switches it on.
class AccessibleSession {
public:
    AccessibleSession()
    {
        address_ = private_bus::start_bus("--session", bus_pid_, why_);
        if (address_.empty())
            return;
        auto const enabled = run("DBUS_SESSION_BUS_ADDRESS='" + address_
            + "' gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus --method "
              "org.freedesktop.DBus.Properties.Set org.a11y.Status IsEnabled '<true>'");
        if (enabled.exit_code != 0)
            why_ = "the accessibility bus cannot be switched on: " + enabled.error;
    }
    ~AccessibleSession()
    {
        // The launcher ends with the session bus and takes the accessibility bus and the registry along.
        private_bus::stop(bus_pid_);
    }
    AccessibleSession(AccessibleSession const&) = delete;
    AccessibleSession& operator=(AccessibleSession const&) = delete;

    std::string const& why() const { return why_; }
    std::string environment() const { return "DBUS_SESSION_BUS_ADDRESS='" + address_ + "' "; }

private:
    pid_t bus_pid_ = -1;
    std::string address_;
    std::string why_;
};

std::string client(std::string const& arguments)
{
    return "/usr/bin/python3 " + testing_support::source_dir() + "/tests/app/accessibility_client.py " + arguments;
}

} // namespace

// A screen reader's walk through the program in a real window: pyatspi finds the application and its
// buttons by the names of the language file, presses them, reads the running time, the rows, the volume
// and a question, sets the volume, answers the question and follows the focus as Tab moves it.
TEST(AccessibilityBusTest, AScreenReaderFindsReadsAndPressesEveryKindOfElement)
{
    if (run("command -v Xvfb && command -v xdotool && command -v gdbus && test -x /usr/libexec/at-spi-bus-launcher "
            "&& /usr/bin/python3 -c 'import pyatspi'")
            .exit_code
        != 0)
        GTEST_SKIP() << "Xvfb, xdotool, gdbus, at-spi2-core and python3-pyatspi are needed (packages.txt)";
    use_test_data();
    AccessibleSession session;
    ASSERT_EQ(session.why(), "");
    XvfbScreen screen;
    ASSERT_FALSE(screen.display().empty());
    auto program = start_ravelin(testing_support::fresh_dir("runtime"), "",
        session.environment() + "DISPLAY=" + screen.display() + " RAVELIN_CONTACTS="
            + testing_support::fresh_dir("contacts") + " RAVELIN_DISPLAY=sdl SDL_VIDEODRIVER=x11 LC_ALL=en_US.UTF-8"
            + " RAVELIN_AUDIO_IN=file:" + testing_support::wav_file(testing_support::tone(60, 16000), 16000));
    ASSERT_TRUE(wait_until([&] { return shows(program, "FormMain"); })) << program.trace();
    auto const walk
        = run("env " + session.environment() + "DISPLAY=" + screen.display() + " " + client(screen.display()));
    EXPECT_EQ(walk.exit_code, 0) << walk.output << walk.error << program.trace();
    EXPECT_TRUE(walk.output.ends_with("done\n")) << walk.output;
    EXPECT_NE(walk.output.find("dialog: Delete this recording? Its file goes to the trash."), std::string::npos)
        << walk.output;
    EXPECT_TRUE(stop(program));
}
