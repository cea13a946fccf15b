#include "SessionBuses.h"

#include <algorithm>

#include <gtest/gtest.h>
#include <mutex>
#include <platform/services/power_inhibitor.h>

using namespace session_test;
using platform::PowerInhibitor;
using platform::Wakefulness;
using Reason = Wakefulness::Reason;

namespace {

constexpr char SESSION_MANAGER[] = "org.gnome.SessionManager";
constexpr char SESSION_MANAGER_PATH[] = "/org/gnome/SessionManager";
constexpr char SCREEN_SAVER[] = "org.freedesktop.ScreenSaver";
constexpr char SCREEN_SAVER_PATH[] = "/org/freedesktop/ScreenSaver";

// The inhibitor works on a thread of its own: the bus is asked until it tells the outcome.
template <typename Done> bool wait_for(Done done)
{
    return testing_support::wait_until(done, 5000);
}

class PowerInhibitorTest : public ::testing::Test {
protected:
    SessionBuses buses;
    std::mutex mutex;
    std::vector<std::string> lines;

    void SetUp() override
    {
        std::string why;
        if (!buses.start(why))
            GTEST_SKIP() << why;
    }
    PowerInhibitor::Tell tell()
    {
        return [this](std::string const& line) {
            std::lock_guard lock(mutex);
            lines.push_back(line);
        };
    }
    size_t lines_with(std::string const& piece)
    {
        std::lock_guard lock(mutex);
        return static_cast<size_t>(std::count_if(
            lines.begin(), lines.end(), [&](auto const& l) { return l.find(piece) != std::string::npos; }));
    }
    // A bare stand-in whose Inhibit answers `cookie` and whose `uninhibit` takes it back.
    void cookie_service(char const* name, char const* path, char const* in, char const* uninhibit, int cookie)
    {
        ASSERT_TRUE(buses.mock("--session", name, std::string(path) + " " + name, false));
        ASSERT_TRUE(buses.add_method(
            "--session", name, path, name, "Inhibit", in, "u", "ret = dbus.UInt32(" + std::to_string(cookie) + ")"));
        ASSERT_TRUE(buses.add_method("--session", name, path, name, uninhibit, "u", "", ""));
    }
};

} // namespace

TEST_F(PowerInhibitorTest, LogindHoldsSleepForWhatRunsAndIdleForAWatchedPlayback)
{
    ASSERT_TRUE(buses.mock("--system", "org.freedesktop.login1", "logind"));
    PowerInhibitor inhibitor(tell());
    struct Step {
        Wakefulness need;
        std::vector<std::string> held, not_held;
    };
    std::string const sleep_playing = "('sleep', 'Ravelin', 'Playing', 'block'",
                      idle_playing = "('idle', 'Ravelin', 'Playing', 'block'",
                      sleep_recording = "('sleep', 'Ravelin', 'Recording', 'block'";
    Step const steps[] = {
        { { Reason::PLAYING, true }, { sleep_playing, idle_playing }, { sleep_recording } },
        { { Reason::PLAYING, false }, { sleep_playing }, { idle_playing } },
        // A recording's inhibitor says so: it replaces the playback's.
        { { Reason::RECORDING, false }, { sleep_recording }, { sleep_playing, idle_playing } },
        { {}, {}, { "Ravelin" } },
    };
    for (auto const& step : steps) {
        inhibitor.hold(step.need);
        auto const holds = [&] {
            std::string const listed = inhibitors(buses);
            for (auto const& h : step.held)
                if (listed.find(h) == std::string::npos)
                    return false;
            for (auto const& h : step.not_held)
                if (listed.find(h) != std::string::npos)
                    return false;
            return true;
        };
        EXPECT_TRUE(wait_for(holds)) << static_cast<int>(step.need.reason) << step.need.screen << ": "
                                     << inhibitors(buses);
    }
}

TEST_F(PowerInhibitorTest, WithoutLogindOneLineAndTheScreenSaverKeepsTheScreenOn)
{
    cookie_service(SCREEN_SAVER, SCREEN_SAVER_PATH, "ss", "UnInhibit", 9);
    {
        PowerInhibitor inhibitor(tell());
        for (int round = 0; round < 2; ++round) {
            inhibitor.hold({ Reason::PLAYING, true });
            inhibitor.hold({});
        }
        inhibitor.hold({ Reason::RECORDING, false });
    }
    // The inhibitor's end waited for its bus work.
    EXPECT_EQ(lines_with("no logind"), 1u);
    std::string const inhibits = buses.calls("--session", SCREEN_SAVER, SCREEN_SAVER_PATH, "Inhibit");
    std::string const uninhibits = buses.calls("--session", SCREEN_SAVER, SCREEN_SAVER_PATH, "UnInhibit");
    EXPECT_NE(inhibits.find("[<'Ravelin'>, <'Playing'>]"), std::string::npos) << inhibits;
    EXPECT_EQ(std::count(inhibits.begin(), inhibits.end(), '('), 1 + 2) << inhibits;
    EXPECT_EQ(std::count(uninhibits.begin(), uninhibits.end(), '('), 1 + 2) << uninhibits;
    EXPECT_NE(uninhibits.find("[<uint32 9>]"), std::string::npos) << uninhibits;
}

TEST_F(PowerInhibitorTest, TheDesktopsSessionManagerIsAskedTooAndTheScreenSaverThenIsNot)
{
    ASSERT_TRUE(buses.mock("--system", "org.freedesktop.login1", "logind"));
    cookie_service(SESSION_MANAGER, SESSION_MANAGER_PATH, "susu", "Uninhibit", 7);
    cookie_service(SCREEN_SAVER, SCREEN_SAVER_PATH, "ss", "UnInhibit", 9);
    {
        PowerInhibitor inhibitor(tell());
        inhibitor.hold({ Reason::RECORDING, false });
        inhibitor.hold({ Reason::PLAYING, true });
        inhibitor.hold({});
    }
    std::string const inhibits = buses.calls("--session", SESSION_MANAGER, SESSION_MANAGER_PATH, "Inhibit");
    // Suspend (4) for the recording; suspend and idle (8) for the watched playback.
    auto const recording = inhibits.find("[<'ravelin'>, <uint32 0>, <'Recording'>, <uint32 4>]");
    auto const playing = inhibits.find("[<'ravelin'>, <uint32 0>, <'Playing'>, <uint32 12>]");
    EXPECT_TRUE(recording != std::string::npos && playing != std::string::npos && recording < playing) << inhibits;
    std::string const uninhibits = buses.calls("--session", SESSION_MANAGER, SESSION_MANAGER_PATH, "Uninhibit");
    EXPECT_EQ(std::count(uninhibits.begin(), uninhibits.end(), '('), 1 + 2) << uninhibits;
    EXPECT_EQ(buses.calls("--session", SCREEN_SAVER, SCREEN_SAVER_PATH, "Inhibit"), "(@a(tav) [],)\n");
    EXPECT_EQ(inhibitors(buses).find("Ravelin"), std::string::npos);
}
