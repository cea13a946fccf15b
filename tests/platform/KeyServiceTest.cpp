#include <TestSupport.h>
#include <csignal>
#include <deque>
#include <linux/input-event-codes.h>
#include <platform/services/key_service.h>
#include <platform/services/registry_values.h>
#include <sys/stat.h>

using namespace platform;
using testing_support::FakeStarter;

namespace {

constexpr auto MACHINE = RegistryRoot::LOCAL_MACHINE;
constexpr char16_t RECORD_KEY[] = u"SOFTWARE\\Microsoft\\Shell\\Keys\\Record";
constexpr char16_t VOLUME_KEY[] = u"SOFTWARE\\Microsoft\\Shell\\Keys\\VolumeUpHold";

// Hands out a prepared list of events; its clock is the time of the last event handed out.
class ScriptedSource final : public InputEventSource {
public:
    std::deque<InputEvent> events;
    int64_t now = 0;
    std::optional<InputEvent> next(int) override
    {
        if (events.empty())
            return InputEvent { InputEvent::Kind::STOP };
        auto e = events.front();
        events.pop_front();
        if (e.kind == InputEvent::Kind::KEY)
            now = e.time_ms;
        return e;
    }
    int64_t now_ms() override { return now; }
};

InputEvent added(std::string id, std::vector<int> keys)
{
    return { InputEvent::Kind::ADDED, { std::move(id), std::move(keys) } };
}

InputEvent removed(std::string id)
{
    return { InputEvent::Kind::REMOVED, { std::move(id), {} } };
}

InputEvent key(std::string id, int code, int value, int64_t time)
{
    return { InputEvent::Kind::KEY, { std::move(id), {} }, code, value, time };
}

class KeyServiceTest : public ::testing::Test {
protected:
    RegistryStore store { testing_support::fresh_dir("keys") + "/registry.db" };
    FakeStarter starter;
    KeyService service { store, starter };
    ScriptedSource source;

