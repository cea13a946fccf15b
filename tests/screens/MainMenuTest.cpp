#include "ScreensTestSupport.h"

#include <lang/Dictionary.h>
#include <os/FileInfo.h>
#include <screens/FormView.h>
#include <screens/MainMenu.h>

using namespace screens_test;

namespace {

namespace fs = std::filesystem;

// Programs on the search path, for as long as this lives: each given name a script of `body`, or (by
// default) one that writes the count of its arguments and then each argument on a line into NAME.txt.
class StandIns {
public:
    explicit StandIns(std::vector<std::string> const& names, std::string const& body = "")
    {
        for (auto const& name : names) {
            testing_support::write_file(dir_ + "/" + name,
                body.empty() ? "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > \"" + dir_ + "/" + name + ".txt\"\n" : body);
            fs::permissions(dir_ + "/" + name, fs::perms::owner_all);
        }
        setenv("PATH", (dir_ + ":" + path_).c_str(), 1);
    }
    ~StandIns() { setenv("PATH", path_.c_str(), 1); }
    void only() const { setenv("PATH", dir_.c_str(), 1); }
    // What the program was given, once it has run (empty after ten seconds without it).
    std::string arguments(std::string const& name) const
    {
        std::string const file = dir_ + "/" + name + ".txt";
        testing_support::wait_until([&] { return !testing_support::read_file(file).empty(); });
        return testing_support::read_file(file);
    }

private:
    std::string dir_ = testing_support::fresh_dir("stand-ins");
    std::string path_ = std::getenv("PATH") ? std::getenv("PATH") : "";
};

bool holds_text(skin::Element const& root, StringView text)
{
    for (size_t i = 0; i < root.child_count(); ++i) {
        auto const* child = root.child(i);
        if (auto const* t = dynamic_cast<skin::TextElement const*>(child);
            (t && t->text() == text) || holds_text(*child, text))
            return true;
    }
    return false;
}

class MainMenuTest : public ScreensTest {
protected:
    screens::Menu& menu() { return main->menu(); }
    // The ids of the page's items, "|" between them.
    std::string ids()
    {
        std::string found;
        for (auto const& item : menu().items())
            found += (found.empty() ? "" : "|") + core::to_utf8(item.id);
        return found;
    }
    // A tap on a button of the menu's first row (Help, Minimize, Exit).
    void tap_row_button(StringView id)
    {
        double row_top = 0, height = 0;
        ASSERT_TRUE(menu().list().row_place(0, row_top, height));
        auto* button = menu().list().row(0)->find_child(id);
        ASSERT_NE(button, nullptr);
        // A row's elements lie in the row's own coordinates.
        tap_at(menu().list().position() + button->position()
            + skin::Point { button->size().x / 2, static_cast<int32_t>(row_top) + button->size().y / 2 });
    }
    void open_menu()
    {
        tap(element(main->form(), u"btnMenu"));
        ASSERT_EQ(top(), &menu().form());
    }
    void choose(StringView id) { ScreensTest::choose(menu(), id); }
    void path(std::initializer_list<StringView> ids)
    {
        open_menu();
        for (StringView id : ids)
            choose(id);
    }
    void three_records_and_a_card()
    {
        add_record(u"Ann", u"one");
        add_record(u"Bob", u"two");
        add_record(u"Cid", u"three");
        setenv("RAVELIN_CARDS", testing_support::fresh_dir("card").c_str(), 1);
    }
    // The names of a folder's files, sorted, each followed by "|".
    std::string files_in(String const& folder)
    {
        std::string names;
        for (auto const& name : testing_support::names_in(core::to_utf8(folder)))
            names += name + "|";
        return names;
    }
    // Opens the playback screen of the first row and taps its menu's "Send".
    void send_first_row()
    {
        tap_row(main->list(), 0);
        ASSERT_EQ(top(), &main->view().form());
        tap(element(main->view().form(), u"btnMenu"));
        ASSERT_EQ(main->view().menu().items().size(), 5u);
        ASSERT_EQ(main->view().menu().items()[2].id, u"Send");
        tap_row(main->view().menu().list(), 2);
    }
    String translated(StringView key) { return harness->properties().translate(key); }
    // Turns the wheel until the menu's last row shows whole; whether it does.
    bool show_last_row()
    {
        auto& list = menu().list();
        double top = 0, height = 0;
        auto const shown = [&] {
            return list.row_place(list.count() - 1, top, height) && top >= 0 && top + height <= list.size().y;
        };
        for (int notch = 0; notch < 20 && !shown(); ++notch) {
            menu().form().on_wheel(list.position() + skin::Point { list.size().x / 2, list.size().y / 2 }, -1);
            settle();
        }
        return shown();
    }
    // A note in the store, for the playback screen's menu.
    void note(String const& name = u"Note.wav")
    {
        add_note(name, testing_support::wav16(8000, std::vector<int16_t>(800, 100)));
    }
};

TEST_F(MainMenuTest, TheFilePageOffersOnlyWhatCanBeDone)
{
    start();
    path({ u"File" });
    EXPECT_EQ(ids(), "Refresh|Cancel") << "nothing shown: no Delete, no card: no Move";
    choose(u"Cancel");
    EXPECT_FALSE(menu().is_open());

    three_records_and_a_card();
    rescan();
    path({ u"File" });
    EXPECT_EQ(ids(), "Delete|Move|Refresh|Cancel");
    save("main-menu-file-480x640");
    menu().close();
    settle();

    // A filter that shows nothing leaves nothing to delete or move.
    tap(element(main->form(), u"btnFilter"));
    main->on_char(u"9");
    main->on_char(u"9");
    ASSERT_TRUE(main->filter().shown().empty());
    path({ u"File" });
    EXPECT_EQ(ids(), "Refresh|Cancel");
}

TEST_F(MainMenuTest, OptionsAreSwitchedInPlaceAndStored)
{
    start({ 240, 320 }, 96);
    path({ u"Settings" });
    EXPECT_EQ(ids(), "AutoRecord|Speaker|Format|Boost|Language|Microphone|Cancel")
        << "no button to assign: no QuickRecord";
    EXPECT_EQ(menu().items()[2].label, translated(u"Mp3Middle"));
    auto* speaker = menu().list().row(1);
    ASSERT_EQ(speaker ? speaker->id() : u"", u"MenuElementUnchecked");

    choose(u"Speaker");
    EXPECT_EQ(menu().page() + u" " + speaker->id(), u"Settings MenuElement");
    EXPECT_TRUE(speaker->find_child(u"checked")->visible() && document->settings().speaker);
    document::Settings stored;
    stored.load_first();
    EXPECT_TRUE(stored.speaker);

    choose(u"Format");
    EXPECT_EQ(ids(), "Mp3Low|Mp3Middle|Mp3High|OpusLow|Opus|OpusHigh|Flac|Settings");
    EXPECT_TRUE(menu().items()[1].checked);
    EXPECT_EQ(menu().items()[7].label, translated(u"Cancel"));
    for (String const format : { u"Opus", u"Mp3Low" }) {
        if (menu().page() != u"Format")
            choose(u"Format");
        choose(format);
        EXPECT_EQ(menu().page() + u" " + menu().items()[2].label, u"Settings " + translated(format));
        EXPECT_NE(translated(format), format) << "the language names every format";
        EXPECT_EQ(registry_text(u"Format"), format);
    }

    choose(u"Boost");
    choose(u"Boost2");
    EXPECT_EQ(document->settings().boost + u" " + registry_text(u"Boost"), u"Boost2 Boost2");
    EXPECT_TRUE(menu().items()[3].checked);
    save("main-menu-settings-240x320");
}

TEST_F(MainMenuTest, QuickRecordIsOfferedOnceAButtonCanBeAssigned)
{
    ASSERT_TRUE(os::reg_set_string(String(keys::KEY_TABLE) + u"\\MenuKey", u"Name", u"Side button"));
    start();
    path({ u"Settings" });
    ASSERT_EQ(menu().items()[4].id, u"QuickRecord");
    choose(u"QuickRecord");
    EXPECT_EQ(top(), &main->main_menu().quick_record().form());
    EXPECT_FALSE(main->main_menu().quick_record().buttons().empty());
    platform::RegistryStore::instance().remove_key(
        platform::RegistryRoot::LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Shell\\Keys\\MenuKey");
}

TEST_F(MainMenuTest, TheMicrophoneIsChosenAmongTheDevicesAndAGoneOneGivesWayToTheDefault)
{
    String const monitor = u"Monitor of Built-in Audio Analog Stereo";
    input_devices = { u"Built-in Audio Analog Stereo", monitor };
    start();
    path({ u"Settings", u"Microphone" });
    EXPECT_EQ(ids(),
        "Microphone#|Microphone#Built-in Audio Analog Stereo|Microphone#" + core::to_utf8(monitor) + "|Settings");
    EXPECT_EQ(menu().items()[0].label + u"|" + menu().items()[2].label, u"System default|" + monitor);
    EXPECT_TRUE(menu().items()[0].checked);
    choose(u"Microphone#" + monitor);
    EXPECT_EQ(menu().page() + u"|" + registry_text(u"InputDevice"), u"Settings|" + monitor);
    choose(u"Microphone");
    EXPECT_TRUE(!menu().items()[0].checked && menu().items()[2].checked);
    menu().close();
    settle();

    // The monitor is gone by the next recording: the default records, and the log says so.
    input_devices.pop_back();
    use_tone_input(0.5, true);
    testing_support::LogCapture log;
    tap(element(main->form(), u"btnRecord"));
    EXPECT_TRUE(document->is_recording());
    EXPECT_TRUE(log.contains("InputDevice gone: Monitor of Built-in Audio Analog Stereo, the default is used\n"));
    document->stop();
    settle();
    path({ u"Settings", u"Microphone" });
    EXPECT_TRUE(menu().items()[0].checked);
}

TEST_F(MainMenuTest, MoveTakesTheShownRecordsToTheCardUnderFreeNames)
{
    three_records_and_a_card();
    start();
    String const card = document->store_folders().back().path;
    fs::create_directories(core::to_utf8(card));
    testing_support::write_file(core::to_utf8(card + u"/Bob two.mp3"), "taken");
    rescan();
    ASSERT_EQ(document->records().size(), 4u);
    path({ u"File", u"Move" });
    EXPECT_FALSE(menu().is_open());
    EXPECT_TRUE(host->messages.empty());
    EXPECT_EQ(files_in(store()), "");
    EXPECT_EQ(files_in(card), "Ann one.mp3|Bob two.mp3|Bob two~1.mp3|Cid three.mp3|");
    EXPECT_EQ(testing_support::read_file(core::to_utf8(card + u"/Bob two.mp3")), "taken");
    for (auto const& record : document->records().entries())
        EXPECT_TRUE(os::FileInfo(record.path).exists()) << core::to_utf8(record.path);
    // Every row shows the card's icon now, and there is nothing left to move.
    path({ u"File" });
    EXPECT_EQ(ids(), "Delete|Refresh|Cancel");
}

TEST_F(MainMenuTest, AMoveThatFailsSaysSoAndStopsLosingNothing)
{
    three_records_and_a_card();
    start();
    String const card = document->store_folders().back().path;
    auto const before = document->records().entries();
    ASSERT_EQ(before.size(), 3u);
    // The second record's file went away behind the list's back: its move fails midway.
    fs::remove(core::to_utf8(before[1].path));
    path({ u"File", u"Move" });
    EXPECT_EQ(host->messages, std::vector { translated(u"Sorry_cannot_move_files") });
    auto const& after = document->records();
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(after[0].path, card + u"/" + os::file_name(before[0].path)) << "the first moved and is listed there";
    EXPECT_EQ(std::pair(after[1].path, after[2].path), std::pair(before[1].path, before[2].path))
        << "the move stopped at the failure";
    std::string const first = core::to_utf8(os::file_name(before[0].path)) + "|",
                      last = core::to_utf8(os::file_name(before[2].path)) + "|";
    EXPECT_EQ(files_in(card) + " " + files_in(store()), first + " " + last);

    // A card whose folder cannot be made (a file holds its name): nothing moves, nothing is lost.
    host->messages.clear();
    fs::remove_all(core::to_utf8(card));
    testing_support::write_file(core::to_utf8(card), "not a folder");
    auto const kept = document->records().entries();
    path({ u"File", u"Move" });
    ASSERT_EQ(host->messages.size(), 1u);
    ASSERT_EQ(document->records().entries().size(), kept.size());
    for (size_t i = 0; i < kept.size(); ++i)
        EXPECT_EQ(document->records()[i].path, kept[i].path);
    EXPECT_EQ(files_in(store()), last);
}

TEST_F(MainMenuTest, HelpAndSendStartTheirProgramsWithTheFileAsOneArgument)
{
    StandIns programs({ "xdg-open", "xdg-email" });
    note(u"Say \"hi\" now.wav");
    start();
    open_menu();
    save("main-menu-480x640");
    tap_row_button(u"Help");
    EXPECT_FALSE(menu().is_open());
    EXPECT_EQ(programs.arguments("xdg-open"), "1\n" + testing_support::bin_dir() + "/help/english/index.html\n");
    send_first_row();
    EXPECT_EQ(programs.arguments("xdg-email"), "2\n--attach\n" + core::to_utf8(store()) + "/Say \"hi\" now.wav\n");
    EXPECT_EQ(top(), &main->view().form());
}

// Nothing on the search path, or a program that is there but ends with an error at once (xdg-open with
// no browser to hand the page to): each says so.
TEST_F(MainMenuTest, HelpAndSendThatNothingCanOpenSaySo)
{
    note();
    start();
    for (bool failing : { false, true }) {
        SCOPED_TRACE(failing ? "failing" : "missing");
        StandIns const programs(
            failing ? std::vector<std::string> { "xdg-open", "xdg-email" } : std::vector<std::string> {},
            "#!/bin/sh\nexit 3\n");
        programs.only();
        testing_support::LogCapture log;
        open_menu();
        for (bool send : { false, true }) {
            send ? send_first_row() : tap_row_button(u"Help");
            run_until([&] { return main->error().is_shown(); });
            EXPECT_EQ(top(), &main->error().form());
            EXPECT_EQ(main->error().text(), translated(send ? u"Sorry_cannot_send" : u"Sorry_cannot_open_help"));
            main->error().close();
        }
        main->view().close();
        EXPECT_TRUE(host->messages.empty());
        EXPECT_TRUE(log.contains(
            failing ? "execute_file: failed at once xdg-email\n" : "execute_file: cannot start xdg-email\n"));
    }
}

TEST_F(MainMenuTest, MinimizeAndExitReachTheWindow)
{
    use_tone_input(30, false);
    start();
    open_menu();
    tap_row_button(u"Minimize");
    EXPECT_TRUE(host->minimized == 1 && !menu().is_open());
    tap(element(main->form(), u"btnRecord"));
    ASSERT_TRUE(document->is_recording());
    String const recording = document->current().path;
    main->menu().open(u"MainMenu", u"", screens::PageOpening::SHOW_MENU);
    settle();
    tap_row_button(u"Exit");
    EXPECT_EQ(host->quits, 1);
    EXPECT_FALSE(document->is_recording()) << "the recording is stopped and its file closed first";
    EXPECT_GT(os::FileInfo(recording).size(), 0u);
}

TEST_F(MainMenuTest, ANewLanguageRedrawsEveryScreenAndIsStored)
{
    platform::RegistryStore::instance().remove_value(
        platform::RegistryRoot::CURRENT_USER, u"Software\\Korvex\\Ravelin", u"Language");
    add_record(u"Ann", u"one");
    start();
    auto boost_text = [&] { return button_text(main->recording().form(), u"btnBoost"); };
    String const english_boost = boost_text(), english_left = translated(u"skin_Left");
    ASSERT_TRUE(holds_text(main->view().form(), english_left));
    path({ u"Settings", u"Language", u"Language#russian" });
    run_until([&] { return boost_text() != english_boost; }, 2);
    settle();
    lang::Dictionary russian;
    ASSERT_TRUE(russian.load(core::from_utf8(testing_support::bin_dir() + "/russian.lng")));
    EXPECT_EQ(registry_text(u"Language") + u"|" + boost_text(), u"russian|" + russian.translate(u"Boost"));
    // The skin's own texts of every screen, built again in the new language.
    EXPECT_TRUE(holds_text(main->view().form(), russian.translate(u"skin_Left")));
    EXPECT_FALSE(holds_text(main->view().form(), english_left));
    open_menu();
    EXPECT_EQ(menu().items()[1].id + u"|" + text(menu().form(), u"caption"), u"File|" + russian.translate(u"MainMenu"));
    save("main-menu-russian");
}

TEST_F(MainMenuTest, EveryWayBackFromAPageOfSettingsShowsSettingsUnderItsCaption)
{
    start();
    for (StringView page : { u"Format", u"Boost", u"Microphone", u"Language" }) {
        SCOPED_TRACE(core::to_utf8(page));
        path({ u"Settings", page });
        ASSERT_EQ(menu().page(), page);
        ASSERT_TRUE(show_last_row());
        tap_row(menu().list(), static_cast<int32_t>(menu().items().size()) - 1);
        EXPECT_TRUE(menu().is_open());
        EXPECT_EQ(menu().page() + u"|" + menu().caption(), u"Settings|" + translated(u"Settings"));
        menu().close();
    }
}

TEST_F(MainMenuTest, ATapBesideThePanelClosesTheMenu)
{
    start({ 640, 480 });
    open_menu();
    auto const& panel = element(menu().form(), u"panel");
    ASSERT_LT(panel.position().x + panel.size().x, 640);
    tap_at({ 639, 470 });
    EXPECT_TRUE(!menu().is_open() && top() == &main->form());
}

} // namespace
