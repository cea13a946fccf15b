#include <TestSupport.h>
#include <atomic>

using namespace platform;

namespace {

std::vector<uint32_t> seen;

intptr_t recording_procedure(Hwnd window, uint32_t message, uintptr_t wparam, intptr_t lparam)
{
    seen.push_back(message);
    return def_window_proc(window, message, wparam, lparam);
}

class MessagesTest : public ::testing::Test {
protected:
    void TearDown() override { testing_support::drain_messages(); }
    // Emptied before the window is made, so that its creation is the first message seen.
    bool const cleared = (seen.clear(), true);
    testing_support::TestWindow const test_window { u"TestWindow", recording_procedure };
    Hwnd const window = test_window.handle;
};

TEST_F(MessagesTest, CreateSendsCreateAndDispatchReachesTheProcedure)
{
    ASSERT_EQ(seen, std::vector<uint32_t> { WM_CREATE });
    ASSERT_TRUE(post_message(window, WM_USER + 1, 7, 9));
    Message m;
    ASSERT_EQ(get_message(m, 0, 0, 0), 1);
    EXPECT_EQ(std::tuple(m.window, m.message, m.wparam, m.lparam), std::tuple(window, WM_USER + 1, 7u, 9));
    dispatch_message(m);
    EXPECT_EQ(seen.back(), WM_USER + 1);
}

TEST_F(MessagesTest, FilterTakesMatchingMessagesAndLeavesTheRestInOrder)
{
    post_message(window, WM_USER + 1, 1, 0);
    post_message(window, WM_USER + 5, 2, 0);
    post_thread_message(current_thread_id(), WM_USER + 5, 3, 0);
    post_message(window, WM_USER + 2, 4, 0);

    Message m;
    ASSERT_TRUE(peek_message(m, window, WM_USER + 5, WM_USER + 5, Peek::REMOVE));
    EXPECT_EQ(m.wparam, 2u);
    ASSERT_TRUE(peek_message(m, THREAD_MESSAGES, 0, 0, Peek::REMOVE));
    EXPECT_EQ(std::tuple(m.window, m.wparam), std::tuple(0u, 3u));
    ASSERT_TRUE(peek_message(m, 0, 0, 0, Peek::KEEP));
    EXPECT_EQ(m.wparam, 1u);
    ASSERT_TRUE(peek_message(m, 0, 0, 0, Peek::REMOVE) && peek_message(m, 0, 0, 0, Peek::REMOVE));
    EXPECT_EQ(m.wparam, 4u);
    EXPECT_FALSE(peek_message(m, 0, 0, 0, Peek::REMOVE));
}

TEST_F(MessagesTest, QuitPassesEveryFilterAfterPostedMessages)
{
    post_message(window, WM_USER + 1, 0, 0);
    post_quit_message(3);
    Message m;
    ASSERT_EQ(get_message(m, 0, 0, 0), 1);
    EXPECT_EQ(m.message, WM_USER + 1);
    ASSERT_EQ(get_message(m, window, WM_USER + 5, WM_USER + 5), 0);
    EXPECT_EQ(std::tuple(m.message, m.wparam), std::tuple(WM_QUIT, 3u));
    EXPECT_FALSE(peek_message(m, 0, 0, 0, Peek::REMOVE));
}

TEST_F(MessagesTest, WindowTimerFiresAfterItsIntervalAndKillStopsIt)
{
    uint32_t const start = tick_count();
    ASSERT_TRUE(set_timer(window, 1, 30));
    Message m;
    ASSERT_EQ(get_message(m, 0, 0, 0), 1);
    EXPECT_EQ(std::tuple(m.message, m.wparam), std::tuple(WM_TIMER, 1u));
    EXPECT_GE(tick_count() - start, 30u);
    EXPECT_TRUE(kill_timer(window, 1) && !kill_timer(window, 1)) << "killed once";
    platform::sleep_ms(40);
    EXPECT_FALSE(peek_message(m, 0, 0, 0, Peek::REMOVE));

    // Posted messages come before a due timer.
    set_timer(window, 2, 0);
    post_message(window, WM_USER, 0, 0);
    std::vector<uint32_t> order;
    for (int i = 0; i < 2 && get_message(m, 0, 0, 0) == 1; ++i)
        order.push_back(m.message);
    EXPECT_EQ(order, (std::vector<uint32_t> { WM_USER, WM_TIMER }));
    kill_timer(window, 2);
}

TEST_F(MessagesTest, PostsFromAnotherThreadWakeABlockedGet)
{
    std::thread poster([w = window] {
        for (int i = 0; i < 1000; ++i)
            post_message(w, WM_USER + 3, static_cast<uintptr_t>(i), 0);
    });
    Message m;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(get_message(m, 0, 0, 0), 1);
        EXPECT_EQ(m.wparam, static_cast<uintptr_t>(i));
    }
    poster.join();
}

TEST_F(MessagesTest, DestroyedWindowsAndThreadsWithoutQueueRefusePosts)
{
    Hwnd other = create_window(u"TestWindow", u"other", 0);
    post_message(other, WM_USER, 0, 0);
    ASSERT_TRUE(destroy_window(other));
    EXPECT_FALSE(is_window(other) || post_message(other, WM_USER, 0, 0));
    Message m;
    EXPECT_FALSE(peek_message(m, 0, 0, 0, Peek::REMOVE)) << "messages of a destroyed window are dropped";
    EXPECT_FALSE(post_thread_message(0xFFFFFF, WM_USER, 0, 0) || create_window(u"NoSuchClass", u"", 0));
}

TEST(ThreadQueues, EachThreadHasItsOwnQueueAndId)
{
    std::atomic<uint32_t> worker_id { 0 };
    std::atomic<bool> got { false };
    std::thread worker([&] {
        ensure_queue();
        worker_id = current_thread_id();
        Message m;
        get_message(m, 0, 0, 0);
        got = m.message == WM_USER + 9;
    });
    while (worker_id == 0)
        std::this_thread::yield();
    EXPECT_NE(worker_id.load(), current_thread_id());
    ASSERT_TRUE(post_thread_message(worker_id, WM_USER + 9, 0, 0));
    worker.join();
    EXPECT_TRUE(got);
    EXPECT_FALSE(post_thread_message(worker_id, WM_USER, 0, 0)) << "the ended thread's queue is gone";
}

} // namespace
