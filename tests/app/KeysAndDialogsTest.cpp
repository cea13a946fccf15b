#include "AppTestSupport.h"

#include <app/Program.h>
#include <app/Starter.h>
#include <document/Document.h>
#include <functional>
#include <os/FileInfo.h>
#include <screens/FormConfirmation.h>
#include <screens/FormMain.h>
#include <skin/widgets/ButtonElement.h>
#include <skin/widgets/VListElement.h>

using namespace app_test;
using platform::VK_F1;

namespace {

class KeysAndDialogsTest : public ::testing::Test {
protected:
    void SetUp() override { use_test_data(); }
    void TearDown() override
    {
        program.reset();
        setenv("RAVELIN_AUDIO_IN", "none", 1);
        testing_support::drain_messages();
    }
    // The program with its main screen up, and (with `microphone`) 20 s of speech to record.
    void start(bool microphone = false)
    {
        if (microphone)
            setenv("RAVELIN_AUDIO_IN",
                ("file:" + testing_support::wav_file(testing_support::tone(20, 16000), 16000)).c_str(), 1);
        program = std::make_unique<app::Program>(u"");
        ASSERT_TRUE(pump(app(), 3000, [&] { return program->starter().main_form() != nullptr; }));
        pump(app(), 100);
    }
    app::Application& app() { return program->application(); }
    screens::FormMain& main() { return *program->starter().main_screen(); }
    platform::HeadlessDisplay& display() { return headless(app()); }
    skin::Form* top() { return app().form_stack().top(); }
    // Pumps until `done`, for at most two seconds.
    bool until(std::function<bool()> const& done) { return pump(app(), 2000, done); }
    void press(uint32_t key) { display().key(key, true), display().key(key, false); }
    void tap(skin::Element const& element)
    {
        auto const middle = element.position() + skin::Point { element.size().x / 2, element.size().y / 2 };
        display().pen_down(middle.x, middle.y), display().pen_up(middle.x, middle.y);
    }

    std::unique_ptr<app::Program> program;
};

} // namespace

// Each key of the documentation, through the window's messages, on the screen it acts on.
TEST_F(KeysAndDialogsTest, EveryDocumentedKeyDoesWhatItSays)
{
    struct Row {
        char const* what;
        std::function<void()> before;
        std::vector<uint32_t> keys;
        std::function<bool()> done;
    };
    start();
    auto& menu = main().menu();
    auto& edit = main().recording().edit_dialog();
    auto& view = main().view();
    auto open_edit = [&] {
        edit.set_text(u"Old name");
        edit.show();
        display().text(u"New");
    };
    auto open_menu = [&] { menu.open(u"MainMenu", u"", screens::PageOpening::SHOW_MENU); };
    auto open_settings = [&] { open_menu(), menu.open(u"Settings", u"", screens::PageOpening::IN_PLACE); };
    Row const rows[] = {
        { "F2 opens the menu", [] {}, { VK_F1 + 1 }, [&] { return menu.is_open(); } },
        { "Backspace goes back a page", open_settings, { platform::VK_BACK },
            [&] { return menu.is_open() && menu.page() == u"MainMenu"; } },
        { "End shows the last row", open_settings, { platform::VK_END },
            [&] {
                double row_top = 0, height = 0;
                return menu.list().row_place(menu.list().count() - 1, row_top, height)
                    && row_top + height <= menu.list().size().y;
            } },
        { "Escape closes the filter",
            [&] {
                tap(*main().form().find_child(u"btnFilter"));
                ASSERT_TRUE(until([&] { return main().filter_open(); }));
            },
            { platform::VK_ESCAPE }, [&] { return !main().filter_open(); } },
        { "Escape cancels a question", [&] { main().confirm_delete(); }, { platform::VK_ESCAPE },
            [&] { return !main().confirmation().is_shown(); } },
        { "F4 closes a message", [&] { main().error().show(u"Something"); }, { VK_F1 + 3 },
            [&] { return !main().error().is_shown(); } },
        { "Enter confirms the name", open_edit, { platform::VK_RETURN },
            [&] { return !edit.is_shown() && main().recording().name() == u"New"; } },
        { "Backspace in the name deletes", open_edit, { platform::VK_BACK },
            [&] { return edit.is_shown() && edit.text() == u"Ne"; } },
        { "Escape cancels the name", open_edit, { platform::VK_ESCAPE },
            [&] { return !edit.is_shown() && main().recording().name() == u"New"; } },
        { "F6 raises the volume", [&] { view.open(); }, { VK_F1 + 5, VK_F1 + 5 },
            [&] { return std::abs(program->document().settings().volume - 0.7) < 0.01; } },
        { "F7 lowers it", [&] { view.open(); }, { VK_F1 + 6 },
            [&] { return std::abs(program->document().settings().volume - 0.4) < 0.01; } },
        { "Escape leaves the playback screen", [&] { view.open(); }, { platform::VK_ESCAPE },
            [&] { return !view.is_shown() && top() == &main().form(); } },
    };
    program->document().set_volume(0.5);
    for (auto const& row : rows) {
        SCOPED_TRACE(row.what);
        row.before();
        for (uint32_t key : row.keys)
            press(key);
        EXPECT_TRUE(until(row.done));
        menu.close();
        main().confirmation().close();
        main().error().close();
        edit.close();
        view.close();
        program->document().set_volume(0.5);
        pump(app(), 50);
    }
}

TEST_F(KeysAndDialogsTest, ClosingWhileRecordingAsksAndOkStopsKeepsTheFileAndCloses)
{
    start(true);
    auto& document = program->document();
    ASSERT_TRUE(document.record(false, {}, {}, phone::CALL_NONE));
    core::String const path = document.current().path;
    ASSERT_TRUE(until([&] { return top() == &main().recording().form(); }));
    auto* question = program->starter().close_question();
    ASSERT_NE(question, nullptr);

    // Cancel keeps recording, and the window.
    for (bool ok : { false, true }) {
        display().close();
        ASSERT_TRUE(until([&] { return question->is_shown(); }));
        EXPECT_EQ(question->text(), program->starter().main_properties().translate(u"Confirm_close_recording"));
        tap(ok ? *question->ok_button() : *question->cancel_button());
        if (ok)
            break;
        ASSERT_TRUE(until([&] { return !question->is_shown(); }));
        EXPECT_TRUE(document.is_recording() && platform::is_window(app().window()));
    }
    EXPECT_TRUE(until([&] { return !platform::is_window(app().window()); }));
    EXPECT_TRUE(!document.is_recording() && os::FileInfo(path).size() > 0);
}

TEST_F(KeysAndDialogsTest, TheSecondPressOfADoubleTapOnRecordDoesNotPause)
{
    start(true);
    auto* record = main().form().find_child(u"btnRecord");
    ASSERT_NE(record, nullptr);
    tap(*record);
    tap(*record);
    ASSERT_TRUE(until([&] { return top() == &main().recording().form(); }));
    // The second tap was queued behind the first: it has been handled once the queue is empty.
    pump(app(), 100);
    EXPECT_TRUE(program->document().is_recording() && !program->document().is_paused());
    program->document().stop();
}
