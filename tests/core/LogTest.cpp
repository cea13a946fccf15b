#include <TestSupport.h>
#include <atomic>
#include <core/Log.h>
#include <platform/services/registry_store.h>
#include <platform/services/registry_values.h>

using namespace core;
using testing_support::read_file;
using testing_support::read_utf16_file;

namespace {

auto const log_path = [] { return testing_support::test_home() + "/state/ravelin/core_tests.txt"; };
// Switched through a connection of its own, as another process of the program (or the user) does: the log
// reads its setting again whenever the store changed, whoever changed it.
auto const set_logging = [](bool on) {
    static platform::RegistryStore other(platform::RegistryStore::instance().path());
    ASSERT_TRUE(platform::write_dword(other, platform::RegistryRoot::CURRENT_USER, u"Software\\Korvex", u"Log", on));
};

class LogTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        set_logging(false);
        log();
    }
};

TEST_F(LogTest, SwitchingOnStartsAFreshFileSwitchingWhileWritingIsSafeAndAFatalErrorIsLast)
{
    set_logging(false);
    log() << "discarded\n";
    set_logging(true);
    log() << "first " << 42 << u" \u00e9\n";
    EXPECT_EQ(std::pair(read_file(log_path()).substr(0, 2), read_utf16_file(log_path())),
        std::pair(std::string("\xFF\xFE"), std::u16string(u"first 42 \u00e9\n")));

    set_logging(false);
    log() << "while off\n";
    set_logging(true);
    log() << "second " << -7 << "\n";
    EXPECT_EQ(read_utf16_file(log_path()), u"second -7\n") << "each switch to on starts the file anew";
    log() << int32_t(-2147483647 - 1) << " " << uint32_t(4000000000u) << " " << 0.25 << "\n";
    EXPECT_EQ(read_utf16_file(log_path()), u"second -7\n-2147483648 4000000000 0.25\n") << "numbers in signed decimal";
    // One thread writes lines while another keeps switching the log on and off: every sink is released
    // only after its last writer, and nothing crashes or corrupts memory.
    std::atomic<bool> stop { false };
    std::thread writer([&] {
        while (!stop.load())
            log() << "piece " << 1 << " " << 2 << "\n";
    });
    for (int i = 0; i < 40; ++i)
        set_logging(i % 2 == 0);
    stop = true;
    writer.join();
    set_logging(false);
    log(); // the switch takes effect at a log call
    set_logging(true);
    log() << "end\n";
    EXPECT_EQ(read_utf16_file(log_path()), u"end\n");
    // A fatal error is the last line and ends the process with a failure code.
    set_logging(true);
    log() << "before\n";
    EXPECT_EXIT(fatal_error(u"Place::where()", u"broken invariant"), ::testing::ExitedWithCode(FATAL_EXIT_CODE),
        "broken invariant @ Place::where\\(\\)");
    auto const text = read_utf16_file(log_path());
    EXPECT_TRUE(text.ends_with(u"Gluck: broken invariant @ Place::where()\n")) << to_utf8(text);
}

} // namespace
