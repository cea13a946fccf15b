#include "ScreensTestSupport.h"

#include <screens/KeyCommands.h>
#include <unistd.h>

using namespace screens_test;
namespace fs = std::filesystem;

namespace {

class UndoDiscardTest : public ScreensTest {
protected:
    std::string const trash = testing_support::test_home() + "/data/Trash";

    void SetUp() override
    {
        ScreensTest::SetUp();
        fs::remove_all(trash);
    }
    // A record whose file was last written `hours` ago, so that the list's order is known.
    void add_dated(String const& artist, int hours)
    {
        add_record(artist, u"Note");
        fs::last_write_time(file_of(artist), fs::file_time_type::clock::now() - std::chrono::hours(hours));
    }
    std::string file_of(String const& artist) const { return core::to_utf8(os::join(store(), artist + u" Note.mp3")); }
    // The artists of the rows, top to bottom.
    std::vector<String> rows() const
    {
        std::vector<String> out;
        for (int32_t index : main->filter().shown())
            out.push_back(document->records()[static_cast<size_t>(index)].artist);
        EXPECT_EQ(main->list().count(), static_cast<int32_t>(out.size()));
        return out;
    }
    bool bar_shown() { return element(main->form(), u"undoBar").visible(); }
    // Filters with the keypad's 2 (a, b, c) and deletes what is shown, through the confirmation: its question.
    String delete_filtered()
    {
        tap(element(main->form(), u"btnFilter"));
        tap(element(main->form(), u"button2"));
        main->confirm_delete();
        settle();
        String const question = main->confirmation().text();
        tap(*main->confirmation().ok_button());
        return question;
    }
};

TEST_F(UndoDiscardTest, UndoPutsTheDeletedRecordsBackAtTheirPlaces)
{
    add_dated(u"Ann", 1);
    add_dated(u"Dan", 2);
    add_dated(u"Bob", 3);
    start();
    ASSERT_EQ(rows(), (std::vector<String> { u"Ann", u"Dan", u"Bob" }));
    EXPECT_FALSE(bar_shown());

    EXPECT_EQ(delete_filtered(), u"Delete 2 recordings? Their files go to the trash.");
    EXPECT_EQ(rows(), std::vector<String> { u"Dan" });
    EXPECT_TRUE(testing_support::file_exists(trash + "/files/Bob Note.mp3"));
    ASSERT_TRUE(main->undo_offered() && bar_shown());
    EXPECT_EQ(text(main->form(), u"undoText"), u"Deleted: 2");
    EXPECT_EQ(button_text(main->form(), u"btnUndo"), u"Undo");
    save("undo-480x640");

    tap(*main->undo_button());
    EXPECT_EQ(rows(), (std::vector<String> { u"Ann", u"Dan", u"Bob" }));
    EXPECT_TRUE(testing_support::file_exists(file_of(u"Ann")) && testing_support::file_exists(file_of(u"Bob")));
    EXPECT_FALSE(main->undo_offered() || bar_shown());
}

TEST_F(UndoDiscardTest, CtrlZUndoesOnlyWhileTheOfferLasts)
{
    add_dated(u"Ann", 1);
    start();
    delete_filtered();
    ASSERT_TRUE(rows().empty());
    EXPECT_TRUE(main->on_key_command(screens::KeyCommand::UNDO));
    settle();
    EXPECT_EQ(rows(), std::vector<String> { u"Ann" });

    delete_filtered();
    ASSERT_TRUE(main->undo_offered());
    EXPECT_TRUE(run_until([&] { return !main->undo_offered(); }, 3 * screens::FormMain::UNDO_SECONDS));
    settle();
    EXPECT_FALSE(bar_shown());
    EXPECT_FALSE(main->on_key_command(screens::KeyCommand::UNDO));
    EXPECT_TRUE(rows().empty());
    EXPECT_TRUE(testing_support::file_exists(trash + "/files/Ann Note.mp3")) << "it stays in the trash";
}

TEST_F(UndoDiscardTest, UndoOntoATakenPathSaysSoAndLeavesTheFileInTheTrash)
{
    add_dated(u"Ann", 1);
    add_dated(u"Bob", 2);
    start();
    delete_filtered();
    // A new file under Ann's old name before the undo.
    testing_support::write_file(file_of(u"Ann"), "new");
    tap(*main->undo_button());
    EXPECT_EQ(rows(), std::vector<String> { u"Bob" });
    ASSERT_EQ(top(), &main->error().form());
    EXPECT_EQ(main->error().text(), u"Not put back: another file has its name now. It stays in the trash.");
    EXPECT_EQ(testing_support::read_file(file_of(u"Ann")), "new");
}

TEST_F(UndoDiscardTest, WhereNoTrashCanBeMadeTheFileIsDeletedAndNoUndoIsOffered)
{
    std::string const card = testing_support::fresh_dir("card");
    setenv("RAVELIN_CARDS", card.c_str(), 1);
    // A file where the card's trash would go: the card takes no trash, as a read-only one would not.
    testing_support::write_file(card + "/.Trash-" + std::to_string(::getuid()), "");
    String const path = core::from_utf8(card) + u"/Documents/My Ravelin/Ann Note.mp3";
    write_record(path, u"Ann", u"Note", u"Record");
    start();
    ASSERT_EQ(rows(), std::vector<String> { u"Ann" });
    // The question does not promise a trash.
    EXPECT_EQ(delete_filtered(), u"Delete this recording? Its file will be removed.");
    EXPECT_TRUE(rows().empty());
    EXPECT_FALSE(testing_support::file_exists(core::to_utf8(path)));
    EXPECT_FALSE(main->undo_offered() || bar_shown());
}

TEST_F(UndoDiscardTest, ARecordWhoseFileCanBeNeitherTrashedNorDeletedStaysListed)
{
    std::string const folder = core::to_utf8(store());
    std::string const path = folder + "/Ann.wav";
    fs::create_directories(folder);
    fs::copy_file(testing_support::wav_file(testing_support::tone(0.2)), path);
    start();
    ASSERT_TRUE(document->select(core::from_utf8(path)));
    // An immutable folder: nothing in it can be renamed or removed, whoever asks.
    if (std::system(("chattr +i '" + folder + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "no immutable folders here";
    document->remove();
    ASSERT_EQ(std::system(("chattr -i '" + folder + "'").c_str()), 0);
    EXPECT_TRUE(testing_support::file_exists(path));
    EXPECT_EQ(document->records().size(), 1u);
}

TEST_F(UndoDiscardTest, DiscardStopsTheRecordingAndAfterTheQuestionTrashesIt)
{
    use_tone_input(30, false);
    start();
    for (bool confirmed : { false, true }) {
        tap(element(main->form(), u"btnRecord"));
        ASSERT_TRUE(document->is_recording());
        String const path = document->current().path;
        screens::FormRecording& recording = main->recording();
        tap(element(recording.form(), u"btnMenu"));
        ASSERT_TRUE(recording.menu().is_open());
        if (confirmed)
            save("recording-menu-480x640");
        choose(recording.menu(), u"Discard");
        EXPECT_FALSE(document->is_recording());
        ASSERT_EQ(top(), &recording.confirmation().form());
        EXPECT_EQ(recording.confirmation().text(), harness->properties().translate(u"Confirm_discard"));
        tap(confirmed ? *recording.confirmation().ok_button() : *recording.confirmation().cancel_button());
        EXPECT_EQ(top(), &main->form());
        EXPECT_EQ(document->records().find(path) >= 0, !confirmed);
        EXPECT_EQ(testing_support::file_exists(core::to_utf8(path)), !confirmed);
        EXPECT_EQ(testing_support::file_exists(trash + "/files/" + core::to_utf8(os::file_name(path))), confirmed);
        platform::select_wave_input("none");
        use_tone_input(30, false);
    }
}

} // namespace
