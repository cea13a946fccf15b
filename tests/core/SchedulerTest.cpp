#include <TestSupport.h>

using namespace core;

namespace {

std::vector<std::string> order;

// Dispatches the thread's messages until `done` or `limit_ms` pass; answers whether `done` was reached.
template <typename Done> bool pump_until(Done done, uint32_t limit_ms = 3000)
{
    uint32_t const start = platform::tick_count();
    for (platform::Message m;; platform::sleep_ms(1)) {
        while (platform::peek_message(m, 0, 0, 0, platform::Peek::REMOVE))
            platform::dispatch_message(m);
        if (done() || platform::tick_count() - start > limit_ms)
            return done();
    }
}

auto const pump_for = [](uint32_t ms) {
    pump_until([ms, start = platform::tick_count()] { return platform::tick_count() - start >= ms; }, ms + 1000);
};

// An active object whose runs are noted in `order`; its cancel completes the request 20 ms later from
// another thread, unless a completion is under way.
class Named final : public CActive {
public:
    explicit Named(std::string name)
        : name_(std::move(name))
    {
    }
    ~Named() override
    {
        if (completer.joinable())
            completer.join();
    }
    void complete_later(int ms)
    {
        completer = std::thread([this, ms] {
            platform::sleep_ms(ms);
            notify();
        });
    }
    int runs = 0, cancels = 0;
    std::thread completer;

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

// A timer whose firings are noted in `order` and by tick.
struct Listener final : TimerListener {
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
    Timer timer { this };
};

class SchedulerTest : public ::testing::Test {
protected:
    void SetUp() override { order.clear(); }
    void TearDown() override { platform::set_tick_offset(0); }
    CActiveScheduler scheduler { u"VizuvevClass_Test" };
};

TEST_F(SchedulerTest, ObjectsAndTimersRunInOrderOnTheMainThreadAndCancelWaits)
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
    EXPECT_EQ(std::tuple(order, scheduler.active_counter(), a.is_active()),
        std::tuple(std::vector<std::string> { "A", "B" }, 0, false));
    // A completion from another thread runs on the main thread.
    Named later("later");
    later.set_active();
    later.complete_later(5);
    EXPECT_TRUE(pump_until([&] { return later.runs == 1; }) && scheduler.active_counter() == 0);
    order.clear();
    Listener zero("zero"), negative("negative");
    zero.timer.start(0);
    negative.timer.start(-2.5);
    EXPECT_EQ(std::tuple(zero.ticks.size(), negative.ticks.size(), zero.timer.is_running()), std::tuple(0u, 0u, true));
    ASSERT_TRUE(pump_until([&] { return zero.ticks.size() == 1 && negative.ticks.size() == 1; }));
    EXPECT_EQ(
        std::tuple(order, zero.timer.is_running()), std::tuple(std::vector<std::string> { "zero", "negative" }, false));
    // Zero and negative timers run at the next dispatch, not inside start.
    // Timers due at the same check run in start order.
    order.clear();
    Listener first("A"), second("B"), third("C");
    first.timer.start(0.03);
    second.timer.start(0.01);
    third.timer.start(0.02);
    platform::sleep_ms(60); // all three are due when the window timer is next handled
    ASSERT_TRUE(pump_until([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<std::string> { "A", "B", "C" }));
    Named idle("idle");
    idle.cancel();
    EXPECT_EQ(idle.cancels, 0) << "cancelling an idle object does nothing";
    Named waiting("waiting"), other("other");
    other.set_active();
    other.notify(); // its wake-up is queued before cancel waits
    waiting.set_active();
    waiting.cancel(); // do_cancel completes it 20 ms later from another thread
    EXPECT_EQ(std::tuple(waiting.cancels, waiting.is_active(), waiting.runs, other.runs), std::tuple(1, false, 0, 0));
    ASSERT_TRUE(pump_until([&] { return other.runs == 1; })) << "the swallowed wake-up was not posted again";
    EXPECT_EQ(std::tuple(waiting.runs, scheduler.active_counter()), std::tuple(0, 0));
    Listener far("far"), near("near");
    far.timer.start(20000); // 20,000,000 ms: no window timer is armed for it
    pump_for(20);
    EXPECT_TRUE(far.ticks.empty());
    platform::set_tick_offset(20'000'100); // the clock jumps past its due time
    pump_for(20);
    EXPECT_TRUE(far.ticks.empty()) << "nothing looks at the timers until one is started, cancelled or fires";
    near.timer.start(5);
    EXPECT_TRUE(pump_until([&] { return far.ticks.size() == 1; }) && near.ticks.empty());
    // A timer running across the wrap of the tick count fires on time.
    platform::set_tick_offset(0);
    platform::set_tick_offset(0xFFFFFFFFu - platform::tick_count() - 40); // the count wraps 40 ms from now
    Listener l("wrap");
    uint32_t const started = platform::tick_count();
    l.timer.start(0.1);
    EXPECT_LT(l.timer.due(), started) << "the due time lies past the wrap";
    ASSERT_TRUE(pump_until([&] { return !l.ticks.empty(); }, 2000));
    EXPECT_TRUE(l.ticks[0] - started >= 100u && l.ticks[0] - started < 1000u) << l.ticks[0] - started;
}

using SchedulerDeathTest = SchedulerTest;

TEST_F(SchedulerDeathTest, MisuseEndsTheProcessWithAFailureCode)
{
    auto const fatal = ::testing::ExitedWithCode(FATAL_EXIT_CODE);
    EXPECT_EXIT(
        {
            Named a("A");
            a.set_active();
            a.set_active();
        },
        fatal, "Object [0-9]+ is already active @ CActiveScheduler::set_active");
    EXPECT_EXIT(Named("A").notify(), fatal, "is not active @ CActiveScheduler::notify");
    EXPECT_EXIT(
        {
            auto* a = new Named("A");
            a->set_active();
            delete a;
        },
        fatal, "is already active @ CActive::~CActive");
    EXPECT_EXIT({ CActiveScheduler second(u"X"); }, fatal, "Singleton is already instantiated @ Singleton::Singleton");
}

TEST(SchedulerLifetimeDeathTest, DestroyingTheSchedulerWithActiveObjectsIsFatal)
{
    EXPECT_EXIT(
        {
            auto* scheduler = new CActiveScheduler(u"Y");
            (new Named("A"))->set_active();
            delete scheduler;
        },
        ::testing::ExitedWithCode(FATAL_EXIT_CODE),
        "Some active objects still live while scheduler is terminating active_counter=1");
}

} // namespace
