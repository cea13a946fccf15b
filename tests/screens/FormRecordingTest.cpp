#include "ScreensTestSupport.h"

#include <os/FileInfo.h>
#include <screens/ScreenTexts.h>
#include <skin/widgets/EditElement.h>
#include <skin/widgets/ProgressElement.h>

using namespace screens_test;

namespace {

class FormRecordingTest : public ScreensTest {
protected:
    screens::FormRecording& recording() { return main->recording(); }
    skin::Form& form() { return recording().form(); }
    String text(StringView id) { return ScreensTest::text(form(), id); }
    String speaker_buttons() { return visible(form(), { u"btnSpeakerOn", u"btnSpeakerOff" }); }
    // Starts a recording from the main screen's button, as the user does.
    void record(double seconds, skin::Point screen = { 480, 640 }, int32_t dpi = 192)
    {
        use_tone_input(seconds, true);
        start(screen, dpi);
        tap(element(main->form(), u"btnRecord"));
        ASSERT_TRUE(document->is_recording());
        ASSERT_EQ(top(), &form());
        run_until([] { return platform::wave_input_ended(); });
        settle();
    }
};

TEST_F(FormRecordingTest, ShowsTheRunningRecordingWithTheTimeLeftAndStopsBackToTheList)
{
    record(2.5);
    document::RecordInfo const& info = document->current();
    EXPECT_EQ(text(u"frmArtist") + u" " + text(u"frmElapsed") + u"|" + recording().name(),
        u"Voice note 0:00:02|" + info.title);
    // Outside a talking call neither speaker button shows.
    EXPECT_EQ(
        visible(form(), { u"btnPause", u"btnResume", u"btnSpeakerOn", u"btnSpeakerOff", u"BoostOn" }), u"btnPause ");
    save("recording-480x640");
    // The time left is the free space the Document tells, at the recording's bit rate.
    main_free = 90.0 * info.bit_rate / 8;
    settle();
    EXPECT_EQ(text(u"frmLeft"), u"0:01:30");
    // A new skin (a turned screen) rebuilds the form around the same recording.
    harness->properties().send_reload_skin();
    settle();
    EXPECT_EQ(top(), &form());
    // The name made from the start reads short, as on its row; the name dialog still gets the whole title.
    EXPECT_EQ(text(u"frmArtist") + u" " + text(u"frmElapsed") + u"|" + button_text(form(), u"btnName") + u"|"
            + recording().name(),
        u"Voice note 0:00:02|Sun 6 Dec, 10:15|" + info.title);

    tap(element(form(), u"btnClose"));
    EXPECT_TRUE(!document->is_recording() && top() == &main->form() && main->list().count() == 1);
    EXPECT_EQ(document->records()[0].path, info.path);
    // A second note of the same minute reads with its seconds, as its row does.
    use_tone_input(1, true);
    tap(element(main->form(), u"btnRecord"));
    settle();
    EXPECT_EQ(button_text(form(), u"btnName"), u"Sun 6 Dec, 10:15:30");
    tap(element(form(), u"btnClose"));
    tap(element(main->form(), u"btnFilter"));
    tap(element(main->form(), u"button7"));
    EXPECT_EQ(main->list().count(), 2); // "Record"
}

TEST_F(FormRecordingTest, ARecordingThatCannotStartIsReported)
{
    platform::select_wave_input("none");
    start();
    press(skin::KEY_SOFT_LEFT);
    EXPECT_TRUE(!document->is_recording() && document->records().empty());
    ASSERT_EQ(top(), &main->error().form());
    EXPECT_EQ(main->error().text(), harness->properties().translate(u"Sorry_no_microphone"));
    EXPECT_NE(main->error().text(), u"Sorry_no_microphone");
}

TEST_F(FormRecordingTest, ARenameSurvivesPauseAndReachesTheFileOnlyAtStop)
{
    record(0.5);
    String const path = document->current().path;
    tap(element(form(), u"btnName"));
    screens::FormEdit& edit = recording().edit_dialog();
    ASSERT_EQ(top(), &edit.form());
    EXPECT_TRUE(host->edit_ == &edit.edit() && edit.edit().text() == recording().name());
    // The first character replaces the whole name.
    type(u"Meeting: Thursday");
    EXPECT_EQ(edit.text(), u"Meeting: Thursday");
    save("edit-480x640");
    tap(*edit.ok_button());
    EXPECT_TRUE(top() == &form() && host->edit_ == nullptr);
    EXPECT_EQ(recording().name(), u"Meeting: Thursday");

    tap(element(form(), u"btnPause"));
    EXPECT_TRUE(document->is_paused() && document->current().path == path && os::FileInfo(path).exists());
    EXPECT_EQ(visible(form(), { u"btnPause", u"btnResume" }) + recording().name(), u"btnResume Meeting: Thursday");

    // Cancel leaves the caption as it was.
    tap(element(form(), u"btnName"));
    type(u"x");
    tap(*edit.cancel_button());
    EXPECT_EQ(recording().name(), u"Meeting: Thursday");

    tap(element(form(), u"btnClose"));
    EXPECT_TRUE(!os::FileInfo(path).exists() && os::FileInfo(document->current().path).exists());
    EXPECT_EQ(os::file_name(document->current().path) + u"|" + document->records()[0].title,
        u"Record Meeting  Thursday.mp3|Meeting: Thursday");
}

TEST_F(FormRecordingTest, ANameGivenBeforeAStopFromElsewhereIsStillApplied)
{
    record(0.3);
    tap(element(form(), u"btnName"));
    type(u"Call with Ann");
    tap(*recording().edit_dialog().ok_button());
    // A call that ends, an error or the program's exit stops the recording without "btnClose".
    document->stop();
    settle();
    EXPECT_TRUE(top() == &main->form() && os::FileInfo(document->current().path).exists());
    EXPECT_EQ(document->current().title, u"Call with Ann");
}

TEST_F(FormRecordingTest, ANewRecordingClosesTheFilterAndTheSpeakerButtonsFollowTheCall)
{
    add_record(u"Zed", u"1");
    use_tone_input(0.3, true);
    start();
    tap(element(main->form(), u"btnFilter"));
    tap(element(main->form(), u"button2"));
    ASSERT_EQ(main->list().count(), 0);
    press(skin::KEY_SOFT_LEFT);
    ASSERT_EQ(top(), &form());
    EXPECT_TRUE(!main->filter_open() && main->list().count() == 2);

    char16_t const* phone = u"HKEY_LOCAL_MACHINE\\System\\State\\Phone";
    os::reg_set_dword(phone, u"Active Call Count", 1);
    os::reg_set_dword(phone, u"Status", 0x20000000);
    run_until([&] { return document->in_call(); }, 2);
    settle();
    EXPECT_EQ(speaker_buttons(), u"btnSpeakerOn ");
    save("recording-call-480x640");
    tap(element(form(), u"btnSpeakerOn"));
    bool stored = false;
    EXPECT_TRUE(os::reg_get_bool(document::PRODUCT_KEY, u"Speaker", &stored) && stored && document->settings().speaker);
    // The phone is asked for its speaker at once; the publisher carries the request out.
    uint32_t request = 0;
    EXPECT_TRUE(os::reg_get_dword(u"HKEY_LOCAL_MACHINE\\System\\Telephony\\Phone", u"Speaker Request", request));
    EXPECT_EQ(request, 1u);
    os::reg_set_dword(phone, u"Active Call Count", 0);
    run_until([&] { return !document->in_call(); }, 2);
    EXPECT_EQ(speaker_buttons(), u"");
    for (auto name : { u"Active Call Count", u"Status" })
        platform::RegistryStore::instance().remove_value(
            platform::RegistryRoot::LOCAL_MACHINE, u"System\\State\\Phone", name);
}

TEST_F(FormRecordingTest, TheVoiceActivationSliderAtBothEdgesIsSavedOnRelease)
{
    record(0.3);
    auto& slider = element(form(), u"btnVAS");
    auto& bar = element<skin::ProgressElement>(form(), u"pbVAS");
    int32_t const middle = slider.position().y + slider.size().y / 2, right = slider.position().x + slider.size().x;
    harness->pen_down({ slider.position().x + slider.size().x / 2, middle });
    harness->pen_move({ slider.position().x, middle });
    EXPECT_EQ(std::pair(bar.value(), document->settings().vas_level), std::pair(0.0, 0.0));
    harness->pen_move({ right + 40, middle });
    EXPECT_EQ(std::pair(bar.value(), document->settings().vas_level), std::pair(1.0, 1.0));
    uint32_t stored = 0;
    os::reg_get_dword(document::PRODUCT_KEY, u"VasLevel", stored);
    EXPECT_EQ(stored, 0u);
    harness->pen_up({ right + 40, middle });
    ASSERT_TRUE(os::reg_get_dword(document::PRODUCT_KEY, u"VasLevel", stored));
    EXPECT_EQ(stored, document::to_fixed(1.0));
}

TEST_F(FormRecordingTest, TheBoostMenuChecksTheSettingAndChangesIt)
{
    record(0.3);
    tap(element(form(), u"btnBoost"));
    screens::Menu& menu = recording().menu();
    ASSERT_TRUE(menu.is_open());
    ASSERT_EQ(menu.items().size(), 5u);
    // "No boost", the setting, is checked as the chosen level.
    EXPECT_TRUE(menu.items()[0].style.empty() && menu.items()[0].checked && !menu.items()[2].checked);
    save("boost-menu-480x640");
    tap_row(menu.list(), 2);
    EXPECT_FALSE(menu.is_open());
    EXPECT_EQ(document->settings().boost + u" " + registry_text(u"Boost") + u" "
            + visible(form(), { u"BoostOn", u"BoostOff" }),
        u"Boost2 Boost2 BoostOn ");

    tap(element(form(), u"btnBoost"));
    EXPECT_TRUE(menu.items()[2].checked && menu.items()[0].style.empty());
    tap_row(menu.list(), 4); // Cancel
    EXPECT_TRUE(!menu.is_open() && document->settings().boost == u"Boost2");
}

} // namespace
