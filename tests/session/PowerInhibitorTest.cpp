#include <SessionBuses.h>

#include <mutex>
#include <platform/services/power_inhibitor.h>

using namespace session_test;
using platform::Wakefulness;
using Reason = Wakefulness::Reason;

namespace {
constexpr char SESSION_MANAGER[] = "org.gnome.SessionManager";
constexpr char SCREEN_SAVER[] = "org.freedesktop.ScreenSaver";
class PowerInhibitorTest : public ::testing::Test {
protected:
    SessionBuses buses;
    std::mutex mutex;
    std::string lines;
    void SetUp() override
    {
        std::string why;
        if (!buses.start(why))
            GTEST_SKIP() << why;
    }
    // An inhibitor's whole life through `needs`, each held until logind lists `listed` (if any); its end
    // waits for its bus work.
    void live_through(std::vector<std::pair<Wakefulness, std::string>> const& needs)
    {
        platform::PowerInhibitor inhibitor([this](std::string const& line) {
            std::lock_guard lock(mutex);
            lines += line + "\n";
        });
        for (auto const& [need, listed] : needs) {
            inhibitor.hold(need);
            EXPECT_TRUE(listed.empty() || wait_until([&] { return buses.held(listed); })) << buses.inhibitors();
        }
    }
};
} // namespace

TEST_F(PowerInhibitorTest, LogindAndTheDesktopsSessionManagerHoldOffSleepAndTheWatchedPlaybacksIdle)
{
    ASSERT_TRUE(buses.mock("--system", "org.freedesktop.login1", "--template logind"));
    ASSERT_TRUE(buses.cookie_service(SESSION_MANAGER, "susu", "Uninhibit"));
    ASSERT_TRUE(buses.cookie_service(SCREEN_SAVER, "ss", "UnInhibit"));
    live_through({ { { Reason::RECORDING, false }, "('sleep', 'Ravelin', 'Recording', 'block'" },
        // A playback's inhibitors take the recording's place: the list starts with them.
        { { Reason::PLAYING, true },
            "([('sleep', 'Ravelin', 'Playing', 'block', uint32 1000, uint32 123456), ('idle', 'Ravelin', 'Playing'" },
        { {}, "" } });
    EXPECT_FALSE(buses.held("Ravelin")) << buses.inhibitors();
    // Suspend (4) for the recording; suspend and idle (8) for the watched playback; each given back.
    std::string const inhibits = buses.calls(SESSION_MANAGER, "Inhibit");
    EXPECT_EQ(count(inhibits, "[<'ravelin'>, <uint32 0>, <'Recording'>, <uint32 4>]"), 1u) << inhibits;
    EXPECT_EQ(count(inhibits, "[<'ravelin'>, <uint32 0>, <'Playing'>, <uint32 12>]"), 1u) << inhibits;
    EXPECT_EQ(count(buses.calls(SESSION_MANAGER, "Uninhibit"), "<uint32 9>"), 2u);
    // The screen is on through logind and the session manager: the screen saver is left alone.
    EXPECT_EQ(buses.calls(SCREEN_SAVER, "Inhibit"), "(@a(tav) [],)\n");
}

TEST_F(PowerInhibitorTest, WithoutLogindOneLineAndTheScreenSaverKeepsAWatchedPlaybacksScreenOn)
{
    ASSERT_TRUE(buses.cookie_service(SCREEN_SAVER, "ss", "UnInhibit"));
    Wakefulness const watched { Reason::PLAYING, true };
    live_through({ { watched, "" }, { {}, "" }, { watched, "" }, { { Reason::RECORDING, false }, "" } });
    EXPECT_EQ(count(lines, "no logind"), 1u) << lines;
    std::string const inhibits = buses.calls(SCREEN_SAVER, "Inhibit");
    EXPECT_EQ(count(inhibits, "[<'Ravelin'>, <'Playing'>]"), 2u) << inhibits;
    EXPECT_EQ(count(buses.calls(SCREEN_SAVER, "UnInhibit"), "[<uint32 9>]"), 2u);
}
