#include <TestSupport.h>
#include <platform/services/shell.h>
#include <sys/stat.h>

using platform::companion_program;
using platform::data_folder_of;
using testing_support::fresh_dir;
using testing_support::write_file;

namespace {

void executable(std::string const& path)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    write_file(path, "#!/bin/sh\n");
    ASSERT_EQ(chmod(path.c_str(), 0755), 0);
}

void data_in(std::string const& folder)
{
    std::filesystem::create_directories(folder);
    write_file(folder + "/english.lng", "");
}

// The data folder of a build tree, and of a tree whose share/ravelin lacks the data. The installed tree's
// share/ravelin is InstallTest's: the installed program runs from there.
TEST(ProgramFolders, DataIsBesideTheProgramOrInShareRavelinAboveIt)
{
    std::string const build = fresh_dir("build");
    data_in(build + "/bin");
    data_in(build + "/share/ravelin"); // beside wins: the build tree keeps working
    EXPECT_EQ(data_folder_of(build + "/bin/ravelin"), build + "/bin");

    // Neither holds the data: the program's own folder, so that it says what it misses there.
    std::string const bare = fresh_dir("bare");
    std::filesystem::create_directories(bare + "/bin");
    std::filesystem::create_directories(bare + "/share/ravelin"); // a folder without the data
    EXPECT_EQ(data_folder_of(bare + "/bin/ravelin"), bare + "/bin");
}

TEST(ProgramFolders, TheNotifierIsFoundBesideTheProgramThenInLibexecThenOnThePath)
{
    std::string const build = fresh_dir("build-tree");
    executable(build + "/bin/ravelin-notifier");
    EXPECT_EQ(companion_program(build + "/bin/ravelin", "ravelin-notifier"), build + "/bin/ravelin-notifier");

    std::string const prefix = fresh_dir("installed") + "/usr";
    executable(prefix + "/libexec/ravelin/ravelin-notifier");
    EXPECT_EQ(
        companion_program(prefix + "/bin/ravelin", "ravelin-notifier"), prefix + "/libexec/ravelin/ravelin-notifier");

    // A file that cannot be run is passed over.
    std::string const other = fresh_dir("other") + "/usr";
    std::filesystem::create_directories(other + "/libexec/ravelin");
    write_file(other + "/libexec/ravelin/ravelin-notifier", "not a program");
    std::string const path_dir = fresh_dir("path-dir");
    executable(path_dir + "/ravelin-notifier");
    std::string const saved = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", ("/nonexistent::" + path_dir).c_str(), 1);
    EXPECT_EQ(companion_program(other + "/bin/ravelin", "ravelin-notifier"), path_dir + "/ravelin-notifier");
    EXPECT_EQ(companion_program(other + "/bin/ravelin", "no-such-companion"), "");
    setenv("PATH", saved.c_str(), 1);
}

} // namespace