    void bind(std::u16string const& key, std::u16string const& command)
    {
        ASSERT_TRUE(write_text(store, MACHINE, key, u"", command));
    }
    void play(std::vector<InputEvent> events)
    {
        source.events.assign(events.begin(), events.end());
        service.run(source);
    }
};

TEST_F(KeyServiceTest, PublishesTheAssignableButtonsAndKeepsTheirBindings)
{
    bind(RECORD_KEY, u"\"/opt/x/ravelin\" record");
    play({ added("event1", { KEY_A, KEY_VOLUMEUP, KEY_RECORD, KEY_PROG1 }), added("event2", { KEY_ENTER }) });
    EXPECT_EQ(std::tuple(read_text(store, MACHINE, RECORD_KEY, u"Name"), read_text(store, MACHINE, RECORD_KEY, u"Icon"),
                  read_text(store, MACHINE, RECORD_KEY, u"")),
        std::tuple(u"Record button", u"key_record", u"\"/opt/x/ravelin\" record"));
    EXPECT_EQ(store.subkeys(MACHINE, u"SOFTWARE\\Microsoft\\Shell\\Keys"),
        (std::vector<std::u16string> { u"Record", u"Prog1" }))
        << "a keyboard's volume keys and ordinary keys are not offered";
}

TEST_F(KeyServiceTest, ABoundButtonRunsItsCommandOncePerPressAndAnUnboundOneNothing)
{
    bind(RECORD_KEY, u"\"/opt/my apps/ravelin\" record");
    play({ added("event1", { KEY_RECORD, KEY_PROG1, KEY_A }), key("event1", KEY_RECORD, 1, 10),
        key("event1", KEY_RECORD, 2, 500), key("event1", KEY_RECORD, 2, 2000), key("event1", KEY_RECORD, 0, 2100),
        key("event1", KEY_PROG1, 1, 2200), key("event1", KEY_PROG1, 0, 2300), key("event1", KEY_A, 1, 2400),
        key("event1", KEY_RECORD, 1, 3000), key("event1", KEY_RECORD, 0, 3100) });
    ASSERT_EQ(starter.started.size(), 2u) << "held down it runs once; the unbound buttons run nothing";
    EXPECT_EQ(starter.started[0], (std::vector<std::string> { "/opt/my apps/ravelin", "record" }));
}

// A removed device's keys are not taken until it is added again; its unbound buttons leave the table
// once no device has them, and bound ones keep their binding.
TEST_F(KeyServiceTest, RemovedDevicesAreFollowedAndTheirUnboundButtonsLeaveTheTable)
{
    bind(RECORD_KEY, u"/opt/x/ravelin record");
    play({ added("event4", { KEY_RECORD }), removed("event4"), key("event4", KEY_RECORD, 1, 10),
        key("event4", KEY_RECORD, 0, 20) });
    EXPECT_TRUE(starter.started.empty());
    play({ added("event4", { KEY_RECORD }), key("event4", KEY_RECORD, 1, 30), key("event4", KEY_RECORD, 0, 40) });
    EXPECT_EQ(starter.started.size(), 1u);

    auto const camera = std::u16string(u"SOFTWARE\\Microsoft\\Shell\\Keys\\Camera");
    play({ added("event1", { KEY_RECORD, KEY_CAMERA }), added("event2", { KEY_CAMERA }), removed("event1") });
    EXPECT_TRUE(store.key_exists(MACHINE, camera)) << "another device still has it";
    play({ removed("event2"), removed("event4") });
    EXPECT_FALSE(store.key_exists(MACHINE, camera));
    EXPECT_EQ(read_text(store, MACHINE, RECORD_KEY, u""), u"/opt/x/ravelin record");
}

TEST_F(KeyServiceTest, APhonesVolumeKeyRunsOnlyWhenHeldLong)
{
    bind(VOLUME_KEY, u"/opt/x/ravelin record");
    service.handle(added("event0", { KEY_POWER, KEY_VOLUMEUP, KEY_VOLUMEDOWN }));
    service.handle(key("event0", KEY_VOLUMEUP, 1, 1000));
    EXPECT_EQ(service.advance(1300), static_cast<int>(LONG_PRESS_MS - 300));
    service.handle(key("event0", KEY_VOLUMEUP, 0, 1400));
    EXPECT_EQ(service.advance(5000), -1);
    EXPECT_TRUE(starter.started.empty()) << "a short press is the volume's own";

    service.handle(key("event0", KEY_VOLUMEUP, 1, 6000));
    service.advance(6000 + LONG_PRESS_MS);
    service.handle(key("event0", KEY_VOLUMEUP, 2, 9000));
    service.advance(9000);
    EXPECT_EQ(starter.started.size(), 1u);
}

TEST_F(KeyServiceTest, CommandsThatCannotBeRunWholeAndSafelyRunNothing)
{
    for (auto const& command :
        { std::u16string(u"ravelin record"), u"/opt/x/ravelin " + std::u16string(MAX_TEXT_LENGTH, u'x') }) {
        RegistryValue value { REG_SZ, {} };
        for (char16_t c : command) {
            value.data.push_back(static_cast<uint8_t>(c));
            value.data.push_back(static_cast<uint8_t>(c >> 8));
        }
        ASSERT_TRUE(store.set(MACHINE, RECORD_KEY, u"", value));
        play({ added("event1", { KEY_RECORD }), key("event1", KEY_RECORD, 1, 10), key("event1", KEY_RECORD, 0, 20) });
    }
    EXPECT_TRUE(starter.started.empty());
}

TEST_F(KeyServiceTest, ABindingInAStoreOtherUsersMayWriteRunsNothing)
{
    bind(RECORD_KEY, u"/opt/x/ravelin record");
    std::vector<InputEvent> const tap { added("event1", { KEY_RECORD }), key("event1", KEY_RECORD, 1, 10),
        key("event1", KEY_RECORD, 0, 20) };
    ASSERT_EQ(::chmod(store.path().c_str(), 0664), 0);
    play(tap);
    EXPECT_TRUE(starter.started.empty()) << "another user could have planted the command";
    ASSERT_EQ(::chmod(store.path().c_str(), 0600), 0);
    play(tap);
    EXPECT_EQ(starter.started.size(), 1u);
}

// The real starter: a program started by a press is collected once it ends, not left as a zombie.
class RecordingStarter final : public ProcessStarter {
public:
    SpawnedProcesses real;
    std::vector<int64_t> ids;
    int64_t start(std::vector<std::string> const& argv) override
    {
        ids.push_back(real.start(argv));
        return ids.back();
    }
    bool running(int64_t id) override { return real.running(id); }
};

TEST(KeyServiceProcesses, AStartedProgramThatEndedIsCollected)
{
    RegistryStore store(testing_support::fresh_dir("keys-spawn") + "/registry.db");
    ASSERT_TRUE(write_text(store, MACHINE, RECORD_KEY, u"", u"/bin/true record"));
    RecordingStarter starter;
    KeyService service(store, starter);
    service.handle(added("event1", { KEY_RECORD }));
    service.handle(key("event1", KEY_RECORD, 1, 10));
    ASSERT_EQ(starter.ids.size(), 1u);
    ASSERT_GT(starter.ids[0], 0);
    auto const pid = static_cast<pid_t>(starter.ids[0]);
    auto const deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    // kill(pid, 0) succeeds for a zombie: only a collected process is gone.
    while (::kill(pid, 0) == 0 && std::chrono::steady_clock::now() < deadline) {
        service.advance(20);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_NE(::kill(pid, 0), 0);
}

} // namespace
