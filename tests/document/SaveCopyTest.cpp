#include <PrivateBus.h>
#include <TestSupport.h>
#include <document/CopySaver.h>
#include <platform/text.h>

using namespace testing_support;
using Outcome = document::CopySaver::Outcome;

namespace {

// A recording saved through a file chooser portal of the test's own (tests/document/file_chooser_portal.py)
// on a private session bus, or, with none on that bus, into the music folder that user-dirs.dirs names.
class SaveCopyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        python = first_line(run("for p in /usr/bin/python3 python3; do $p -c 'import dbus, gi' 2>/dev/null && echo $p "
                                "&& break; done")
                                .output);
        if (python.empty())
            GTEST_SKIP() << "python3-dbus is not installed";
        dir = fresh_dir("save-copy");
        write_file(dir + "/bus.conf", private_bus::QUIET_BUS_CONFIG);
        std::string why;
        std::string const address = private_bus::start_bus("--config-file=" + dir + "/bus.conf", bus, why);
        ASSERT_FALSE(address.empty()) << why;
        setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
        std::filesystem::create_directories(test_home() + "/config");
        write_file(test_home() + "/config/user-dirs.dirs", "XDG_MUSIC_DIR=\"$HOME/Songs\"\n");
        std::filesystem::remove_all(test_home() + "/Songs");
        write_file(recording, bytes);
    }
    void TearDown() override
    {
        if (!portal.empty())
            run("kill " + portal);
        private_bus::stop(bus);
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }

    void start_portal(std::string const& answer)
    {
        portal = first_line(run(python + " " + source_dir() + "/tests/document/file_chooser_portal.py " + answer + " >"
            + dir + "/portal.txt 2>&1 </dev/null & echo $!")
                                .output);
        ASSERT_EQ(run("gdbus wait --session org.freedesktop.portal.Desktop --timeout 10").exit_code, 0)
            << read_file(dir + "/portal.txt");
    }
    // One save, waited for.
    document::CopySaver::Result save()
    {
        std::optional<document::CopySaver::Result> result;
        document::CopySaver saver([&](document::CopySaver::Result const& r) { result = r; });
        EXPECT_TRUE(saver.save(core::from_utf8(recording), u"Save a copy"));
        EXPECT_FALSE(saver.save(core::from_utf8(recording), u"Save a copy")) << "one question at a time";
        EXPECT_TRUE(run_messages_for([&] { return result.has_value(); }));
        return result.value_or(document::CopySaver::Result {});
    }
    std::string asked() { return read_file(dir + "/portal.txt"); }

    core::CActiveScheduler scheduler { u"SaveCopyTest" };
    std::string python, dir, portal;
    pid_t bus = -1;
    std::string const bytes = std::string(200000, 'n') + "end";
    std::string const recording = fresh_dir("recordings") + "/Ann note.mp3";
};

} // namespace

TEST_F(SaveCopyTest, WhereTheChooserSaysReplacingWhatTheUserAgreedTo)
{
    std::string const chosen = fresh_dir("chosen") + "/Copy of Ann #1 100%.mp3";
    write_file(chosen, "an older copy");
    start_portal("accept '" + chosen + "'");
    auto const result = save();
    EXPECT_EQ(std::pair(result.outcome, platform::to_utf8(result.path)), std::pair(Outcome::SAVED, chosen));
    EXPECT_TRUE(read_file(chosen) == bytes);
    EXPECT_EQ(asked(), "ready\nSaveFile title=Save a copy current_name=Ann note.mp3\n");
    EXPECT_FALSE(file_exists(test_home() + "/Songs"));
}

TEST_F(SaveCopyTest, CancelledNothingIsSaved)
{
    start_portal("cancel");
    EXPECT_EQ(save().outcome, Outcome::CANCELLED);
    EXPECT_FALSE(file_exists(test_home() + "/Songs"));
}

TEST_F(SaveCopyTest, WithoutAPortalIntoTheMusicFolderUnderANewName)
{
    std::string const songs = test_home() + "/Songs/";
    std::pair<Outcome, std::string> const expected[] = {
        { Outcome::SAVED_TO_MUSIC, songs + "Ann note.mp3" },
        { Outcome::SAVED_TO_MUSIC, songs + "Ann note~1.mp3" },
    };
    for (auto const& [outcome, path] : expected) {
        auto const result = save();
        EXPECT_EQ(std::pair(result.outcome, platform::to_utf8(result.path)), std::pair(outcome, path));
        EXPECT_TRUE(read_file(path) == bytes) << path;
    }
}

// The chosen folder has gone by the time the copy is made.
TEST_F(SaveCopyTest, ACopyThatCannotBeMadeSaysSo)
{
    std::string const chosen = dir + "/gone/copy.mp3";
    start_portal("accept '" + chosen + "'");
    auto const result = save();
    EXPECT_EQ(std::pair(result.outcome, platform::to_utf8(result.path)), std::pair(Outcome::FAILED, chosen));
}
