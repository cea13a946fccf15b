#include <TestSupport.h>

// A post from another thread ends a worker's wait, and stays in its queue to be taken.
TEST(WaitMessage, EndsWithAPostFromAnotherThreadAndTakesNothingOut)
{
    platform::ensure_queue();
    testing_support::drain_messages();
    EXPECT_FALSE(platform::wait_message(0));
    std::thread poster(
        [me = platform::current_thread_id()] { platform::post_thread_message(me, platform::WM_USER, 7, 0); });
    EXPECT_TRUE(platform::wait_message(20000));
    poster.join();
    platform::Message message;
    ASSERT_TRUE(platform::peek_message(message, 0, 0, 0, platform::Peek::REMOVE));
    EXPECT_EQ(message.wparam, 7u);
    EXPECT_FALSE(platform::wait_message(0));
}
