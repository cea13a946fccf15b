#include <TestSupport.h>
#include <os/Registry.h>
#include <phone/CallMonitorImpl.h>
#include <platform/phone/phone_simulator.h>
#include <platform/ticks.h>

using namespace phone;
using testing_support::LogCapture;

namespace {

// The call monitor on the simulator's phone, counting the starts and stops it tells.
class CallStateChangesTest : public ::testing::Test, public CallListener {
protected:
    core::CActiveScheduler scheduler { u"CallStateChangesTestClass" };
    platform::PhoneSimulator phone;
    std::string problem;
    int starts = 0, stops = 0;

    void SetUp() override { phone.hangup(problem); }
    void TearDown() override { phone.hangup(problem); }
    void on_call_start(core::StringView, core::StringView, CallKind) override { ++starts; }
    void on_call_stop() override { ++stops; }
};

} // namespace

// The state is read when the store changes, not over and over: a talking call that nothing changes is
// looked at once (each look logs the line's answer).
TEST_F(CallStateChangesTest, ATalkingCallIsReadOncePerChange)
{
    CallMonitorImpl monitor(this);
    phone.ring(u"555 0100", u"Ann Lee", problem);
    phone.answer(problem);
    ASSERT_TRUE(testing_support::run_messages_for([&] { return starts == 1; }, 3));
    // The simulator's writes may still be told for a moment; then the state rests, and so does the monitor.
    LogCapture log;
    bool rested = false;
    for (int window = 0; window < 4 && !rested; ++window) {
        log.clear();
        testing_support::run_messages_for([] { return false; }, 0.5);
        rested = !log.contains("TAPI ret=");
    }
    EXPECT_TRUE(rested) << "read without a change";

    // Any change of the store is a reason to look again; the call goes on.
    os::reg_set_dword(u"HKEY_CURRENT_USER\\Software\\CallStateChangesTest", u"Other", platform::tick_count());
    EXPECT_TRUE(testing_support::run_messages_for([&] { return log.contains("TAPI ret="); }, 3));
    phone.hangup(problem);
    EXPECT_TRUE(testing_support::run_messages_for([&] { return stops == 1; }, 3));
    EXPECT_EQ(starts, 1);
}
