#include "TestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <os/LogFile.h>

int main(int argc, char** argv)
{
    // A private home, so that tests never touch the user's recordings, settings or devices. A death
    // test's child process is this program run again: it keeps its parent's home.
    bool death_test_child = std::any_of(argv + 1, argv + argc,
        [](char const* a) { return std::string(a).starts_with("--gtest_internal_run_death_test"); });
    std::string home;
    if (char const* inherited = std::getenv("RAVELIN_TEST_HOME"); death_test_child && inherited) {
        home = inherited;
    } else {
        char pattern[] = "/tmp/ravelin-test-XXXXXX";
        char* dir = mkdtemp(pattern);
        if (!dir)
            return 1;
        home = dir;
        death_test_child = false;
    }
    setenv("RAVELIN_TEST_HOME", home.c_str(), 1);
    testing_support::home_dir = home;
    std::filesystem::create_directories(home + "/Documents");
    std::pair<char const*, char const*> const places[] = { { "HOME", "" }, { "XDG_CONFIG_HOME", "/config" },
        { "XDG_STATE_HOME", "/state" }, { "XDG_DATA_HOME", "/data" }, { "XDG_DOCUMENTS_DIR", "/Documents" },
        { "XDG_RUNTIME_DIR", "/run" }, { "RAVELIN_REGISTRY", "/config/ravelin/registry.db" } };
    for (auto [name, place] : places)
        setenv(name, (home + place).c_str(), 1);
    setenv("RAVELIN_CARDS", "", 1);
    setenv("LC_ALL", "C.UTF-8", 1); // dates and times in one known locale
    setenv("RAVELIN_AUDIO_IN", "none", 1);
    setenv("RAVELIN_AUDIO_OUT", "none", 1);
    setenv("RAVELIN_DISPLAY", "headless", 1);
    unsetenv("DBUS_SESSION_BUS_ADDRESS"); // no session bus: never the user's address books
    // Nor the machine's logind: a recording in a test holds off no real suspend.
    setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + home + "/run/no-system-bus").c_str(), 1);
    os::install_log();

    testing::InitGoogleTest(&argc, argv);
    // Anything left is not GoogleTest's: most likely a test program started as if it were Ravelin (a
    // notification's "call", say). Running every test again there would start the same again.
    if (argc > 1) {
        std::fprintf(
            stderr, "%s: unknown argument '%s': a test program takes only GoogleTest's options\n", argv[0], argv[1]);
        if (!death_test_child)
            std::filesystem::remove_all(home);
        return 2;
    }
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    int const result = RUN_ALL_TESTS();
    if (!death_test_child && !std::getenv("RAVELIN_KEEP_TEST_HOME"))
        std::filesystem::remove_all(home);
    return result;
}
