#include <TestSupport.h>
#include <platform/phone/phone_simulator.h>
#include <platform/phone/phone_state.h>
#include <platform/services/notifications.h>
#include <platform/services/registry_values.h>
#include <platform/text.h>

using namespace platform;
using testing_support::FakeStarter;

namespace {

AppNotification call_notification(std::u16string const& name, std::u16string const& command)
{
    return { name, command, { RegistryRoot::LOCAL_MACHINE, PHONE_STATE_KEY, STATUS, STATUS_TALKING, STATUS_TALKING } };
}

class NotifierTest : public ::testing::Test {
protected:
    RegistryStore& store = RegistryStore::instance();
    std::unique_ptr<AppNotifications> notifications = open_app_notifications();
    PhoneSimulator phone { store };
    FakeStarter starter;
    std::string problem;

    void SetUp() override
    {
        phone.hangup(problem);
        for (auto const& n : notifications->registered())
            notifications->remove(n.name);
    }
};

TEST_F(NotifierTest, ARegisteredCommandRunsOncePerRisingEdge)
{
    ASSERT_EQ(notifications->add(call_notification(u"Ravelin.Call", u"\"/opt/my apps/ravelin\" call")), NOTIFY_OK);
    Notifier notifier(*notifications, store, starter);
    notifier.check();
    ASSERT_TRUE(phone.ring(u"555 0100", u"", problem));
    EXPECT_EQ(notifier.check(), 0); // ringing is no rise
    ASSERT_TRUE(phone.answer(problem));
    EXPECT_EQ(notifier.check(), 1);
    EXPECT_EQ(notifier.check(), 0);
    EXPECT_EQ(starter.started, (std::vector<std::vector<std::string>> { { "/opt/my apps/ravelin", "call" } }));

    // Held and resumed while the program started for the call still runs: not started again.
    phone.hold(problem);
    notifier.check();
    phone.hold(problem);
    EXPECT_EQ(notifier.check(), 0);
    // Once it has ended, the next rise starts it again.
    starter.alive[0] = false;
    phone.hangup(problem);
    notifier.check();
    phone.dial(u"555 0101", u"", problem);
    phone.answer(problem);
    EXPECT_EQ(notifier.check(), 1);
    EXPECT_EQ(starter.started.size(), 2u);
}

TEST_F(NotifierTest, NothingUnregisteredRuns)
{
    ASSERT_EQ(notifications->add(call_notification(u"Gone", u"\"/bin/gone\"")), NOTIFY_OK);
    EXPECT_EQ(notifications->remove(u"Gone"), NOTIFY_OK);
    EXPECT_EQ(notifications->remove(u"Gone"), NOTIFY_NOT_FOUND);
    notifications->add(call_notification(u"Relative", u"ravelin call"));
    // Written by hand, without its condition: not a registration.
    write_text(store, RegistryRoot::CURRENT_USER, std::u16string(NOTIFICATIONS_KEY) + u"\\Forged", u"Command Line",
        u"/bin/forged");
    // A registration whose condition does not rise.
    notifications->add({ u"Other", u"\"/bin/other\"", { RegistryRoot::LOCAL_MACHINE, u"Elsewhere", u"Flag", 1, 1 } });
    EXPECT_EQ(notifications->registered().size(), 2u);

    Notifier notifier(*notifications, store, starter);
    notifier.check();
    phone.ring(u"555 0100", u"", problem);
    phone.answer(problem);
    EXPECT_EQ(notifier.check(), 0);
    EXPECT_TRUE(starter.started.empty());
}

TEST_F(NotifierTest, RegisteringTwiceRenewsAndAConditionTrueAtFirstSightIsNoRise)
{
    phone.ring(u"555 0100", u"", problem);
    phone.answer(problem);
    EXPECT_EQ(notifications->add(call_notification(u"Ravelin.Call", u"\"/old/ravelin\" call")), NOTIFY_OK);
    EXPECT_EQ(
        notifications->add(call_notification(u"Ravelin.Call", u"\"/new/ravelin\" call")), NOTIFY_ALREADY_REGISTERED);
    ASSERT_EQ(notifications->registered().size(), 1u);
    EXPECT_EQ(notifications->registered()[0].command_line, u"\"/new/ravelin\" call");
    Notifier notifier(*notifications, store, starter);
    EXPECT_EQ(notifier.check(), 0);
}

TEST(CommandLine, WordsAndQuotes)
{
    using Words = std::vector<std::string>;
    EXPECT_EQ(split_command_line(u"\"/a b/c\" call"), (Words { "/a b/c", "call" }));
    EXPECT_EQ(split_command_line(u"  /x   \"\"  y\t"), (Words { "/x", "", "y" }));
    EXPECT_FALSE(split_command_line(u"\"/a b") || split_command_line(u"   "));
}

} // namespace
