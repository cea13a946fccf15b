#include <TestSupport.h>
#include <cstdlib>
#include <os/FileSystem.h>
#include <os/FolderScanner.h>
#include <sys/stat.h>

using namespace os;
using namespace testing_support;
auto const u16 = [](std::string const& s) { return core::from_utf8(s); };

namespace {

// A tree with files and folders in both orders: root/{b.wav, a.mp3, z/{y.mp3, x/w.wav}, c/{v.mp3}}.
std::string make_tree()
{
    std::string const root = fresh_dir("tree");
    std::filesystem::create_directories(root + "/z/x");
    std::filesystem::create_directories(root + "/c");
    for (auto f : { "/b.wav", "/a.mp3", "/z/y.mp3", "/z/x/w.wav", "/c/v.mp3", "/c/notes.txt" })
        write_file(root + f, "data");
    return root;
}

// What real folders hold besides recordings: two links that lead back up the tree (one to the folder
// itself, one to its parent), a pipe and a broken link named like recordings, a link to another folder.
// root/{a.mp3, loop -> ., pipe.mp3 (FIFO), gone.mp3 -> nowhere, sub/{b.wav, up -> ..}, other/c.mp3, also -> other}
std::string make_tree_with_loops()
{
    std::string const root = fresh_dir("loops");
    std::filesystem::create_directories(root + "/sub");
    std::filesystem::create_directories(root + "/other");
    for (auto f : { "/a.mp3", "/sub/b.wav", "/other/c.mp3" })
        write_file(root + f, "data");
    std::filesystem::create_directory_symlink(".", root + "/loop");
    std::filesystem::create_directory_symlink("..", root + "/sub/up");
    std::filesystem::create_directory_symlink("other", root + "/also");
    std::filesystem::create_symlink("nowhere", root + "/gone.mp3");
    EXPECT_EQ(::mkfifo((root + "/pipe.mp3").c_str(), 0644), 0);
    return root;
}

// The events of a walk, each "f PATH" or "d PATH" relative to the root, separated by ", ".
struct Recorder final : DirectoryVisitor {
    std::string root;
    std::string events;
    std::string stop_at;
    // A walk that never ends is cut short, so that it fails instead of hanging.
    size_t count = 0;
    bool on_file(core::String const& path) override { return note("f ", path); }
    bool on_directory(core::String const& path) override { return note("d ", path); }
    bool note(char const* kind, core::String const& path)
    {
        std::string const rel = core::to_utf8(path).substr(root.size());
        events += (events.empty() ? "" : ", ") + (kind + rel);
        return rel != stop_at && ++count < 1000;
    }
    std::string walk(core::StringView file_mask = u"*")
    {
        events.clear();
        walk_directory(*this, u16(root), file_mask, u"*", true);
        return events;
    }
};

// Folders reached again through links are not walked again; pipes and broken links are no files.
TEST(Folders, WalkedDepthFirstOnceEachAndCardsFound)
{
    Recorder r;
    r.root = make_tree();
    EXPECT_EQ(r.walk(), "f /a.mp3, f /b.wav, d /c, f /c/notes.txt, f /c/v.mp3, d /z, f /z/y.mp3, d /z/x, f /z/x/w.wav");
    r.stop_at = "/c/notes.txt";
    EXPECT_EQ(r.walk(u"*.MP3"), "f /a.mp3, d /c, f /c/v.mp3, d /z, f /z/y.mp3, d /z/x");
    EXPECT_EQ(r.walk(), "f /a.mp3, f /b.wav, d /c, f /c/notes.txt, d /z, f /z/y.mp3, d /z/x, f /z/x/w.wav")
        << "a stop ends only the nested walk";
    std::tuple<char16_t const*, char16_t const*, bool> const masks[]
        = { { u"Notes.TXT", u"*.txt", true }, { u"a", u"?", true }, { u"ab", u"?", false },
              { u"english.lng", u"*.lng", true }, { u"english.lng.bak", u"*.lng", false } };
    for (auto const& [name, mask, matches] : masks)
        EXPECT_EQ(matches_mask(name, mask), matches) << core::to_utf8(name) << " " << core::to_utf8(mask);
    Recorder loops;
    loops.root = make_tree_with_loops();
    EXPECT_EQ(loops.walk(), "f /a.mp3, d /also, f /also/c.mp3, d /sub, f /sub/b.wav");
    // Cards except the one with the documents are found.
    std::string const card1 = fresh_dir("card1");
    std::string const card2 = fresh_dir("card2");
    std::string const home = test_home(); // holds the documents folder
    setenv("RAVELIN_CARDS", (card1 + ":" + home + "::" + card2).c_str(), 1);
    Recorder drives;
    LogCapture drives_log;
    find_drives(drives);
    setenv("RAVELIN_CARDS", "", 1);
    EXPECT_EQ(drives.events, "d " + card1 + ", d " + card2);
    EXPECT_TRUE(drives_log.contains("skipping result={" + home + "}")
        && drives_log.contains("returning result={" + card1 + "}")
        && drives_log.contains("find_drives: mydoc={" + home + "/Documents}"))
        << drives_log.utf8();
    Recorder none;
    find_drives(none);
    EXPECT_TRUE(none.events.empty()) << "an empty RAVELIN_CARDS means no card";
}

class FolderScannerTest : public ::testing::Test, public ScanListener {
protected:
    void on_file(core::String const& path) override { files.push_back(core::to_utf8(path).substr(root.size())); }
    void on_finished() override { finished = true; }

    // The files listed by scans started in `folders` (relative to the root) one after another.
    std::vector<std::string> scan(std::vector<std::string> const& folders, bool recursive = true)
    {
        files.clear();
        finished = false;
        for (auto const& folder : folders)
            scanner.start(u16(root + folder), recursive);
        EXPECT_TRUE(files.empty()) << "nothing happens before the first tick";
        uint32_t const start = platform::tick_count();
        platform::Message m;
        while (!finished && platform::tick_count() - start < 5000 && platform::get_message(m, 0, 0, 0) != 0)
            platform::dispatch_message(m);
        EXPECT_TRUE(finished);
        return files;
    }

    core::CActiveScheduler scheduler { u"VizuvevClass_Scan" };
    FolderScanner scanner { this };
    std::string root;
    std::vector<std::string> files;
    bool finished = false;
};

// Empty and missing folders finish without files.
TEST_F(FolderScannerTest, ListsOneEntryPerTickBreadthFirstEachFolderOnceAndOnlyRegularFiles)
{
    root = make_tree();
    EXPECT_EQ(scan({ "" }),
        (std::vector<std::string> { "/a.mp3", "/b.wav", "/c/notes.txt", "/c/v.mp3", "/z/y.mp3", "/z/x/w.wav" }));
    root = fresh_dir("empty");
    EXPECT_TRUE(scan({ "", "/missing" }, false).empty());
    root = make_tree_with_loops();
    // "/loop" is the same folder by another name.
    EXPECT_EQ(scan({ "", "/loop" }), (std::vector<std::string> { "/a.mp3", "/also/c.mp3", "/sub/b.wav" }));
    // A finished scan forgets what it saw: the next one lists the folder again.
    EXPECT_EQ(scan({ "" }, false), std::vector<std::string> { "/a.mp3" });
}

} // namespace
