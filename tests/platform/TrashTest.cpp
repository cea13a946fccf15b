#include "../support/TestSupport.h"

#include <cstdlib>
#include <ctime>
#include <platform/services/trash.h>
#include <platform/text.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// 2026-12-06 10:15:30 UTC.
constexpr int64_t DELETED_MS = 1796552130000;

class TrashTest : public testing::Test {
protected:
    std::string const uid = std::to_string(::getuid());
    std::string home_trash;
    std::string card;

    void SetUp() override
    {
        // Local time is UTC here, so that DeletionDate is known.
        setenv("TZ", "UTC0", 1);
        tzset();
        home_trash = test_home() + "/data/Trash";
        fs::remove_all(home_trash);
        card = fresh_dir("card");
        setenv("RAVELIN_CARDS", card.c_str(), 1);
    }
    void TearDown() override
    {
        setenv("RAVELIN_CARDS", "", 1);
        unsetenv("TZ");
        tzset();
    }
    static std::string make(std::string const& path, std::string const& bytes = "ID3 audio")
    {
        fs::create_directories(fs::path(path).parent_path());
        write_file(path, bytes);
        return path;
    }
    static std::optional<platform::TrashedFile> trash(std::string const& path)
    {
        return platform::move_to_trash(platform::from_utf8(path), DELETED_MS);
    }
};

TEST_F(TrashTest, AHomeFileGoesToTheHomeTrashWithItsInfo)
{
    std::string const path = make(test_home() + "/Documents/My Ravelin/Запись 1.mp3");
    auto const trashed = trash(path);
    ASSERT_TRUE(trashed);
    std::string const name = "Запись 1.mp3";
    EXPECT_FALSE(file_exists(path));
    EXPECT_EQ(platform::to_utf8(trashed->file), home_trash + "/files/" + name);
    EXPECT_EQ(platform::to_utf8(trashed->info), home_trash + "/info/" + name + ".trashinfo");
    EXPECT_EQ(read_file(home_trash + "/files/" + name), "ID3 audio");
    EXPECT_EQ(read_file(home_trash + "/info/" + name + ".trashinfo"),
        "[Trash Info]\nPath=" + test_home()
            + "/Documents/My%20Ravelin/%D0%97%D0%B0%D0%BF%D0%B8%D1%81%D1%8C%201.mp3\n"
              "DeletionDate=2026-12-06T10:15:30\n");
    struct stat facts { };
    ASSERT_EQ(::stat(home_trash.c_str(), &facts), 0);
    EXPECT_EQ(facts.st_mode & 0777, 0700u);
}

TEST_F(TrashTest, PercentEncodingKeepsOnlyUnreservedBytesAndSlashes)
{
    EXPECT_EQ(platform::percent_encode(u"/a b/Ü%#?;=&+~-_.9Z"), "/a%20b/%C3%9C%25%23%3F%3B%3D%26%2B~-_.9Z");
}

TEST_F(TrashTest, AClashingNameTakesANumberInFilesAndInfo)
{
    for (std::string folder : { "/Documents/a", "/Documents/b", "/Documents/c" })
        ASSERT_TRUE(trash(make(test_home() + folder + "/Note.mp3", folder)));
    // A file left in files/ without its info (another program's crash) is not overwritten either.
    make(home_trash + "/files/Note.4.mp3", "orphan");
    auto const fourth = trash(make(test_home() + "/Documents/d/Note.mp3", "d"));
    ASSERT_TRUE(fourth);
    EXPECT_EQ(platform::to_utf8(fourth->file), home_trash + "/files/Note.5.mp3");
    EXPECT_FALSE(file_exists(home_trash + "/info/Note.4.mp3.trashinfo"));
    EXPECT_EQ(read_file(home_trash + "/files/Note.4.mp3"), "orphan");
    EXPECT_EQ(read_file(home_trash + "/files/Note.mp3"), "/Documents/a");
    EXPECT_EQ(read_file(home_trash + "/files/Note.2.mp3"), "/Documents/b");
    EXPECT_EQ(read_file(home_trash + "/files/Note.3.mp3"), "/Documents/c");
    EXPECT_NE(
        read_file(home_trash + "/info/Note.3.mp3.trashinfo").find("Path=" + test_home() + "/Documents/c/Note.mp3\n"),
        std::string::npos);
}

// Which trash a card's file goes to, by what the card's top holds.
struct CardCase {
    char const* name;
    char const* shared; // what lies at $topdir/.Trash: "" nothing, "dir", "sticky", "link" (to a sticky folder)
    char const* trash; // the trash used, below the card; "" when none can be made
};

