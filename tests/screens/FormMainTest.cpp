#include "ScreensTestSupport.h"

#include <os/FileSystem.h>
#include <skin/widgets/ButtonElement.h>
#include <skin/widgets/ImageElement.h>

using namespace screens_test;
using core::String;

namespace {

class FormMainTest : public ScreensTest {
protected:
    void add(String const& artist, String const& title, String const& album = u"Record")
    {
        write_record(os::join(store(), artist + u" " + title + u".mp3"), artist, title, album);
    }
    void key(char const* id) { tap(element(main->form(), core::from_utf8(id))); }
    std::vector<String> shown() const
    {
        std::vector<String> out;
        for (int32_t index : main->filter().shown())
            out.push_back(document->records()[static_cast<size_t>(index)].artist);
        std::sort(out.begin(), out.end());
        return out;
    }
};

TEST_F(FormMainTest, TheKeypadFilterNarrowsTheListAndHighlightsTheMatch)
{
    add(u"Ann Lee", u"Call");
    add(u"Bob", u"Meeting Thursday");
    add(u"Zed", u"Lecture");
    start();
    ASSERT_EQ(top(), &main->form());
    EXPECT_EQ(main->list().count(), 3);
    EXPECT_FALSE(main->keypad().visible());
    EXPECT_FALSE(element(main->form(), u"btnCloseFilter").visible());
    save("main-480x640");

    tap(element(main->form(), u"btnFilter"));
    EXPECT_TRUE(main->keypad().visible());
    EXPECT_TRUE(element(main->form(), u"btnCloseFilter").visible());
    // 5 stands for jkl5: "Lee" at the second word of "Ann Lee", "Lecture" of Zed.
    key("button5");
    EXPECT_EQ(shown(), (std::vector<String> { u"Ann Lee", u"Zed" }));
    EXPECT_EQ(main->list().count(), 2);
    save("main-filtered-480x640");
    for (int32_t i = 0; i < 2; ++i) {
        auto* row = dynamic_cast<screens::RecordRow*>(main->list().row(i));
        ASSERT_NE(row, nullptr);
        if (row->artist().text() == u"Ann Lee") {
            EXPECT_EQ(row->artist().highlight_start(), 4u);
            EXPECT_EQ(row->artist().highlight_length(), 1u);
            EXPECT_EQ(row->name().highlight_length(), 0u); // "Call" does not match
        } else {
            EXPECT_EQ(row->artist().highlight_length(), 0u);
            EXPECT_EQ(row->name().highlight_start(), 0u);
            EXPECT_EQ(row->name().highlight_length(), 1u);
        }
    }

    // "#" is in the map as itself; nothing matches it, and once nothing is shown keys change nothing.
    key("button_hash");
    EXPECT_TRUE(shown().empty());
    key("button3");
    EXPECT_EQ(main->filter().keys(), u"5#");
    key("button_backspace");
    EXPECT_EQ(main->filter().keys(), u"5");
    EXPECT_EQ(main->list().count(), 2);
    key("button_backspace");
    EXPECT_EQ(main->list().count(), 3);
    EXPECT_TRUE(main->filter_open());
    // Backspace on an empty filter closes it.
    key("button_backspace");
    EXPECT_FALSE(main->filter_open());
    EXPECT_TRUE(element(main->form(), u"btnFilter").visible());
    EXPECT_FALSE(element(main->form(), u"btnCloseFilter").visible());
    EXPECT_EQ(main->list().count(), 3);
}

TEST_F(FormMainTest, ARecordFoundThatTheFilterHidesAddsNoRow)
{
    add(u"Ann", u"One");
    start();
    tap(element(main->form(), u"btnFilter"));
    key("button2");
    ASSERT_EQ(main->list().count(), 1);
    String const hidden = os::join(store(), u"Zed Two.mp3");
    String const passing = os::join(store(), u"Cat Three.mp3");
    write_record(hidden, u"Zed", u"Two", u"Record");
    write_record(passing, u"Cat", u"Three", u"Record");
    document->on_file(hidden);
    EXPECT_EQ(document->records().size(), 2u);
    EXPECT_EQ(main->list().count(), 1);
    document->on_file(passing);
    EXPECT_EQ(main->list().count(), 2);
    EXPECT_EQ(shown(), (std::vector<String> { u"Ann", u"Cat" }));
    settle();
}

TEST_F(FormMainTest, DeletingFromAFilteredListDeletesOnlyTheShownRecords)
{
    add(u"Ann", u"One");
    add(u"Bob", u"Two");
    add(u"Dan", u"Three");
    start();
    tap(element(main->form(), u"btnFilter"));
    key("button2"); // Ann, Bob
    ASSERT_EQ(main->list().count(), 2);

    // Through the main menu: "File", then "Delete", then OK.
    tap(element(main->form(), u"btnMenu"));
    screens::Menu& menu = main->menu();
    ASSERT_TRUE(menu.is_open());
    ASSERT_EQ(menu.items().size(), 4u);
    tap_row(menu.list(), 1);
    ASSERT_EQ(menu.page(), u"File");
    ASSERT_EQ(menu.items().front().id, u"Delete");
    tap_row(menu.list(), 0);
    EXPECT_FALSE(menu.is_open());
    ASSERT_EQ(top(), &main->confirmation().form());
    EXPECT_EQ(main->confirmation().text(), u"Delete 2 recordings? Their files will be removed.");
    save("confirmation-480x640");
    testing_support::LogCapture log;
    tap(*main->confirmation().ok_button());
    EXPECT_TRUE(log.contains("os::delete_file 3\n"));
    EXPECT_EQ(top(), &main->form());
    EXPECT_FALSE(main->filter_open());
    EXPECT_EQ(shown(), std::vector<String> { u"Dan" });
    EXPECT_EQ(main->list().count(), 1);
    EXPECT_FALSE(testing_support::file_exists(core::to_utf8(os::join(store(), u"Ann One.mp3"))));
    EXPECT_TRUE(testing_support::file_exists(core::to_utf8(os::join(store(), u"Dan Three.mp3"))));

    // Cancel changes nothing; with nothing shown "File" offers no "Delete".
    main->confirm_delete();
    settle();
    tap(*main->confirmation().cancel_button());
    EXPECT_EQ(document->records().size(), 1u);
    tap(element(main->form(), u"btnFilter"));
    key("button2");
    ASSERT_TRUE(shown().empty());
    tap(element(main->form(), u"btnMenu"));
    tap_row(menu.list(), 1);
    EXPECT_EQ(menu.items().front().id, u"Refresh");
}

TEST_F(FormMainTest, ACardRecordingOfAnOutgoingCallShowsTheCardOutgoingIcon)
{
    std::string const card = testing_support::fresh_dir("card");
    setenv("RAVELIN_CARDS", card.c_str(), 1);
    String const outgoing = core::from_utf8(card) + u"/Documents/My Ravelin/Outgoing/Ann 1.mp3";
    write_record(outgoing, u"Ann", u"1", u"Outgoing");
    add(u"Bob", u"2", u"Outgoing");
    start();
    ASSERT_EQ(document->records().size(), 2u);
    auto& properties = harness->properties();
    auto icon_of = [&](char16_t const* node) {
        return properties.lookup_picture(properties.find_entry(node), u"src", {}).picture;
    };
    ASSERT_NE(icon_of(u"card_outgoing"), nullptr);
    for (int32_t i = 0; i < 2; ++i) {
        auto* row = dynamic_cast<screens::RecordRow*>(main->list().row(i));
        ASSERT_NE(row, nullptr);
        bool const on_card = row->artist().text() == u"Ann";
        EXPECT_EQ(row->icon().picture().picture, icon_of(on_card ? u"card_outgoing" : u"main_memory_outgoing"));
    }
}

TEST_F(FormMainTest, FailuresShowTheirMessageAndAReloadedSkinKeepsTheList)
{
    add(u"Ann", u"One");
    start();
    document->fail(document::DocumentEvent::NO_MEMORY);
    settle();
    ASSERT_EQ(top(), &main->error().form());
    EXPECT_EQ(main->error().text(), u"Sorry, the recording cannot be written: the memory is full.");
    save("error-480x640");
    tap(element(main->error().form(), u"btnClose"));
    EXPECT_EQ(top(), &main->form());

    // The main menu's buttons row: "Minimize" reaches the window.
    tap(element(main->form(), u"btnMenu"));
    skin::VListElement& menu_list = main->menu().list();
    ASSERT_NE(menu_list.row(0), nullptr);
    skin::Element* minimize = menu_list.row(0)->find_child(u"Minimize");
    ASSERT_NE(minimize, nullptr);
    double row_top = 0, row_height = 0;
    menu_list.row_place(0, row_top, row_height);
    // A row's elements lie in the row's own coordinates.
    save("menu-480x640");
    tap_at(menu_list.position() + skin::Point { 0, static_cast<int32_t>(row_top) } + minimize->position()
        + skin::Point { minimize->size().x / 2, minimize->size().y / 2 });
    EXPECT_EQ(host->minimized, 1);
    EXPECT_FALSE(main->menu().is_open());

    // The screens build their forms again; what they show stays.
    main->recording().edit_dialog().set_text(u"Kept over the reload");
    harness->properties().send_reload_skin();
    settle();
    EXPECT_EQ(main->recording().edit_dialog().text(), u"Kept over the reload");
    EXPECT_EQ(main->list().count(), 1);
    tap(element(main->form(), u"btnFilter"));
    EXPECT_TRUE(main->filter_open());
}

// Other programs' files: one without a tag is listed by its name; tapped, a file that no reader takes
// says so over the stopped player, where it can still be renamed or deleted.
TEST_F(FormMainTest, AFileWithoutATagShowsItsNameAndSaysWhenItCannotBePlayed)
{
    std::filesystem::create_directories(core::to_utf8(store()));
    testing_support::write_file(core::to_utf8(store() + u"/Lecture 3.mp3"), std::string(3000, 'x'));
    start();
    ASSERT_EQ(main->list().count(), 1);
    auto* row = dynamic_cast<screens::RecordRow*>(main->list().row(0));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->name().text(), u"Lecture 3");
    tap_row(main->list(), 0);
    ASSERT_EQ(top(), &main->error().form());
    EXPECT_EQ(main->error().text(), u"Sorry, this recording cannot be played: it is damaged or not a sound file.");
    tap(element(main->error().form(), u"btnClose"));
    ASSERT_EQ(top(), &main->view().form());
    EXPECT_EQ(element<skin::TextElement>(main->view().form(), u"frmInfo").text(), u"") << "no format to tell";
}

// A file deleted elsewhere (or on a card taken out) is said to be gone and leaves the list, alone.
TEST_F(FormMainTest, ARecordingGoneFromUnderTheListSaysSoAndLeavesIt)
{
    add(u"Ann", u"One");
    add(u"Bob", u"Two");
    start();
    ASSERT_EQ(main->list().count(), 2);
    auto* row = dynamic_cast<screens::RecordRow*>(main->list().row(0));
    ASSERT_NE(row, nullptr);
    String const artist = row->artist().text();
    ASSERT_TRUE(os::delete_file(document->records()[0].path));
    tap_row(main->list(), 0);
    ASSERT_EQ(top(), &main->error().form());
    EXPECT_EQ(main->error().text(),
        u"Sorry, this recording is no longer there: it was deleted, or its storage card was taken out.");
    EXPECT_EQ(main->list().count(), 1);
    ASSERT_EQ(document->records().size(), 1u);
    EXPECT_NE(document->records()[0].artist, artist);
    tap(element(main->error().form(), u"btnClose"));
    EXPECT_EQ(top(), &main->form());
}

} // namespace
