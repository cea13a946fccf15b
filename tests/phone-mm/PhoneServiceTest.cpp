#include <SessionBuses.h>
#include <functional>
#include <phone/PhoneState.h>
#include <platform/folder_watch.h>
#include <platform/phone/dbus/modem_manager.h>
#include <platform/phone/phone_devices.h>
#include <platform/phone/phone_publisher.h>
#include <platform/phone/phone_simulator.h>
#include <platform/phone/phone_state.h>
#include <platform/phone/telephony_line.h>
#include <platform/services/registry_values.h>
#include <platform/text.h>

using namespace platform;
using testing_support::first_line;
using testing_support::run;

namespace {

constexpr RegistryRoot MACHINE = RegistryRoot::LOCAL_MACHINE;
// ModemManager's numbers, as its stand-in takes them.
constexpr int INCOMING = 1, OUTGOING = 2;
constexpr int DIALING = 1, RINGING_OUT = 2, RINGING_IN = 3, ACTIVE = 4, HELD = 5, WAITING = 6, TERMINATED = 7;
constexpr char16_t ANN_NUMBER[] = u"+44 20 7946 0000";
constexpr char MODEM_MANAGER[] = "org.freedesktop.ModemManager1", CALL_AUDIO[] = "org.mobian_project.CallAudio";

TEST(PhonePublishing, ModemManagerStatesBecomeTheShellsStages)
{
    std::tuple<int, int, CallStage> const cases[]
        = { { 0, INCOMING, CallStage::RINGING }, { 0, OUTGOING, CallStage::DIALING },
              { DIALING, OUTGOING, CallStage::DIALING }, { RINGING_OUT, OUTGOING, CallStage::DIALING },
              { RINGING_IN, INCOMING, CallStage::RINGING }, { WAITING, INCOMING, CallStage::RINGING },
              { ACTIVE, INCOMING, CallStage::TALKING }, { HELD, INCOMING, CallStage::ON_HOLD },
              { TERMINATED, INCOMING, CallStage::NONE }, { 42, INCOMING, CallStage::NONE } };
    for (auto const& [state, direction, stage] : cases)
        EXPECT_EQ(call_stage(state, direction), stage) << state << " " << direction;
    EXPECT_EQ(std::tuple(call_direction(INCOMING), call_direction(OUTGOING), call_direction(9)),
        std::tuple(LineCallDirection::INCOMING, LineCallDirection::OUTGOING, LineCallDirection::UNKNOWN));
}

TEST(PhonePublishing, TheLineReportsTheTalkingCallAndTheCountLeavesEndedOnesOut)
{
    PhoneCall const held { CallStage::ON_HOLD, LineCallDirection::INCOMING, u"1", u"A" };
    PhoneCall const talking { CallStage::TALKING, LineCallDirection::OUTGOING, u"2", u"" };
    PhoneCall const waiting { CallStage::RINGING, LineCallDirection::INCOMING, u"3", u"" };
    PhoneCall const ended { CallStage::NONE, LineCallDirection::INCOMING, u"4", u"" };
    EXPECT_EQ(summarise_calls({ held, talking, waiting, ended }),
        (PhoneSummary { 3, STATUS_ON_HOLD | STATUS_TALKING | STATUS_RINGING, talking }));
    EXPECT_EQ(summarise_calls({ waiting, held }).current, held);
    EXPECT_EQ(summarise_calls({ ended }), PhoneSummary {});
    // Among equals the last one listed: the newest call.
    EXPECT_EQ(summarise_calls({ talking, PhoneCall { CallStage::TALKING, {}, u"5", u"" } }).current.number, u"5");
}

TEST(PhonePublishing, PublishingWhatIsAlreadyPublishedWritesNothing)
{
    auto& store = RegistryStore::instance();
    PhonePublisher publisher(store);
    auto const summary = summarise_calls({ { CallStage::TALKING, LineCallDirection::INCOMING, u"5", u"Bo" } });
    publisher.publish(summary);
    auto const before = store.change_count();
    publisher.publish(summary);
    EXPECT_EQ(store.change_count(), before);
    publisher.publish({});
    EXPECT_NE(store.change_count(), before);
    EXPECT_FALSE(read_text(store, MACHINE, PHONE_STATE_KEY, CALLER_NUMBER));
    EXPECT_EQ(read_dword(store, MACHINE, PHONE_STATE_KEY, ACTIVE_CALL_COUNT), 0u);
}

// What the program reads of the phone state, the call monitor's way included.
struct Published {
    uint32_t count = 0, status = 0;
    std::u16string number, name;
    int32_t kind = 0;
    LineCallState line = LineCallState::IDLE;
    LineCallDirection direction = LineCallDirection::UNKNOWN;
    bool operator==(Published const&) const = default;
};

Published read_published()
{
    auto& store = RegistryStore::instance();
    Published p;
    p.count = read_dword(store, MACHINE, PHONE_STATE_KEY, ACTIVE_CALL_COUNT).value_or(0);
    p.status = read_dword(store, MACHINE, PHONE_STATE_KEY, STATUS).value_or(0);
    p.number = read_text(store, MACHINE, PHONE_STATE_KEY, CALLER_NUMBER).value_or(u"");
    p.name = read_text(store, MACHINE, PHONE_STATE_KEY, CALLER_NAME).value_or(u"");
    core::String name, number;
    p.kind = phone::get_call_info(name, number);
    auto const calls = open_telephony_line()->calls(0);
    if (!calls.empty()) {
        p.line = calls[0].state;
        p.direction = calls[0].direction;
    }
    return p;
}

std::ostream& operator<<(std::ostream& out, Published const& p)
{
    return out << "count " << p.count << " status 0x" << std::hex << p.status << std::dec << " number '"
               << to_utf8(p.number) << "' name '" << to_utf8(p.name) << "' kind " << p.kind << " line "
               << static_cast<int>(p.line) << " direction " << static_cast<int>(p.direction);
}

// ModemManager and callaudiod stand-ins (python3-dbusmock) on private system and session buses, and the
// notifier service (the real ravelin-notifier) publishing into this program's registry store.
class PhoneServiceTest : public ::testing::Test {
protected:
    session_test::SessionBuses buses;
    std::string dir = testing_support::fresh_dir("phone-service"), service_pid;

