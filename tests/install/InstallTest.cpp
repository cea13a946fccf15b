// The installation as a user's system gets it: `cmake --install` of this build into a staging folder
// (DESTDIR) under the prefix /usr, its files checked by the desktop's own validators, and the installed
// programs run from another working folder without RAVELIN_APP_PATH, so that they must find their data
// in ../share/ravelin and their services in ../libexec/ravelin.
#include <TestSupport.h>

#include <csignal>

using namespace testing_support;

namespace {

class Installed : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        stage_ = fresh_dir("stage");
        installed_ = run(
            "DESTDIR=" + stage_ + " '" RAVELIN_CMAKE "' --install '" RAVELIN_BUILD_DIR "' --prefix /usr >/dev/null");
    }
    void SetUp() override { ASSERT_EQ(installed_.exit_code, 0) << installed_.error; }

    static std::string usr() { return stage_ + "/usr"; }

    // A command line as a user's process runs it: no program folder named, a working folder elsewhere.
    static std::string as_user(std::string const& environment, std::string const& command)
    {
        return "cd '" + fresh_dir("elsewhere") + "' && env -u RAVELIN_APP_PATH " + environment + " " + command;
    }

    inline static std::string stage_;
    inline static CommandResult installed_;
};

TEST_F(Installed, PutsEachFileInItsPlaceWhereItPassesItsValidator)
{
    // Test programs, benchmarks and the skin compiler stay out of an installation; the address-book module
    // is loaded by the program and the services from ../lib/ravelin.
    using Names = std::vector<std::string>;
    EXPECT_EQ(
        std::tuple(names_in(usr() + "/bin"), names_in(usr() + "/libexec/ravelin"), names_in(usr() + "/lib/ravelin")),
        std::tuple(Names { "ravelin", "ravelin-cli", "ravelin-phone" }, Names { "ravelin-keys", "ravelin-notifier" },
            Names { "ravelin-eds.so" }));
    for (char const* data : { "english.lng", "russian.lng", "chinese.lng", "ukrainian.lng", "keyboard.txt",
             "Voicbeep.wav", "RecEnd.wav", "skins/bin/default.skin", "skins/bin/splash.skin", "help/english/index.html",
             "help/russian/index.html", "help/chinese/index.html" })
        EXPECT_TRUE(file_exists(usr() + "/share/ravelin/" + data)) << data;
    for (char const* size : { "16x16", "24x24", "32x32", "48x48", "64x64", "128x128", "256x256" }) {
        std::string const png = usr() + "/share/icons/hicolor/" + size + "/apps/ravelin.png";
        ASSERT_TRUE(file_exists(png)) << png;
        // The PNG's own header says its size: the rendering was not left at the SVG's.
        std::string const header = read_file(png).substr(16, 8);
        int const width = uint8_t(header[2]) << 8 | uint8_t(header[3]);
        EXPECT_EQ(std::to_string(width) + "x" + std::to_string(width), size);
    }
    EXPECT_TRUE(file_exists(usr() + "/share/icons/hicolor/scalable/apps/ravelin.svg"));
    for (char const* page : { "ravelin", "ravelin-cli", "ravelin-phone", "ravelin-notifier", "ravelin-keys" })
        EXPECT_TRUE(file_exists(usr() + "/share/man/man1/" + std::string(page) + ".1")) << page;
    for (char const* service : { "ravelin-notifier", "ravelin-keys" }) {
        std::string const unit = read_file(usr() + "/lib/systemd/user/" + std::string(service) + ".service");
        EXPECT_NE(unit.find("\nExecStart=/usr/libexec/ravelin/" + std::string(service) + "\n"), std::string::npos)
            << unit;
        EXPECT_EQ(unit.find('@'), std::string::npos) << "every placeholder filled:\n" << unit;
    }
    std::string const autostart = read_file(stage_ + "/etc/xdg/autostart/ravelin-notifier.desktop");
    EXPECT_NE(autostart.find("\nExec=/usr/libexec/ravelin/ravelin-notifier\n"), std::string::npos) << autostart;
    if (run("command -v desktop-file-validate && command -v appstreamcli && command -v man").exit_code != 0)
        GTEST_SKIP() << "desktop-file-utils, appstream and man-db are needed (packages.txt)";
    for (std::string const& desktop :
        { usr() + "/share/applications/ravelin.desktop", stage_ + "/etc/xdg/autostart/ravelin-notifier.desktop" }) {
        auto const checked = run("desktop-file-validate '" + desktop + "'");
        EXPECT_EQ(std::tuple(checked.exit_code, checked.output + checked.error), std::tuple(0, ""))
            << desktop << ": no errors and no hints either";
    }
    auto const metainfo = run(
        "appstreamcli validate --no-net --explain '" + usr() + "/share/metainfo/org.ravelin.Ravelin.metainfo.xml'");
    EXPECT_TRUE(metainfo.exit_code == 0 && metainfo.output.find("Validation was successful") != std::string::npos)
        << metainfo.output << metainfo.error;
    for (auto const& page : names_in(usr() + "/share/man/man1")) {
        // man-db passes groff's warnings through to standard error; a clean page says nothing.
        auto const shown
            = run("MANWIDTH=80 man --warnings -l '" + usr() + "/share/man/man1/" + page + "' 2>&1 >/dev/null");
        EXPECT_EQ(shown.output, "") << page;
    }
}

// The installed program on the headless display: its skin (the main screen is shown), its language file
// (the title's text) and its sounds (the start beep of a recording that a later "ravelin record" starts
// reaches the speaker file).
TEST_F(Installed, TheProgramFindsItsFilesAndRecords)
{
    std::string const dir = fresh_dir("program");
    std::filesystem::create_directories(dir + "/run");
    ASSERT_TRUE(sox_tone(dir + "/speech.wav", 44100, 1, 20, "pinknoise tremolo 4 80 vol 0.5"));
    std::string const environment = "XDG_RUNTIME_DIR=" + dir + "/run RAVELIN_TRACE_FORMS=" + dir
        + "/trace.txt RAVELIN_AUDIO_IN=file:" + dir + "/speech.wav RAVELIN_AUDIO_OUT=file:" + dir + "/speaker.wav,fast";
    // Braces put only the program in the background, so that $! is its own process id.
    auto const started = run("cd '" + fresh_dir("elsewhere") + "' && { env -u RAVELIN_APP_PATH " + environment + " "
        + usr() + "/bin/ravelin >" + dir + "/out.txt 2>&1 & echo $!; }");
    int const pid = std::atoi(started.output.c_str());
    ASSERT_GT(pid, 0);
    auto shows = [&](std::string const& form) { return read_file(dir + "/trace.txt").starts_with(form + "\n"); };
    EXPECT_TRUE(wait_until([&] { return shows("FormMain"); })) << read_file(dir + "/out.txt");
    EXPECT_NE(read_file(dir + "/trace.txt").find("\tRavelin\n"), std::string::npos) << read_file(dir + "/trace.txt");

    EXPECT_EQ(run(as_user(environment, usr() + "/bin/ravelin record")).exit_code, 0);
    EXPECT_TRUE(wait_until([&] { return shows("FormRecording"); })) << read_file(dir + "/trace.txt");
    kill(pid, SIGTERM);
    EXPECT_TRUE(wait_until([&] { return kill(pid, 0) != 0; }));

    EXPECT_GT(read_file(dir + "/speaker.wav").size(), 1000u) << "the start beep was played";
}

} // namespace
