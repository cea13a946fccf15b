#include <TestSupport.h>
#include <csignal>
#include <platform/filesystem.h>
#include <platform/services/file_chooser.h>
#include <platform/services/shell.h>
#include <platform/text.h>
#include <sys/resource.h>

using namespace testing_support;
using platform::CopyTarget;

namespace {

// Files may grow to `bytes` only: a longer write fails (EFBIG) part of the way through a copy.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old_); }

private:
    rlimit old_ {};
};

} // namespace

TEST(FileUriTest, LocalFilesOnlyWithTheirEscapesDecoded)
{
    std::pair<char const*, char const*> const cases[] = {
        { "file:///home/ann/Note.mp3", "/home/ann/Note.mp3" },
        { "file:///home/ann/Meeting%20%231%20100%25%20%C3%A9t%C3%A9.mp3", "/home/ann/Meeting #1 100% été.mp3" },
        { "file://localhost/tmp/a.wav", "/tmp/a.wav" }, { "file://server/tmp/a.wav", "" }, // another machine's
        { "sftp:///tmp/a.wav", "" }, { "file://", "" }, { "file:///tmp/a%2", "" }, // a cut escape
        { "file:///tmp/a%zz", "" }, { "file:///tmp/a%00b", "" }, // a NUL would end the name early
    };
    for (auto const& [uri, path] : cases)
        EXPECT_EQ(platform::path_of_file_uri(uri), path) << uri;
}

TEST(FileCopyTest, ACopyReplacesOnlyWhenAskedAndAFailedOneLeavesNothing)
{
    std::string const dir = fresh_dir("copies");
    std::string const big(300000, 'r'), old_bytes = "the old file";
    write_file(dir + "/source.mp3", big);
    auto const in = [&](std::string const& name) { return platform::from_utf8(dir + "/" + name); };

    write_file(dir + "/kept.mp3", old_bytes);
    EXPECT_FALSE(platform::copy_file(in("source.mp3"), in("kept.mp3"), CopyTarget::NEW));
    EXPECT_EQ(platform::last_error(), EEXIST);
    EXPECT_EQ(read_file(dir + "/kept.mp3"), old_bytes);
    ASSERT_TRUE(platform::copy_file(in("source.mp3"), in("new.mp3"), CopyTarget::NEW));
    EXPECT_TRUE(read_file(dir + "/new.mp3") == big);

    write_file(dir + "/replaced.mp3", old_bytes);
    ASSERT_TRUE(platform::copy_file(in("source.mp3"), in("replaced.mp3"), CopyTarget::REPLACE));
    EXPECT_TRUE(read_file(dir + "/replaced.mp3") == big);

    // A disk that fills up half way: no half copy, and the file that was to be replaced is as it was.
    {
        FileSizeLimit const limit(100000);
        EXPECT_FALSE(platform::copy_file(in("source.mp3"), in("half.mp3"), CopyTarget::NEW));
        EXPECT_EQ(platform::last_error(), EFBIG);
        EXPECT_FALSE(platform::copy_file(in("source.mp3"), in("kept.mp3"), CopyTarget::REPLACE));
    }
    EXPECT_EQ(read_file(dir + "/kept.mp3"), old_bytes);
    EXPECT_FALSE(platform::copy_file(in(""), in("folder.mp3"), CopyTarget::NEW)); // a folder is no file
    EXPECT_FALSE(platform::copy_file(in("source.mp3"), in("missing/a.mp3"), CopyTarget::REPLACE));
    EXPECT_EQ(names_in(dir), (std::vector<std::string> { "kept.mp3", "new.mp3", "replaced.mp3", "source.mp3" }));
}

TEST(MusicFolderTest, TheVariableThenTheUserDirsEntryThenMusicAtHome)
{
    std::string const home = test_home();
    std::filesystem::create_directories(home + "/config");
    write_file(home + "/config/user-dirs.dirs", "# written by xdg-user-dirs-update\nXDG_MUSIC_DIR=\"$HOME/Songs\"\n");
    EXPECT_EQ(platform::to_utf8(platform::music_folder()), home + "/Songs");
    setenv("XDG_MUSIC_DIR", "/srv/music", 1);
    EXPECT_EQ(platform::to_utf8(platform::music_folder()), "/srv/music");
    unsetenv("XDG_MUSIC_DIR");
    std::filesystem::remove(home + "/config/user-dirs.dirs");
    EXPECT_EQ(platform::to_utf8(platform::music_folder()), home + "/Music");
}
