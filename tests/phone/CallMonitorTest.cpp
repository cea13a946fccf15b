#include <TestSupport.h>
#include <os/Registry.h>
#include <phone/AppNotification.h>
#include <phone/CallMonitorImpl.h>
#include <phone/LineApp.h>
#include <phone/PhoneControl.h>
#include <phone/PhoneState.h>
#include <platform/phone/contacts.h>
#include <platform/phone/phone_devices.h>
#include <platform/phone/phone_simulator.h>
#include <platform/phone/phone_state.h>
#include <platform/phone/telephony_line.h>
#include <platform/services/notifications.h>
#include <platform/services/registry_values.h>

using namespace phone;
using core::String;
using testing_support::LogCapture;

namespace {

constexpr auto MACHINE = platform::RegistryRoot::LOCAL_MACHINE;

struct Heard {
    bool start = false;
    String name, number;
    CallKind kind = CALL_NONE;
    bool operator==(Heard const&) const = default;
};

class CallMonitorTest : public ::testing::Test, public CallListener {
protected:
    core::CActiveScheduler scheduler { u"CallMonitorTestClass" };
    platform::RegistryStore& store = platform::RegistryStore::instance();
    platform::PhoneSimulator phone { store };
    std::string problem;
    std::vector<Heard> heard;

    void SetUp() override
    {
        phone.hangup(problem);
        platform::write_text(store, MACHINE, platform::LINE_KEY, platform::LINE_NAME, platform::CELLULAR_LINE);
    }
    void on_call_start(core::StringView name, core::StringView number, CallKind kind) override
    {
        heard.push_back({ true, String(name), String(number), kind });
    }
    void on_call_stop() override { heard.push_back({}); }

