#include <TestSupport.h>
#include <atomic>
#include <core/CActiveScheduler.h>
#include <core/Timer.h>
#include <gtest/gtest.h>
#include <platform/messages.h>
#include <platform/ticks.h>
#include <string>
#include <thread>
#include <vector>

using namespace core;

namespace {

std::vector<std::string> order;

// Dispatches the thread's messages until `done` or `limit_ms` pass; answers whether `done` was reached.
template <typename Done> bool pump_until(Done done, uint32_t limit_ms = 3000)
{
    uint32_t const start = platform::tick_count();
    platform::Message m;
    for (;;) {
        while (platform::peek_message(m, 0, 0, 0, platform::Peek::REMOVE))
            platform::dispatch_message(m);
        if (done())
            return true;
        if (platform::tick_count() - start > limit_ms)
            return false;
        platform::sleep_ms(1);
    }
}

void pump_for(uint32_t ms)
{
    uint32_t const start = platform::tick_count();
    pump_until([&] { return platform::tick_count() - start >= ms; }, ms + 1000);
}

class Named final : public CActive {
public:
    explicit Named(std::string name)
        : name_(std::move(name))
    {
    }
    int runs = 0;
    int cancels = 0;
    std::thread completer; // completes a request late, from another thread

    void complete_later(int ms)
    {
        completer = std::thread([this, ms] {
            platform::sleep_ms(ms);
            notify();
        });
    }
    ~Named() override
    {
        if (completer.joinable())
            completer.join();
    }

private:
    void run() override
    {
        ++runs;
        order.push_back(name_);
    }
    void do_cancel() override
    {
        ++cancels;
        if (!completer.joinable())
            complete_later(20);
    }
    std::string name_;
};

class Listener final : public TimerListener {
public:
    explicit Listener(std::string name)
        : name(std::move(name))
    {
    }
    void on_timer(Timer&) override
    {
        order.push_back(name);
        ticks.push_back(platform::tick_count());
    }
    std::string name;
    std::vector<uint32_t> ticks;
};

class SchedulerTest : public ::testing::Test {
protected:
    void SetUp() override { order.clear(); }
    void TearDown() override { platform::set_tick_offset(0); }
    CActiveScheduler scheduler { u"VizuvevClass_Test" };
};

TEST_F(SchedulerTest, NotifiedObjectsRunInOrderWithinOneWakeUp)
{
    Named a("A"), b("B");
    a.set_active();
    b.set_active();
    EXPECT_EQ(scheduler.active_counter(), 2);
    a.notify();
    b.notify();
    EXPECT_TRUE(order.empty()) << "nothing runs before the wake-up is dispatched";
    platform::Message m;
    ASSERT_TRUE(platform::peek_message(m, 0, 0, 0, platform::Peek::REMOVE));
    platform::dispatch_message(m);
    EXPECT_EQ(order, (std::vector<std::string> { "A", "B" }));
    EXPECT_EQ(scheduler.active_counter(), 0);
    EXPECT_FALSE(a.is_active());
}

TEST_F(SchedulerTest, CompletionFromAnotherThreadRunsOnTheMainThread)
{
    Named a("A");
    a.set_active();
    a.complete_later(5);
    ASSERT_TRUE(pump_until([&] { return a.runs == 1; }));
    EXPECT_EQ(scheduler.active_counter(), 0);
}

TEST_F(SchedulerTest, ZeroAndNegativeTimersRunAtTheNextDispatchNotInsideStart)
{
    Listener zero("zero"), negative("negative");
    Timer t0(&zero), t1(&negative);
    t0.start(0);
    t1.start(-2.5);
    EXPECT_TRUE(zero.ticks.empty());
    EXPECT_TRUE(negative.ticks.empty());
    EXPECT_TRUE(t0.is_running());
    ASSERT_TRUE(pump_until([&] { return zero.ticks.size() == 1 && negative.ticks.size() == 1; }));
    EXPECT_EQ(order, (std::vector<std::string> { "zero", "negative" }));
    EXPECT_FALSE(t0.is_running());
}

TEST_F(SchedulerTest, RestartingARunningTimerFiresOnceForTheNewTime)
{
    Listener l("t");
    Timer t(&l);
    t.start(0.5);
    t.start(0.02);
    ASSERT_TRUE(pump_until([&] { return !l.ticks.empty(); }));
    pump_for(60);
    EXPECT_EQ(l.ticks.size(), 1u);
}

TEST_F(SchedulerTest, TimersDueAtTheSameCheckRunInStartOrder)
{
    Listener a("A"), b("B"), c("C");
    Timer ta(&a), tb(&b), tc(&c);
    ta.start(0.03);
    tb.start(0.01);
    tc.start(0.02);
    platform::sleep_ms(60); // all three are due when the window timer is next handled
    ASSERT_TRUE(pump_until([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<std::string> { "A", "B", "C" }));
}

TEST_F(SchedulerTest, CancelledTimerNeverCallsItsListener)
{
    Listener l("t");
    Timer t(&l);
    t.start(0.01);
    t.cancel();
    EXPECT_FALSE(t.is_running());
    EXPECT_EQ(scheduler.active_counter(), 0);
    pump_for(40);
    EXPECT_TRUE(l.ticks.empty());
}

TEST_F(SchedulerTest, CancelWaitsForTheCompletionAndRepostsSwallowedWakeUps)
{
    Named idle("idle");
    idle.cancel();
    EXPECT_EQ(idle.cancels, 0) << "cancelling an idle object does nothing";
    Named waiting("waiting"), other("other");
    other.set_active();
    other.notify(); // its wake-up is queued before cancel waits
    waiting.set_active();
    waiting.cancel(); // do_cancel completes it 20 ms later from another thread
    EXPECT_EQ(waiting.cancels, 1);
    EXPECT_FALSE(waiting.is_active());
    EXPECT_EQ(waiting.runs, 0);
    EXPECT_EQ(other.runs, 0);
    ASSERT_TRUE(pump_until([&] { return other.runs == 1; })) << "the swallowed wake-up was not posted again";
    EXPECT_EQ(waiting.runs, 0);
    EXPECT_EQ(scheduler.active_counter(), 0);
}

TEST_F(SchedulerTest, ATimerBeyondTheHorizonIsExaminedWhenAnotherTimerStarts)
{
    Listener far("far"), near("near");
    Timer tf(&far), tn(&near);
    tf.start(20000); // 20,000,000 ms: no window timer is armed for it
    pump_for(20);
    EXPECT_TRUE(far.ticks.empty());
    platform::set_tick_offset(20'000'100); // the clock jumps past its due time
    pump_for(20);
    EXPECT_TRUE(far.ticks.empty()) << "nothing looks at the timers until one is started, cancelled or fires";
    tn.start(5);
    ASSERT_TRUE(pump_until([&] { return far.ticks.size() == 1; }));
    EXPECT_TRUE(near.ticks.empty());
}

TEST_F(SchedulerTest, TimerRunningAcrossTheTickWrapFiresOnTime)
{
    platform::set_tick_offset(0);
    uint32_t const now = platform::tick_count();
    platform::set_tick_offset(0xFFFFFFFFu - now - 40); // the count wraps 40 ms from now
    Listener l("wrap");
    Timer t(&l);
    uint32_t const started = platform::tick_count();
    t.start(0.1);
    EXPECT_LT(t.due(), started) << "the due time lies past the wrap";
    ASSERT_TRUE(pump_until([&] { return !l.ticks.empty(); }, 2000));
    uint32_t const waited = l.ticks[0] - started;
    EXPECT_GE(waited, 100u);
    EXPECT_LT(waited, 1000u);
}

TEST_F(SchedulerTest, PeriodicWorkByRestartingFromTheListener)
{
    struct Periodic final : TimerListener {
        Timer timer { this };
        int count = 0;
        void on_timer(Timer& t) override
        {
            if (&t == &timer && ++count < 5)
                timer.start(0.005);
        }
    } periodic;
    periodic.timer.start(0.005);
    ASSERT_TRUE(pump_until([&] { return periodic.count == 5; }));
    EXPECT_FALSE(periodic.timer.is_running());
}

using SchedulerDeathTest = SchedulerTest;

TEST_F(SchedulerDeathTest, MisuseEndsTheProcessWithAFailureCode)
{
    EXPECT_EXIT(
        {
            Named a("A");
            a.set_active();
            a.set_active();
        },
        ::testing::ExitedWithCode(FATAL_EXIT_CODE), "Object [0-9]+ is already active @ CActiveScheduler::set_active");
    EXPECT_EXIT(
        {
            Named a("A");
            a.notify();
        },
        ::testing::ExitedWithCode(FATAL_EXIT_CODE), "is not active @ CActiveScheduler::notify");
    EXPECT_EXIT(
        {
            auto* a = new Named("A");
            a->set_active();
            delete a;
        },
        ::testing::ExitedWithCode(FATAL_EXIT_CODE), "is already active @ CActive::~CActive");
    EXPECT_EXIT({ CActiveScheduler second(u"X"); }, ::testing::ExitedWithCode(FATAL_EXIT_CODE),
        "Singleton is already instantiated @ Singleton::Singleton");
}

TEST(SchedulerLifetimeDeathTest, DestroyingTheSchedulerWithActiveObjectsIsFatal)
{
    EXPECT_EXIT(
        {
            auto* scheduler = new CActiveScheduler(u"Y");
            auto* a = new Named("A");
            a->set_active();
            delete scheduler;
        },
        ::testing::ExitedWithCode(FATAL_EXIT_CODE),
        "Some active objects still live while scheduler is terminating active_counter=1");
}

} // namespace