    void SetUp() override
    {
        if (std::string why; !buses.start(why))
            GTEST_SKIP() << why;
        std::string const contacts = testing_support::fresh_dir("contacts");
        setenv("RAVELIN_CONTACTS", contacts.c_str(), 1);
        testing_support::write_file(contacts + "/ann.vcf",
            "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Ann Lee\r\nTEL;TYPE=cell:+44 20 7946 0000\r\nEND:VCARD\r\n");
        PhonePublisher().write_no_call();
        RegistryStore::instance().remove_value(MACHINE, PHONE_DEVICE_KEY, SPEAKER_REQUEST);
        write_dword(RegistryStore::instance(), MACHINE, HARDWARE_STATE_KEY, SPEAKER, 0);
    }

    void TearDown() override
    {
        stop_service();
        for (auto const* variable : { "DBUS_SYSTEM_BUS_ADDRESS", "DBUS_SESSION_BUS_ADDRESS", "RAVELIN_CONTACTS" })
            unsetenv(variable);
    }

    std::string service_log() const { return testing_support::read_file(dir + "/service.txt"); }

    // Waits (at most five seconds) for a change of the registry store that makes `done` true.
    bool wait_for(std::function<bool()> const& done)
    {
        FolderWatch watch(from_utf8(std::filesystem::path(RegistryStore::instance().path()).parent_path().string()));
        uint32_t const start = tick_count();
        while (!done()) {
            if (tick_count() - start > 5000)
                return false;
            watch.wait(50);
        }
        return true;
    }
    void expect_published(Published const& expected, std::string const& stage)
    {
        EXPECT_TRUE(wait_for([&] { return read_published() == expected; })) << stage;
        EXPECT_EQ(read_published(), expected) << stage;
    }