class CardTrashTest : public TrashTest, public testing::WithParamInterface<CardCase> { };

TEST_P(CardTrashTest, UsesTheVolumesOwnTrash)
{
    CardCase const& c = GetParam();
    std::string const shared = card + "/.Trash";
    std::string const kind = c.shared;
    if (kind == "dir" || kind == "sticky")
        fs::create_directories(shared);
    if (kind == "sticky")
        ::chmod(shared.c_str(), 01777);
    if (kind == "link") {
        std::string const elsewhere = fresh_dir("elsewhere");
        ::chmod(elsewhere.c_str(), 01777);
        fs::create_directory_symlink(elsewhere, shared);
    }
    if (kind == "blocked")
        make(card + "/.Trash-" + uid, "not a folder"); // no trash can be made
    std::string const path = make(card + "/Documents/My Ravelin/Call 1.mp3");
    auto const trashed = trash(path);
    std::string expected = c.trash;
    if (expected.empty()) {
        EXPECT_FALSE(trashed);
        EXPECT_TRUE(file_exists(path)) << "a file that cannot go to the trash stays where it was";
        return;
    }
    expected.replace(expected.find("UID"), 3, uid);
    ASSERT_TRUE(trashed);
    EXPECT_FALSE(file_exists(path));
    EXPECT_EQ(read_file(card + "/" + expected + "/files/Call 1.mp3"), "ID3 audio");
    // Relative to the top of the volume, so that the card can be mounted anywhere.
    EXPECT_EQ(read_file(card + "/" + expected + "/info/Call 1.mp3.trashinfo"),
        "[Trash Info]\nPath=Documents/My%20Ravelin/Call%201.mp3\nDeletionDate=2026-12-06T10:15:30\n");
    EXPECT_FALSE(file_exists(home_trash + "/files/Call 1.mp3"));
}

INSTANTIATE_TEST_SUITE_P(Volume, CardTrashTest,
    testing::Values(CardCase { "NoSharedTrash", "", ".Trash-UID" }, CardCase { "SharedTrash", "sticky", ".Trash/UID" },
        CardCase { "SharedTrashNotSticky", "dir", ".Trash-UID" }, CardCase { "SharedTrashALink", "link", ".Trash-UID" },
        CardCase { "NoTrashCanBeMade", "blocked", "" }),
    [](testing::TestParamInfo<CardCase> const& info) { return std::string(info.param.name); });

TEST_F(TrashTest, AMoveThatCannotBeARenameLeavesNoInfoBehind)
{
    // The card's folder reaches into another file system through a link: the trash on the card cannot
    // take the file by a rename, and it is never copied.
    std::string const other = "/dev/shm/ravelin-trash-" + std::to_string(::getpid());
    struct stat shm {
    }, tmp {};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(card.c_str(), &tmp) != 0 || shm.st_dev == tmp.st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm";
    fs::create_directories(other);
    fs::create_directory_symlink(other, card + "/linked");
    std::string const path = make(card + "/linked/Far.mp3");
    EXPECT_FALSE(trash(path));
    EXPECT_TRUE(file_exists(path));
    EXPECT_FALSE(file_exists(card + "/.Trash-" + uid + "/info/Far.mp3.trashinfo"));
    fs::remove_all(other);
}

TEST_F(TrashTest, RestorePutsTheFileBackUnlessItsPathIsTaken)
{
    std::string const path = make(test_home() + "/Documents/My Ravelin/Back.mp3");
    auto const trashed = trash(path);
    ASSERT_TRUE(trashed);
    // Its folder has gone meanwhile: it is made again.
    fs::remove_all(test_home() + "/Documents/My Ravelin");
    EXPECT_EQ(platform::restore_from_trash(*trashed), platform::RestoreOutcome::RESTORED);
    EXPECT_EQ(read_file(path), "ID3 audio");
    EXPECT_FALSE(file_exists(platform::to_utf8(trashed->info)));
    EXPECT_FALSE(file_exists(platform::to_utf8(trashed->file)));
    EXPECT_EQ(platform::restore_from_trash(*trashed), platform::RestoreOutcome::FAILED);

    auto const again = trash(path);
    ASSERT_TRUE(again);
    make(path, "a new recording");
    EXPECT_EQ(platform::restore_from_trash(*again), platform::RestoreOutcome::PATH_TAKEN);
    EXPECT_EQ(read_file(platform::to_utf8(again->file)), "ID3 audio");
    EXPECT_TRUE(file_exists(platform::to_utf8(again->info)));
}

} // namespace
