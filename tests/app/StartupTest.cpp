#include "ProcessSupport.h"

#include <app/Program.h>
#include <app/Starter.h>
#include <cctype>
#include <os/Registry.h>
#include <sstream>

using namespace app_test;

namespace {

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        use_test_data();
        os::reg_set_dword(u"HKEY_CURRENT_USER\\Software\\Korvex", u"Log", 1);
    }
    void TearDown() override
    {
        os::reg_set_dword(u"HKEY_CURRENT_USER\\Software\\Korvex", u"Log", 0);
        setenv("RAVELIN_AUDIO_IN", "none", 1);
        testing_support::drain_messages();
    }

    // Whether `pattern` matches `line` whole: "#" stands for a number (a tick count, an address), everything
    // else for itself.
    static bool matches(std::string_view line, std::string_view pattern)
    {
        for (size_t i = 0, j = 0;; ++j) {
            if (j == pattern.size())
                return i == line.size();
            if (pattern[j] != '#') {
                if (i == line.size() || line[i++] != pattern[j])
                    return false;
                continue;
            }
            size_t const digits = i;
            while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])))
                ++i;
            if (i == digits)
                return false;
        }
    }

    // For each log line that one of the patterns matches whole, the first such pattern, in log order.
    static std::vector<std::string> lines_of(std::string const& log, std::vector<std::string> const& patterns)
    {
        std::vector<std::string> found;
        std::istringstream lines(log);
        for (std::string line; std::getline(lines, line);)
            if (auto const at
                = std::find_if(patterns.begin(), patterns.end(), [&](auto const& p) { return matches(line, p); });
                at != patterns.end())
                found.push_back(*at);
        return found;
    }
};

} // namespace

TEST_F(StartupTest, TheSplashComesAtOnceAndTheMainScreenHalfASecondLater)
{
    app::Program program(u"");
    auto& stack = program.application().form_stack();
    EXPECT_TRUE(stack.top() == &program.starter().splash_form() && stack.top_is_popup());
    uint32_t const start = platform::tick_count();
    ASSERT_TRUE(pump(program.application(), 3000, [&] { return stack.top() == program.starter().main_form(); }));
    EXPECT_GE(platform::tick_count() - start, 450u);
    EXPECT_EQ(stack.top()->id(), u"FormMain");
    EXPECT_TRUE(!stack.contains(&program.starter().splash_form()) && program.starter().can_close());
}

TEST_F(StartupTest, LaterStartsHandOverTheirCommandAndOnlyCallStaysBehind)
{
    app::Program program(u"");
    auto& display = headless(program.application());
    for (auto [command, restores] : { std::pair { u"", 1 }, std::pair { u"call", 1 }, std::pair { u"other", 2 } }) {
        ASSERT_TRUE(app::Application::show_running_instance(command, u"Ravelin"));
        app::Application::release_startup_mutex();
        EXPECT_TRUE(pump(program.application(), 2000, [&] { return display.restores() == restores; }));
        pump(program.application(), 50);
        EXPECT_EQ(display.restores(), restores) << core::to_utf8(command);
    }
}

// An instance killed outright leaves nothing that stops the next start. That one logs its start-up in
// order, and later starts hand their commands over to it: the empty one arrives empty, "record" records
// until SIGTERM stops the recording cleanly and ends the program.
TEST_F(StartupTest, AfterAKilledInstanceTheNextLogsItsStartUpAndObeysLaterStarts)
{
    std::string const runtime = testing_support::fresh_dir("runtime");
    auto killed = start_ravelin(runtime, "");
    ASSERT_TRUE(wait_until([&] { return shows(killed, "FormMain"); })) << killed.trace();
    ASSERT_TRUE(stop(killed, SIGKILL));
    auto first = start_ravelin(
        runtime, "", "RAVELIN_AUDIO_IN=file:" + testing_support::wav_file(testing_support::tone(20, 16000), 16000));
    ASSERT_TRUE(wait_until([&] { return shows(first, "FormMain"); })) << first.log();
    // The recordings folder is shared with the earlier cases: only a recording newer than theirs counts.
    std::string const earlier = newest_recording(runtime, first.dir).first;
    EXPECT_EQ(run_ravelin(runtime, ""), 0);
    EXPECT_EQ(run_ravelin(runtime, "record"), 0);
    ASSERT_TRUE(wait_until([&] {
        auto const [path, seconds] = newest_recording(runtime, first.dir);
        return path != earlier && seconds > 1.0;
    })) << first.log();
    ASSERT_TRUE(stop(first));
    std::string const log = first.log();
    std::vector<std::string> const order
        = { "WinMain:#", "Application::show_running_instance_open_bracket cmd_line=", "WinMain1:#", "# GameBase 0",
              "# GameBase 1", "# GameBase 2", "# GameBase 3", "# GameBase 4", "# GameBase 5",
              "Application::Application() this=#", "WinMain2:#", "Starter:#",
              "on_other_instance_started:", "on_other_instance_started:record", "Application::~Application()" };
    EXPECT_EQ(lines_of(log, order), order) << log;
    auto const [path, seconds] = newest_recording(runtime, first.dir);
    EXPECT_TRUE(path != earlier && path.ends_with(".mp3") && seconds > 1.0) << path << ": " << seconds << " s";
}
