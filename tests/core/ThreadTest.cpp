#include <atomic>
#include <core/Event.h>
#include <core/Thread.h>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <platform/messages.h>
#include <platform/ticks.h>

using namespace core;

namespace {

class Lambda final : public Thread {
public:
    explicit Lambda(std::function<void(Lambda&)> body)
        : body_(std::move(body))
    {
    }
    ~Lambda() override { join(); }
    using Thread::suspend;

private:
    void run() override { body_(*this); }
    std::function<void(Lambda&)> body_;
};

TEST(Thread, AResumeIsNeverLostAndAThreadStartsOnceAtATimeWithItsQueue)
{
    Event resumed(EventReset::MANUAL), done(EventReset::MANUAL);
    Lambda thread([&](Lambda& self) {
        resumed.wait();
        self.suspend(); // the resume came first: this must return at once
        done.set();
    });
    ASSERT_TRUE(thread.start());
    thread.resume();
    resumed.set();
    EXPECT_TRUE(done.wait_for(5000)) << "the thread slept although it had been resumed";
    // A consumer that sleeps whenever its queue is empty, fed by a producer that resumes it after every
    // push: the shape of a memory buffer's drain thread. Every item must arrive.
    std::mutex mutex;
    std::deque<int> queue;
    std::atomic<int> consumed { 0 };
    Lambda drain([&](Lambda& self) {
        self.suspend();
        while (!self.stop_requested()) {
            std::unique_lock lock(mutex);
            bool const took = !queue.empty();
            if (took)
                queue.pop_front();
            lock.unlock();
            if (took)
                consumed.fetch_add(1);
            else
                self.suspend();
        }
    });
    ASSERT_TRUE(drain.start());
    constexpr int N = 20000;
    for (int i = 0; i < N; ++i) {
        std::unique_lock lock(mutex);
        queue.push_back(i);
        lock.unlock();
        drain.resume();
    }
    for (int waited = 0; consumed.load() < N && waited < 10000; ++waited)
        platform::sleep_ms(1);
    EXPECT_EQ(consumed.load(), N);
    drain.request_stop();
    drain.resume();
    drain.join();
    Event release(EventReset::MANUAL);
    std::atomic<int> runs { 0 };
    Lambda once([&](Lambda&) {
        ++runs;
        release.wait();
    });
    ASSERT_TRUE(once.start());
    EXPECT_TRUE(once.is_running() && !once.start());
    release.set();
    once.join();
    EXPECT_FALSE(once.is_running());
    ASSERT_TRUE(once.start());
    once.join();
    EXPECT_EQ(runs.load(), 2);
    // Its message queue exists when start returns; priority levels are clamped to the platform's range.
    std::atomic<uint32_t> message { 0 };
    Lambda queued([&](Lambda&) {
        platform::Message m;
        platform::get_message(m, 0, 0, 0);
        message = m.message;
    });
    ASSERT_TRUE(queued.start() && queued.thread_id() != 0);
    EXPECT_TRUE(platform::post_thread_message(queued.thread_id(), platform::WM_USER, 0, 0));
    queued.join();
    EXPECT_EQ(message.load(), platform::WM_USER);
    Lambda idle([](Lambda&) {});
    for (auto [level, priority] : { std::pair { -5, 5 }, { 7, 1 }, { 0, 3 } }) {
        idle.set_priority(level);
        EXPECT_EQ(idle.priority(), priority) << level;
    }
}

TEST(Event, AutomaticResetLetsOneWaiterThroughPerSet)
{
    Event automatic(EventReset::AUTOMATIC), manual(EventReset::MANUAL);
    EXPECT_FALSE(automatic.wait_for(1));
    automatic.set();
    manual.set();
    std::string passed;
    for (Event* event : { &automatic, &automatic, &manual, &manual })
        passed += event->wait_for(1) ? '+' : '-';
    EXPECT_EQ(passed, "+-++");
    manual.reset();
    EXPECT_FALSE(manual.is_set());
}

} // namespace
