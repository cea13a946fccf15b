#include <TestSupport.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <platform/folder_watch.h>
#include <platform/phone/phone_simulator.h>
#include <platform/phone/phone_state.h>
#include <platform/services/notifications.h>
#include <platform/services/notifier.h>
#include <platform/services/registry_values.h>
#include <platform/text.h>

using namespace platform;
using testing_support::fresh_dir;

namespace {

// Starts nothing: remembers what it was asked to start, and whether each is still running.
class FakeStarter final : public ProcessStarter {
public:
    std::vector<std::vector<std::string>> started;
    std::vector<bool> alive;
    int64_t start(std::vector<std::string> const& argv) override
    {
        started.push_back(argv);
        alive.push_back(true);
        return static_cast<int64_t>(started.size());
    }
    bool running(int64_t id) override { return alive.at(static_cast<size_t>(id - 1)); }
};

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
    ASSERT_EQ(starter.started.size(), 1u);
    EXPECT_EQ(starter.started[0], (std::vector<std::string> { "/opt/my apps/ravelin", "call" }));

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
    notifications->add(call_notification(u"Unterminated", u"\"/bin/ravelin call"));
    // Written by hand, without its condition: not a registration.
    write_text(store, RegistryRoot::CURRENT_USER, std::u16string(NOTIFICATIONS_KEY) + u"\\Forged", u"Command Line",
        u"/bin/forged");
    // A registration whose condition does not rise.
    notifications->add({ u"Other", u"\"/bin/other\"", { RegistryRoot::LOCAL_MACHINE, u"Elsewhere", u"Flag", 1, 1 } });
    EXPECT_EQ(notifications->registered().size(), 3u);

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
    EXPECT_FALSE(split_command_line(u"\"/a b"));
    EXPECT_FALSE(split_command_line(u"   "));
}

// The service itself, as a process, with a command that leaves a line in a file each time it runs.
TEST(NotifierService, StartsTheRegisteredProgramAndStaysAlone)
{
    RegistryStore& store = RegistryStore::instance();
    std::string problem;
    PhoneSimulator phone(store);
    phone.hangup(problem);
    std::string const dir = fresh_dir("notified");
    testing_support::write_file(dir + "/note.sh", "echo \"$1\" >> \"" + dir + "/runs.txt\"\n");
    auto notifications = open_app_notifications();
    for (auto const& n : notifications->registered())
        notifications->remove(n.name);
    notifications->add(call_notification(u"Test.Call", u"\"/bin/sh\" \"" + from_utf8(dir) + u"/note.sh\" call"));
    ASSERT_TRUE(registry_is_private(store.path()));

    struct Service {
        std::string pid;
        ~Service() { testing_support::run("kill " + pid); }
    } service;
    auto const started
        = testing_support::run(testing_support::bin_dir() + "/ravelin-notifier >" + dir + "/out.txt 2>&1 & echo $!");
    service.pid = started.output.substr(0, started.output.find('\n'));
    FolderWatch watch(from_utf8(dir));
    auto const wait_for = [&](std::string const& file, std::string const& text) {
        for (int i = 0; i < 100 && testing_support::read_file(dir + file).find(text) == std::string::npos; ++i)
            watch.wait(100);
        return testing_support::read_file(dir + file);
    };
    // Once it has seen the registrations it says so; a second notifier leaves at once.
    ASSERT_NE(wait_for("/out.txt", "watching 1 registrations").find("watching 1 "), std::string::npos);
    EXPECT_TRUE(notifier_running(store));
    EXPECT_EQ(testing_support::run(testing_support::bin_dir() + "/ravelin-notifier").exit_code, 0);

    phone.ring(u"555 0100", u"", problem);
    phone.answer(problem);
    EXPECT_EQ(wait_for("/runs.txt", "call\n"), "call\n");
    phone.hangup(problem);
    notifications->remove(u"Test.Call");
    testing_support::run("kill " + service.pid + "; for i in $(seq 100); do kill -0 " + service.pid
        + " 2>/dev/null || break; sleep 0.05; done");
    EXPECT_FALSE(notifier_running(store));

    // Started as the program starts it: detached, found beside the running executable.
    ASSERT_TRUE(start_notifier());
    // The lock is taken before the new notifier writes its own process id over the last one's.
    std::string const last = service.pid;
    for (int i = 0; i < 100 && (!notifier_running(store) || service.pid.empty() || service.pid == last); ++i) {
        watch.wait(50);
        service.pid = testing_support::read_file(store.path() + "-notifier.lock");
        service.pid = service.pid.substr(0, service.pid.find('\n'));
    }
    ASSERT_TRUE(notifier_running(store));
    ASSERT_NE(service.pid, last);
    EXPECT_FALSE(service.pid.empty());

    std::filesystem::permissions(store.path(), std::filesystem::perms::group_write, std::filesystem::perm_options::add);
    EXPECT_FALSE(registry_is_private(store.path()));
    std::filesystem::permissions(
        store.path(), std::filesystem::perms::group_write, std::filesystem::perm_options::remove);
}

} // namespace