    void start_modem_manager()
    {
        ASSERT_TRUE(buses.mock("--system", MODEM_MANAGER, "-t " + stand_in("modemmanager.py")));
    }
    void start_call_audio() { ASSERT_TRUE(buses.mock("--session", CALL_AUDIO, "-t " + stand_in("callaudiod.py"))); }
    static std::string stand_in(std::string const& name)
    {
        return testing_support::source_dir() + "/tests/phone-mm/" + name;
    }
    void mm(std::string const& method, std::string const& arguments)
    {
        auto const r = buses.call(MODEM_MANAGER, "org.freedesktop.DBus.Mock." + method + " " + arguments, "--system");
        ASSERT_EQ(r.exit_code, 0) << method << " " << arguments << ": " << r.error;
    }

    // The notifier service, ready once it watches and (with ModemManager there) has read its calls.
    void start_service(bool expect_modem_manager)
    {
        run("(" + testing_support::bin_dir() + "/ravelin-notifier; echo $? >" + dir + "/service-exit) >" + dir
            + "/service.txt 2>&1 </dev/null &");
        std::string const ready
            = expect_modem_manager ? "following the calls of ModemManager" : "ravelin-notifier: watching";
        ASSERT_TRUE(wait_for([&] { return service_log().find(ready) != std::string::npos; })) << service_log();
        service_pid = first_line(testing_support::read_file(RegistryStore::instance().path() + "-notifier.lock"));
        ASSERT_FALSE(service_pid.empty());
    }
    // Stops the service; it must end cleanly.
    void stop_service()
    {
        if (service_pid.empty())
            return;
        run("kill " + service_pid);
        std::string const exit_file = dir + "/service-exit";
        EXPECT_TRUE(wait_for([&] { return testing_support::file_exists(exit_file); }));
        EXPECT_EQ(first_line(testing_support::read_file(exit_file)), "0") << service_log();
        service_pid.clear();
    }
};

// One call as published; Ann's incoming call unless told otherwise.
Published call(uint32_t status, LineCallState line, int32_t kind = 0, std::u16string number = ANN_NUMBER,
    std::u16string name = u"Ann Lee", LineCallDirection direction = LineCallDirection::INCOMING)
{
    return { 1, status, number, name, kind, line, direction };
}
Published const ANN_TALKING = call(STATUS_TALKING, LineCallState::CONNECTED, phone::CALL_INCOMING);

TEST_F(PhoneServiceTest, AnOutgoingCallAndANumberThatArrivesLate)
{
    start_modem_manager();
    mm("AddModem", "0");
    start_service(true);
    mm("AddCall", "0 2 2 1 '555 0100'");
    auto const out = [](uint32_t status, LineCallState line, int32_t kind = 0) {
        return call(status, line, kind, u"555 0100", u"", LineCallDirection::OUTGOING);
    };
    expect_published(out(STATUS_DIALING, LineCallState::DIALING), "dialing");
    mm("SetCallState", "2 4 3");
    expect_published(out(STATUS_TALKING, LineCallState::CONNECTED, phone::CALL_OUTGOING), "answered");
    mm("SetCallState", "2 7 4");
    mm("DeleteCall", "0 2");
    expect_published({}, "ended");

    mm("AddCall", "0 3 1 3 ''");
    expect_published(call(STATUS_RINGING, LineCallState::OFFERING, 0, u"", u""), "ringing without a number");
    mm("SetCallNumber", "3 '020 7946 0000'");
    mm("SetCallState", "3 4 3");
    expect_published(call(STATUS_TALKING, LineCallState::CONNECTED, phone::CALL_INCOMING, u"020 7946 0000"),
        "the number came, then the answer");
}

TEST_F(PhoneServiceTest, CallsOnTwoModemsAndModemManagerLeavingMidCall)
{
    start_modem_manager();
    mm("AddModem", "0");
    mm("AddCall", "0 1 1 4 '+44 20 7946 0000'");
    // A call in progress when the service starts is published as it is, without a moment of no call.
    start_service(true);
    expect_published(ANN_TALKING, "in progress");
    mm("AddModem", "1");
    mm("AddCall", "1 2 1 6 '555 0100'");
    auto both = call(STATUS_TALKING | STATUS_RINGING, LineCallState::CONNECTED, phone::CALL_INCOMING);
    both.count = 2;
    expect_published(both, "a second call waits on the second modem");
    mm("SetCallState", "1 7 4");
    expect_published(call(STATUS_RINGING, LineCallState::OFFERING, 0, u"555 0100", u""), "the first call ended");
    mm("SetCallState", "2 4 3");
    mm("RemoveModem", "1");
    expect_published({}, "the second modem went away");

    mm("AddCall", "0 3 1 4 '+44 20 7946 0000'");
    expect_published(ANN_TALKING, "talking again");
    buses.end_mock("--system", MODEM_MANAGER);
    expect_published({}, "ModemManager left");
    EXPECT_NE(service_log().find("ModemManager left the system bus"), std::string::npos);
}

TEST_F(PhoneServiceTest, WithoutModemManagerTheSimulatorsCallStands)
{
    start_service(false);
    PhoneSimulator simulator;
    std::string problem;
    ASSERT_TRUE(simulator.ring(ANN_NUMBER, u"", problem) && simulator.answer(problem)) << problem;
    expect_published(ANN_TALKING, "the simulator's call");
    // Speaker requests are left to the simulator's serve: the service sees the request and leaves it.
    ASSERT_TRUE(open_phone_devices()->set_speaker(0, true));
    EXPECT_TRUE(wait_for([&] { return service_log().find("left to the phone simulator") != std::string::npos; }))
        << service_log();
    EXPECT_TRUE(simulator.carry_out_requests());
    start_modem_manager();
    // ModemManager, once there, tells the truth: no call.
    expect_published({}, "ModemManager came without calls");
    simulator.hangup(problem);
}

TEST_F(PhoneServiceTest, TheSpeakerIsSwitchedThroughCallaudiodAndFollowsIt)
{
    start_modem_manager();
    start_call_audio();
    start_service(true);
    ASSERT_TRUE(wait_for([&] { return service_log().find("through callaudiod") != std::string::npos; }));
    auto devices = open_phone_devices();
    for (bool on : { true, false }) {
        ASSERT_TRUE(devices->set_speaker(0, on));
        EXPECT_TRUE(wait_for([&] { return phone::is_speaker_on() == on; })) << on;
        EXPECT_FALSE(read_dword(RegistryStore::instance(), MACHINE, PHONE_DEVICE_KEY, SPEAKER_REQUEST));
    }
    auto const calls = buses.calls(CALL_AUDIO, "EnableSpeaker");
    auto const on = calls.find("[<true>]"), off = calls.find("[<false>]");
    EXPECT_TRUE(on != std::string::npos && off != std::string::npos && on < off) << calls;
    // Switched elsewhere (the dialler's own button), the speaker state follows.
    buses.call(CALL_AUDIO,
        "org.freedesktop.DBus.Mock.UpdateProperties org.mobian_project.CallAudio \"{'SpeakerState': <uint32 1>}\"");
    EXPECT_TRUE(wait_for([] { return phone::is_speaker_on(); }));
}

TEST_F(PhoneServiceTest, WithoutCallaudiodASpeakerRequestIsDropped)
{
    start_modem_manager();
    start_service(true);
    ASSERT_TRUE(open_phone_devices()->set_speaker(0, true));
    EXPECT_TRUE(
        wait_for([&] { return !read_dword(RegistryStore::instance(), MACHINE, PHONE_DEVICE_KEY, SPEAKER_REQUEST); }));
    EXPECT_FALSE(phone::is_speaker_on());
    EXPECT_TRUE(wait_for([&] { return service_log().find("is dropped") != std::string::npos; })) << service_log();
}

} // namespace
