#include "../audio/AudioTestSupport.h"

#include <document/Document.h>
#include <os/Paths.h>
#include <os/Registry.h>
#include <platform/phone/phone_simulator.h>
#include <platform/phone/phone_state.h>
#include <platform/services/notifications.h>
#include <platform/services/registry_values.h>

using namespace document;
using core::String;
using core::StringView;
using testing_support::LogCapture;

namespace {

std::vector<uint8_t> const PHOTO = { 0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0 };

// The Document as the program runs it, with the simulator's phone, the vCard folder of one contact, a
// microphone of 20 s of tone in real time, and the window and the quit of the program stood in for.
class CallRecordingTest : public ::testing::Test {
protected:
    core::CActiveScheduler scheduler { u"CallRecordingTestClass" };
    platform::PhoneSimulator phone;
    std::string problem;
    bool window_active = false;
    int quits = 0;
    std::unique_ptr<Document> document;

    void SetUp() override
    {
        std::filesystem::remove_all(testing_support::test_home() + "/Documents");
        phone.hangup(problem);
        std::string const contacts = testing_support::fresh_dir("contacts");
        setenv("RAVELIN_CONTACTS", contacts.c_str(), 1);
        testing_support::write_file(contacts + "/ann.vcf",
            "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Ann Lee\r\nTEL;TYPE=cell:+44 20 7946 0000\r\n"
            "PHOTO:data:image/jpeg;base64,/9j/4AAQSkZJRgA=\r\nEND:VCARD\r\n");
        platform::select_wave_input("file:" + testing_support::wav_file(testing_support::tone(20)));
        platform::select_wave_output("none");

        Document::Services services;
        services.play_sound = [](StringView) {};
        services.window_active = [this] { return window_active; };
        services.quit = [this] { ++quits; };
        services.ensure_notifier = [] { return true; };
        document = std::make_unique<Document>(std::move(services));
    }
    void TearDown() override
    {
        document.reset();
        phone.hangup(problem);
        platform::select_wave_input("none");
        unsetenv("RAVELIN_CONTACTS");
    }

    bool run_until(std::function<bool()> const& done, double seconds = 3)
    {
        return testing_support::run_messages_for(done, seconds);
    }
    // An answered incoming call from `number`.
    void answered_call(char16_t const* number)
    {
        phone.ring(number, u"", problem);
        phone.answer(problem);
    }
    bool recording() const { return document->is_recording(); }
    String store() const { return os::expand_path(u"%my_documents%/My Ravelin"); }
};

struct CallCase {
    char const* name;
    bool incoming;
    char16_t const* number;
    char16_t const* folder;
    char16_t const* artist;
};

class CallKinds : public CallRecordingTest, public ::testing::WithParamInterface<CallCase> { };

TEST_P(CallKinds, AnAnsweredCallIsRecordedUnderTheCallerUntilItEnds)
{
    auto const& c = GetParam();
    document->set_auto_record(true);
    LogCapture log;
    if (c.incoming)
        phone.ring(c.number, u"", problem);
    else
        phone.dial(c.number, u"", problem);
    EXPECT_FALSE(run_until([&] { return recording(); }, 0.4)); // ringing or dialling is no call
    phone.answer(problem);
    ASSERT_TRUE(run_until([&] { return recording(); }));
    EXPECT_TRUE(document->is_call_recording());
    String const path = document->current().path;
    EXPECT_EQ(os::directory_part(path), os::join(store(), c.folder) + u"/");
    EXPECT_TRUE(os::file_name(path).starts_with(String(c.artist) + u" "));
    EXPECT_TRUE(log.contains(u"on_call_start "));

    phone.hangup(problem);
    ASSERT_TRUE(run_until([&] { return !recording(); }));
    EXPECT_FALSE(document->is_call_recording());
    EXPECT_TRUE(log.contains("on_call_stop\n"));
    auto const tag = audio_test::tag_of(core::to_utf8(path));
    EXPECT_EQ(std::tuple(tag.text("TPE1"), tag.text("TALB"), audio_test::has_picture(tag, PHOTO)),
        std::tuple(String(c.artist), String(c.folder), String(c.artist) == u"Ann Lee"));
    EXPECT_EQ(quits, 0);
}

INSTANTIATE_TEST_SUITE_P(Calls, CallKinds,
    ::testing::Values(CallCase { "FromAContact", true, u"020 7946 0000", u"Incoming", u"Ann Lee" },
        CallCase { "ToANumber", false, u"555 0100", u"Outgoing", u"555 0100" },
        CallCase { "Withheld", true, u"", u"Incoming", u"Record" }),
    [](auto const& info) { return info.param.name; });

TEST_F(CallRecordingTest, TheSpeakerSettingSwitchesTheSpeakerphoneAroundTheRecording)
{
    document->set_auto_record(true);
    document->set_speaker(true);
    answered_call(u"555 0100");
    ASSERT_TRUE(run_until([&] { return recording(); }));
    EXPECT_TRUE(phone.carry_out_requests());
    EXPECT_TRUE(phone.state().speaker);
    EXPECT_TRUE(run_until([&] { return document->speaker_on(); }));

    // The end of the call stops the recording, which asks for the speakerphone to go off.
    phone.hangup(problem);
    ASSERT_TRUE(run_until([&] { return !recording(); }));
    EXPECT_EQ(platform::read_dword(platform::RegistryStore::instance(), platform::RegistryRoot::LOCAL_MACHINE,
                  platform::PHONE_DEVICE_KEY, platform::SPEAKER_REQUEST),
        std::optional<uint32_t>(0));
    EXPECT_TRUE(phone.carry_out_requests());
    EXPECT_FALSE(phone.state().speaker);
}

TEST_F(CallRecordingTest, AProgramStartedForACallQuitsAfterItUnlessBroughtToTheFront)
{
    document->set_auto_record(true);
    LogCapture log;
    for (bool front : { false, true }) {
        window_active = front;
        quits = 0;
        // Started with "call" while a call talks: the recording begins at once.
        answered_call(u"+44 20 7946 0000");
        document->on_command(u"call");
        document->set_started_for_call(true);
        ASSERT_TRUE(recording());
        EXPECT_EQ(document->current().artist, u"Ann Lee");
        // The call monitor sees the call too: the recording runs already, nothing new starts.
        ASSERT_TRUE(run_until([&] { return log.contains(u"on_call_start "); }));
        log.clear();
        phone.hangup(problem);
        ASSERT_TRUE(run_until([&] { return !recording(); }));
        EXPECT_TRUE(run_until([&] { return !document->started_for_call(); }));
        EXPECT_EQ(quits, front ? 0 : 1);
    }
}

// Every start renews the registration with the stored choice: one left over from a run that ended before
// "AutoRecord" was stored off (by the command-line companion, say) goes.
TEST_F(CallRecordingTest, AStartWithAutoRecordStoredOffTakesTheRegistrationAway)
{
    document->set_auto_record(true);
    ASSERT_EQ(platform::open_app_notifications()->registered().size(), 1u);
    os::reg_set_dword(document::PRODUCT_KEY, u"AutoRecord", 0);
    document->load_secondary_things();
    EXPECT_TRUE(platform::open_app_notifications()->registered().empty());
}

} // namespace