    // Runs the poll until `count` events were heard, or `seconds` passed; then the starts and stops heard.
    std::string run_until_heard(size_t count, double seconds = 3)
    {
        testing_support::run_messages_for([&] { return heard.size() >= count; }, seconds);
        std::string told;
        for (auto const& h : heard)
            told += h.start ? '+' : '-';
        return told;
    }
    // The kind of the call and its name, as the registry tells them or, when `current`, as the line does.
    static std::pair<CallKind, String> call_info(bool current = false)
    {
        String name = u"kept", number;
        CallKind const kind = current ? get_current_call_info(name, number) : get_call_info(name, number);
        return { kind, name };
    }
};

TEST_F(CallMonitorTest, RingingIsNoCallAndAnsweringIsOneStartAndHangingUpOneStop)
{
    CallMonitorImpl monitor(this);
    LogCapture log;
    phone.ring(u"+44 20 7946 0000", u"Ann Lee", problem);
    EXPECT_EQ(run_until_heard(1, 0.35), "");
    phone.answer(problem);
    run_until_heard(1);
    EXPECT_EQ(heard, (std::vector<Heard> { { true, u"Ann Lee", u"+44 20 7946 0000", CALL_INCOMING } }));
    EXPECT_TRUE(log.contains_all({ "CallMonitorImpl call=true ", "TAPI ret=1\n" }));
    // Held and resumed: the same call goes on, nothing is told.
    phone.hold(problem);
    run_until_heard(2, 0.35);
    phone.hold(problem);
    EXPECT_EQ(run_until_heard(2, 0.35), "+");
    // A hangup and a new call between two polls: still the one call.
    phone.hangup(problem);
    phone.dial(u"555 0100", u"", problem);
    phone.answer(problem);
    EXPECT_EQ(run_until_heard(2, 0.35), "+");
    phone.hangup(problem);
    EXPECT_EQ(run_until_heard(2), "+-");
    EXPECT_TRUE(log.contains("CallMonitorImpl call=false "));
    // A call hung up while held has ended.
    phone.dial(u"555 0101", u"", problem);
    phone.answer(problem);
    run_until_heard(3);
    phone.hold(problem);
    EXPECT_EQ(run_until_heard(4, 0.35), "+-+");
    phone.hangup(problem);
    EXPECT_EQ(run_until_heard(4), "+-+-");
}

// The state is read when the store changes, not over and over: a talking call that nothing changes is
// looked at once (each look logs the line's answer).
TEST_F(CallMonitorTest, ATalkingCallIsReadOncePerChange)
{
    CallMonitorImpl monitor(this);
    phone.ring(u"555 0100", u"Ann Lee", problem);
    phone.answer(problem);
    ASSERT_EQ(run_until_heard(1), "+");
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
    os::reg_set_dword(u"HKEY_CURRENT_USER\\Software\\CallMonitorTest", u"Other", platform::tick_count());
    EXPECT_TRUE(testing_support::run_messages_for([&] { return log.contains("TAPI ret="); }, 3));
    phone.hangup(problem);
    EXPECT_EQ(run_until_heard(2), "+-");
}

TEST_F(CallMonitorTest, TheRegistryNameWinsAndAnUnknownLineGivesKind3)
{
    phone.dial(u"555 0100", u"", problem);
    phone.answer(problem);
    // The registry has the number but no name; the line has both.
    os::reg_set_string(PHONE_STATE_KEY, u"Caller Name", u"");
    platform::write_text(store, MACHINE, platform::LINE_KEY, platform::LINE_PARTY_NAME, u"Line Name");
    EXPECT_EQ(call_info(), std::pair(CALL_OUTGOING, String(u"Line Name")));
    os::reg_set_string(PHONE_STATE_KEY, u"Caller Name", u"Registry Name");
    EXPECT_EQ(call_info(), std::pair(CALL_OUTGOING, String(u"Registry Name")));
    platform::write_text(store, MACHINE, platform::LINE_KEY, platform::LINE_NAME, u"Data Line");
    EXPECT_EQ(call_info().first, CALL_UNKNOWN_DIRECTION);
}

TEST_F(CallMonitorTest, OnlyAConnectedVoiceCallHasADirectionAndTextsAreCut)
{
    phone.ring(u"555 0100", String(300, u'N'), problem);
    EXPECT_EQ(call_info(true), std::pair(CALL_NONE, String(u"kept"))) << "ringing";
    phone.answer(problem);
    EXPECT_EQ(call_info(true), std::pair(CALL_INCOMING, String(255, u'N')));
    EXPECT_EQ(call_info(), std::pair(CALL_INCOMING, String(255, u'N')));
    platform::write_dword(store, MACHINE, platform::LINE_KEY, platform::LINE_MEDIA, 2); // data
    EXPECT_EQ(call_info(true).first, CALL_NONE);
    platform::write_dword(store, MACHINE, platform::LINE_KEY, platform::LINE_MEDIA, 1);
    phone.hold(problem);
    EXPECT_EQ(
        std::tuple(call_info(true).first, is_talking(), call_info().first), std::tuple(CALL_NONE, false, CALL_NONE));
    // A registry value of the wrong type counts as none.
    os::reg_set_string(PHONE_STATE_KEY, u"Active Call Count", u"1");
    EXPECT_FALSE(is_call_active());
}

TEST_F(CallMonitorTest, RegisteringTheCallNotificationTwiceSucceeds)
{
    stop_app_notification(CALL_NOTIFICATION); // a recording case before this one may have left it registered
    LogCapture log;
    EXPECT_TRUE(set_app_notification(CALL_NOTIFICATION, u"\"/bin/ravelin\" call"));
    EXPECT_TRUE(set_app_notification(CALL_NOTIFICATION, u"\"/bin/ravelin\" call"));
    EXPECT_TRUE(log.contains_all({ "set_app_notification Ravelin.Call \"/bin/ravelin\" call\n",
        "set_app_notification fun good\nset_app_notification result=0\n",
        "set_app_notification result=" + std::to_string(ALREADY_REGISTERED) + "\n" }));
    EXPECT_TRUE(stop_app_notification(CALL_NOTIFICATION));
    EXPECT_TRUE(stop_app_notification(CALL_NOTIFICATION));
    EXPECT_TRUE(log.contains("stop_app_notification Ravelin.Call\nstop_app_notification fun good\n"));
    EXPECT_TRUE(platform::open_app_notifications()->registered().empty());
}

struct CountingDevices final : platform::PhoneDevices {
    size_t count = 0;
    size_t device_count() override { return count; }
    bool set_speaker(size_t, bool) override { return ++calls, true; }
    static inline int calls = 0;
};

class Contacts final : public ContactListener {
public:
    std::vector<std::pair<char, uint32_t>> told;
    std::vector<Contact> created;
    void on_contact_created(Contact const& c) override { created.push_back(c), told.emplace_back('+', c.oid); }
    void on_contact_changed(uint32_t oid) override { told.emplace_back('~', oid); }
    void on_contact_deleted(uint32_t oid) override { told.emplace_back('-', oid); }
};

TEST(PhoneControl, ContactsPicturesAndTheSpeakerphone)
{
    std::string const folder = testing_support::fresh_dir("phone-contacts");
    setenv("RAVELIN_CONTACTS", folder.c_str(), 1);
    testing_support::write_file(folder + "/ann.vcf",
        "BEGIN:VCARD\nVERSION:3.0\nFN:Ann Lee\nN:Lee;Ann;;;\nTEL;TYPE=WORK:020 7946 0001\nTEL;TYPE=CELL:+44 20 7946 "
        "0000\nTEL;TYPE=FAX:020 7946 0009\nEMAIL:ann@example.org\nPHOTO;ENCODING=b:/9j/4AAQ\nEND:VCARD\n");
    PhoneControl control;
    LogCapture log;
    Contact ann;
    ASSERT_TRUE(
        control.find_contact_by_phone(u"07946 0000", ann) || control.find_contact_by_phone(u"020 7946 0000", ann));
    EXPECT_EQ(ann.names, (std::array<String, 3> { u"Ann Lee", u"Ann", u"Lee" }));
    using Fields = std::vector<std::pair<ContactField, String>>;
    EXPECT_EQ(ann.fields,
        (Fields { { FIELD_MOBILE, u"+44 20 7946 0000" }, { FIELD_BUSINESS_TEL, u"020 7946 0001" },
            { FIELD_EMAIL1, u"ann@example.org" } }));
    std::vector<uint8_t> bytes;
    control.get_contact_picture(ann.oid, bytes);
    EXPECT_EQ(bytes, (std::vector<uint8_t> { 0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10 }));
    control.get_contact_picture(ann.oid + 50, bytes);
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(control.find_contact_by_phone(u"555 0199", ann));
    EXPECT_TRUE(log.contains("find_contact_by_phone: bad result\n"));

    // The change messages reach the listener, each with its log line.
    Contacts listener;
    control.set_contact_listener(&listener);
    EXPECT_EQ(control.on_pim_message(platform::PIM_ITEM_CREATED_LOCAL, ann.oid), 1);
    EXPECT_EQ(control.on_pim_message(platform::PIM_ITEM_CHANGED_LOCAL + 5, 7), 1);
    EXPECT_EQ(control.on_pim_message(platform::PIM_ITEM_DELETED_LOCAL, 8), 1);
    EXPECT_EQ(control.on_pim_message(platform::PIM_ITEM_DELETED_LOCAL + 2, 8), 0);
    EXPECT_EQ(listener.told, (std::vector<std::pair<char, uint32_t>> { { '+', ann.oid }, { '~', 7 }, { '-', 8 } }));
    EXPECT_EQ(listener.created.at(0).names[0], u"Ann Lee");
    EXPECT_TRUE(log.contains_all(
        { "PIM_ITEM_CREATED_LOCAL = " + std::to_string(ann.oid) + " ", "PIM_ITEM_DELETED_LOCAL = 8 " }));

    // A contact store that is no folder.
    setenv("RAVELIN_CONTACTS", (folder + "/ann.vcf").c_str(), 1);
    PhoneControl broken;
    EXPECT_FALSE(broken.find_contact_by_phone(u"020 7946 0000", ann));
    EXPECT_TRUE(log.contains("find_contact_by_phone: library not valid\n"));
    unsetenv("RAVELIN_CONTACTS");

    // Without phone devices the speakerphone is left alone; with two, both are switched.
    auto const devices = [](size_t count) {
        auto d = std::make_unique<CountingDevices>();
        d->count = count;
        return d;
    };
    CountingDevices::calls = 0;
    PhoneControl no_devices(devices(0), nullptr);
    no_devices.set_speakerphone(true);
    PhoneControl unusable(nullptr, nullptr);
    unusable.set_speakerphone(true);
    EXPECT_EQ(CountingDevices::calls, 0);
    PhoneControl two(devices(2), nullptr);
    two.set_speakerphone(true);
    EXPECT_EQ(CountingDevices::calls, 2);
}

} // namespace
