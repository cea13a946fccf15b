#include "ScreensTestSupport.h"

#include <os/FileSystem.h>
#include <skin/widgets/ImageElement.h>

using namespace screens_test;

namespace {

class FormMainTest : public ScreensTest {
protected:
    void key(char const* id) { tap(element(main->form(), core::from_utf8(id))); }
    std::vector<String> shown() const
    {
        std::vector<String> out;
        for (int32_t index : main->filter().shown())
            out.push_back(document->records()[static_cast<size_t>(index)].artist);
        std::sort(out.begin(), out.end());
        return out;
    }
    String filter_buttons() { return visible(main->form(), { u"btnFilter", u"btnCloseFilter" }); }
    screens::RecordRow& row(int32_t index)
    {
        auto* found = dynamic_cast<screens::RecordRow*>(main->list().row(index));
        return found ? *found : throw std::runtime_error("no row " + std::to_string(index));
    }
};

TEST_F(FormMainTest, TheKeypadFilterNarrowsTheListAndHighlightsTheMatch)
{
    add_record(u"Ann Lee", u"Call");
    add_record(u"Bob", u"Meeting Thursday");
    add_record(u"Zed", u"Lecture");
    start();
    ASSERT_EQ(top(), &main->form());
    EXPECT_EQ(std::pair(main->list().count(), main->keypad().visible()), std::pair(3, false));
    EXPECT_EQ(filter_buttons(), u"btnFilter ");
    save("main-480x640");

    tap(element(main->form(), u"btnFilter"));
    EXPECT_TRUE(main->keypad().visible() && filter_buttons() == u"btnCloseFilter ");
    // 5 stands for jkl5: "Lee" at the second word of "Ann Lee", "Lecture" of Zed.
    key("button5");
    EXPECT_EQ(shown(), (std::vector<String> { u"Ann Lee", u"Zed" }));
    EXPECT_EQ(dynamic_cast<skin::TextElement&>(element(main->form(), u"title")).text(), u"5");
    EXPECT_EQ(main->list().count(), 2);
    save("main-filtered-480x640");
    // Each row's highlights, strong line then date line, as "start+length" ("-" for none): a voice note
    // shows its title, so Ann Lee's "Call" has nothing to highlight.
    auto highlight = [](skin::TextElement const& t) {
        return t.highlight_length() ? std::to_string(t.highlight_start()) + "+" + std::to_string(t.highlight_length())
                                    : std::string("-");
    };
    std::map<String, std::string> highlights;
    for (int32_t i = 0; i < 2; ++i)
        highlights[row(i).artist().text()] = highlight(row(i).artist()) + " " + highlight(row(i).name());
    EXPECT_EQ(highlights, (std::map<String, std::string> { { u"Call", "- -" }, { u"Lecture", "0+1 -" } }));

    // "#" is in the map as itself; nothing matches it.
    key("button_hash");
    EXPECT_TRUE(shown().empty());
    key("button_backspace");
    EXPECT_EQ(std::pair(main->filter().keys(), main->list().count()), std::pair(String(u"5"), 2));
    key("button_backspace");
    EXPECT_TRUE(main->list().count() == 3 && main->filter_open());
    // Backspace on an empty filter closes it.
    key("button_backspace");
    EXPECT_TRUE(!main->filter_open() && filter_buttons() == u"btnFilter " && main->list().count() == 3);
}

TEST_F(FormMainTest, ARecordFoundThatTheFilterHidesAddsNoRow)
{
    add_record(u"Ann", u"One");
    start();
    tap(element(main->form(), u"btnFilter"));
    key("button2");
    ASSERT_EQ(main->list().count(), 1);
    add_record(u"Zed", u"Two");
    add_record(u"Cat", u"Three");
    document->on_file(os::join(store(), u"Zed Two.mp3"));
    EXPECT_EQ(std::pair(document->records().size(), main->list().count()), std::pair(size_t(2), 1));
    document->on_file(os::join(store(), u"Cat Three.mp3"));
    EXPECT_EQ(main->list().count(), 2);
    EXPECT_EQ(shown(), (std::vector<String> { u"Ann", u"Cat" }));
    settle();
}

TEST_F(FormMainTest, DeletingFromAFilteredListDeletesOnlyTheShownRecords)
{
    add_record(u"Ann", u"One");
    add_record(u"Bob", u"Two");
    add_record(u"Dan", u"Three");
    start();
    // The count goes wherever the language writes it.
    std::string const language = testing_support::fresh_dir("lang") + "/twice.lng";
    testing_support::write_file(language, "Confirm_trashing=Delete %count%? All %count% of them?\n");
    ASSERT_TRUE(harness->properties().dictionary().load(core::from_utf8(language)));
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
    EXPECT_EQ(main->confirmation().text(), u"Delete 2? All 2 of them?");
    testing_support::LogCapture log;
    tap(*main->confirmation().ok_button());
    EXPECT_TRUE(log.contains("os::delete_file 3\n"));
    EXPECT_TRUE(top() == &main->form() && !main->filter_open() && main->list().count() == 1);
    EXPECT_EQ(shown(), std::vector<String> { u"Dan" });
    EXPECT_FALSE(testing_support::file_exists(core::to_utf8(os::join(store(), u"Ann One.mp3"))));
    EXPECT_TRUE(testing_support::file_exists(core::to_utf8(os::join(store(), u"Dan Three.mp3"))));

    // Cancel changes nothing.
    main->confirm_delete();
    settle();
    tap(*main->confirmation().cancel_button());
    EXPECT_EQ(document->records().size(), 1u);
}

TEST_F(FormMainTest, ACardRecordingOfAnOutgoingCallShowsTheCardOutgoingIcon)
{
    std::string const card = testing_support::fresh_dir("card");
    setenv("RAVELIN_CARDS", card.c_str(), 1);
    write_record(core::from_utf8(card) + u"/Documents/My Ravelin/Outgoing/Ann 1.mp3", u"Ann", u"1", u"Outgoing");
    add_record(u"Bob", u"2", u"Outgoing");
    start();
    ASSERT_EQ(document->records().size(), 2u);
    auto& properties = harness->properties();
    auto icon_of = [&](char16_t const* node) {
        return properties.lookup_picture(properties.find_entry(node), u"src", {}).picture;
    };
    ASSERT_NE(icon_of(u"card_outgoing"), nullptr);
    for (int32_t i = 0; i < 2; ++i)
        EXPECT_EQ(row(i).icon().picture().picture,
            icon_of(row(i).artist().text() == u"Ann" ? u"card_outgoing" : u"main_memory_outgoing"));
}

TEST_F(FormMainTest, FailuresShowTheirMessageAndAReloadedSkinKeepsTheList)
{
    add_record(u"Ann", u"One");
    start();
    document->fail(document::DocumentEvent::NO_MEMORY);
    settle();
    ASSERT_EQ(top(), &main->error().form());
    EXPECT_EQ(main->error().text(), u"Sorry, the recording cannot be written: the memory is full.");
    save("error-480x640");
    tap(element(main->error().form(), u"btnClose"));
    ASSERT_EQ(top(), &main->form());
    tap(element(main->form(), u"btnMenu"));
    save("menu-480x640");
    main->menu().close();
    settle();

    // The screens build their forms again; what they show stays.
    main->recording().edit_dialog().set_text(u"Kept over the reload");
    harness->properties().send_reload_skin();
    settle();
    EXPECT_TRUE(main->recording().edit_dialog().text() == u"Kept over the reload" && main->list().count() == 1);
    tap(element(main->form(), u"btnFilter"));
    EXPECT_TRUE(main->filter_open());
}

// A file deleted elsewhere (or on a card taken out) is said to be gone and leaves the list, alone.
TEST_F(FormMainTest, ARecordingGoneFromUnderTheListSaysSoAndLeavesIt)
{
    add_record(u"Ann", u"One");
    add_record(u"Bob", u"Two");
    start();
    ASSERT_EQ(main->list().count(), 2);
    String const artist = row(0).artist().text();
    ASSERT_TRUE(os::delete_file(document->records()[0].path));
    tap_row(main->list(), 0);
    ASSERT_EQ(top(), &main->error().form());
    EXPECT_EQ(main->error().text(),
        u"Sorry, this recording is no longer there: it was deleted, or its storage card was taken out.");
    ASSERT_EQ(std::pair(main->list().count(), document->records().size()), std::pair(1, size_t(1)));
    EXPECT_NE(document->records()[0].artist, artist);
    tap(element(main->error().form(), u"btnClose"));
    EXPECT_EQ(top(), &main->form());
}

// Recordings made in one minute would read alike: beside each other they tell their seconds, and a row
// coming or going changes what its neighbours show.
TEST_F(FormMainTest, RowsOfOneMinuteTellTheirSeconds)
{
    using namespace std::chrono;
    auto const minute = floor<minutes>(file_clock::now() - hours(48));
    auto const made = [&](String const& artist, seconds at) {
        add_record(artist, u"Note");
        std::filesystem::last_write_time(core::to_utf8(os::join(store(), artist + u" Note.mp3")), minute + at);
    };
    made(u"A", seconds(5));
    made(u"B", seconds(40));
    made(u"C", seconds(120));
    start();
    // Per row, newest first: its artist, and "s" where its date line gives seconds ("9:05:31").
    auto const rows = [&] {
        std::string out;
        for (int32_t i = 0; i < main->list().count(); ++i) {
            String const line = row(i).name().text();
            bool seconds = false;
            for (size_t at = 0; at + 7 <= line.size(); ++at)
                seconds = seconds
                    || (line[at + 1] == u':' && line[at + 4] == u':'
                        && std::all_of(line.begin() + long(at), line.begin() + long(at + 7),
                            [](char16_t c) { return c == u':' || (c >= u'0' && c <= u'9'); }));
            out += core::to_utf8(document->records()[size_t(main->filter().shown()[size_t(i)])].artist)
                + (seconds ? "s " : " ");
        }
        return out;
    };
    EXPECT_EQ(rows(), "C Bs As ");
    made(u"D", seconds(150));
    document->on_file(os::join(store(), u"D Note.mp3"));
    settle();
    EXPECT_EQ(rows(), "Ds Cs Bs As ");
    ASSERT_TRUE(os::delete_file(os::join(store(), u"B Note.mp3")));
    document->drop_if_gone(os::join(store(), u"B Note.mp3"));
    settle();
    EXPECT_EQ(rows(), "Ds Cs A ");
}

} // namespace
