#include <TestSupport.h>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <future>
#include <os/File.h>
#include <os/FileInfo.h>
#include <os/FileSystem.h>
#include <os/UnicodeTextFile.h>
#include <platform/filesystem.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace os;
using namespace testing_support;
auto const wide = [](std::string const& s) { return core::from_utf8(s); };

namespace {

TEST(File, ModesClaimsAppendsInfoSpaceAndDates)
{
    std::string const dir = fresh_dir("modes");
    std::string const path = dir + "/f.bin";
    char buffer[8];
    File missing(wide(dir + "/none"), FileMode::Read);
    EXPECT_EQ(std::tuple(missing.is_open(), missing.read(buffer, 8), missing.size(), missing.seek(0)),
        std::tuple(false, 0u, 0u, false));
    {
        File f(wide(path), FileMode::Write);
        ASSERT_TRUE(f.is_open() && f.write("hello", 5) == 5 && f.write("x", 0) == 0);
    }
    {
        File f(wide(path), FileMode::Append);
        EXPECT_EQ(f.tell(), 5u);
        f.write("!", 1);
    }
    EXPECT_EQ(read_file(path), "hello!");
    {
        File f(wide(path), FileMode::ReadWrite);
        // Read-write opens at the start; a short read at the end is not an error.
        EXPECT_TRUE(
            f.tell() == 0 && f.skip(2) == 2 && f.read(buffer, 8) == 4 && f.set_size(3) && f.size() == 3 && f.seek(1));
        f.write("E", 1);
    }
    EXPECT_EQ(read_file(path), "hEl");
    File(wide(path), FileMode::Write);
    EXPECT_EQ(read_file(path), "") << "write mode truncates";
    EXPECT_FALSE(File(wide(dir), FileMode::Read).is_open()) << "a folder is not a file";
    // A pipe named like a recording, a device, a folder: none is a file, in any mode, and none makes the open
    // wait (a pipe without a writer would hold a plain open for ever).
    std::string const kinds = fresh_dir("kinds");
    std::string const fifo = kinds + "/x.mp3";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    for (auto const& [path, error] : { std::pair { fifo, ENXIO }, { "/dev/null", ENXIO }, { kinds, EISDIR } })
        for (auto mode : { platform::OpenMode::READ_EXISTING, platform::OpenMode::WRITE_TRUNCATE,
                 platform::OpenMode::WRITE_OPEN_OR_CREATE, platform::OpenMode::READ_WRITE,
                 platform::OpenMode::APPEND }) {
            auto opening = std::async(std::launch::async, [path = path, mode] {
                platform::FileHandle const handle = platform::open_file(wide(path), mode);
                return std::pair { handle, platform::last_error() };
            });
            if (opening.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
                ADD_FAILURE() << path << " mode " << int(mode) << ": the open waits";
                // Both ends of the pipe at once release the waiting open.
                int const both = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
                opening.wait();
                ::close(both);
            }
            auto const [handle, last] = opening.get();
            EXPECT_EQ(std::tuple(handle, last), std::tuple(platform::INVALID_FILE, error)) << path << " " << int(mode);
            platform::close_file(handle);
        }
    EXPECT_TRUE(std::filesystem::is_fifo(fifo)) << "the pipe is left as it was";
    // A link to a file is that file.
    write_file(kinds + "/real.mp3", "abc");
    std::filesystem::create_symlink(kinds + "/real.mp3", kinds + "/link.mp3");
    EXPECT_EQ(File(wide(kinds + "/link.mp3"), FileMode::Read).size(), 3u);
    // A log's case: the first process empties the file and keeps it; a later one only adds to it, and what
    // either writes lands at the end, whoever wrote last.
    std::string const log = fresh_dir("claim") + "/log.txt";
    write_file(log, "last run");
    ASSERT_TRUE(platform::claim_file(wide(log)) && read_file(log).empty());
    {
        File first(wide(log), FileMode::Append), second(wide(log), FileMode::Append);
        first.write("A", 1);
        second.write("B", 1);
        first.write("C", 1);
    }
    // util-linux's flock stands for another process of the program: it must find the file taken.
    EXPECT_EQ(std::system(("flock -n -E 3 '" + log + "' true").c_str()), 3 << 8) << "another process cannot take it";
    EXPECT_EQ(read_file(log), "ABC");
    EXPECT_TRUE(platform::claim_file(wide(log)) && read_file(log).empty()) << "the owner may start it anew";
    // A text file starts with one byte order mark, however many append to it.
    std::string const text = fresh_dir("text") + "/t.txt";
    UnicodeTextFile(wide(text), FileMode::Append).write(u"a\n", 2);
    UnicodeTextFile(wide(text), FileMode::Append).write(u"\u0416", 1);
    EXPECT_EQ(read_file(text), std::string("\xFF\xFE\x61\0\n\0\x16\x04", 8)); // "a\n\u0416"
    std::string const info = fresh_dir("info");
    write_file(info + "/a.mp3", std::string(1234, 'x'));
    FileInfo file(wide(info + "/a.mp3"));
    EXPECT_EQ(std::tuple(file.exists(), file.is_directory(), file.size()), std::tuple(true, false, 1234u));
    EXPECT_TRUE(file.created() <= file.modified() && file.modified().year >= 2024);
    EXPECT_TRUE(FileInfo(wide(info + "/")).is_directory());
    FileInfo none(wide(info + "/none"));
    EXPECT_EQ(std::tuple(none.exists(), none.attributes(), none.size()), std::tuple(false, ATTRIBUTES_NOT_FOUND, 0u));

    EXPECT_TRUE(
        FileInfo(wide(info + "/a.mp3")).move_to(wide(info + "/b.mp3")) && FileInfo(wide(info + "/b.mp3")).exists());
    write_file(info + "/c.mp3", "c");
    FileInfo clash(wide(info + "/c.mp3"));
    EXPECT_TRUE(!clash.move_to(wide(info + "/b.mp3")) && clash.last_error() != 0)
        << "an existing name is never overwritten";
    EXPECT_EQ(read_file(info + "/b.mp3").size(), 1234u);
    EXPECT_TRUE(delete_file(wide(info + "/c.mp3")) && !delete_file(wide(info + "/c.mp3")));
    std::string const volume = fresh_dir("space");
    double const here = free_space(wide(volume));
    EXPECT_TRUE(here > 0 && total_space(wide(volume)) > here * 0.999) << here;
    EXPECT_GT(free_space(wide(volume + "/not/yet/created")), 0) << "the nearest existing parent answers";
    // /dev/shm is a volume of its own on Linux: a path on it must not be answered by the root file system.
    EXPECT_TRUE(!std::filesystem::exists("/dev/shm") || total_space(u"/dev/shm/ravelin-none") != total_space(u"/"));
    os::DateTime const t { 2026, 12, 6, 14, 5, 9, 0, 0 };
    auto const date = core::to_utf8(os::date_text(t, true));
    EXPECT_TRUE(date.find("2026") != std::string::npos && date.find("December") != std::string::npos)
        << "the long form names the month: " << date;
    EXPECT_NE(os::date_text(t, false), os::date_text(t, true));
    EXPECT_EQ(core::to_utf8(os::time_text(t)), "14:05:09");
    EXPECT_LT((os::DateTime { 2026, 12, 6, 14, 5, 9, 1, 0 }), (os::DateTime { 2026, 12, 6, 14, 5, 10, 0, 3 }));
}

// The arguments a program started with `parameters` gets: their count, then one a line.
std::string arguments_of(core::StringView parameters)
{
    std::string const dir = fresh_dir("exec");
    std::string const script = dir + "/args.sh";
    write_file(script, "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > \"" + dir + "/out.txt\"\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    EXPECT_TRUE(execute_file(wide(script), parameters));
    wait_until([&] { return !read_file(dir + "/out.txt").empty(); }, 5000);
    return read_file(dir + "/out.txt");
}

// Words that a parameter string must carry whole: spaces, quotes, backslashes before a quote and at the end.
TEST(ExecuteFile, StartsAProgramWithItsParametersWithoutWaiting)
{
    EXPECT_EQ(arguments_of(u"\"two words\" second"), "2\ntwo words\nsecond\n");
    EXPECT_FALSE(execute_file(u"ravelin-no-such-program", u"--attach \"x\""));
    for (std::string const word :
        { "/home/ann/My Ravelin/Say \"hi\" now.mp3", "plain", "", "a\\\"b", "ends\\", "two\\\\", "\"\"", "tab\there" })
        EXPECT_EQ(arguments_of(u"--attach " + quote_parameter(wide(word)) + u" \"x\"\\\"y"),
            "3\n--attach\n" + word + "\nx\"y\n");
}

} // namespace
