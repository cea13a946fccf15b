#include "ProcessSupport.h"

#include <app/Program.h>
#include <app/Starter.h>
#include <document/Document.h>
#include <gtest/gtest.h>
#include <os/Registry.h>
#include <phone/PhoneState.h>
#include <sstream>

using namespace app_test;

namespace {

class EventCounter final : public document::DocumentListener {
public:
    void on_document_event(document::DocumentEvent const& event) override
    {
        if (event.code == document::DocumentEvent::RECORDING_STARTED)
            ++started;
    }
    int started = 0;
};

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
        platform::Message m;
        while (platform::peek_message(m, 0, 0, 0, platform::Peek::REMOVE)) { }
    }

    static std::string speech_wav() { return testing_support::wav_file(testing_support::tone(20, 16000), 16000); }

    // Whether a log line is the pattern: "#" stands for a number (a tick count, an address).
    static bool matches(std::string_view line, std::string_view pattern)
    {
        size_t const hole = pattern.find('#');
        if (hole == std::string_view::npos)
            return line == pattern;
        if (!line.starts_with(pattern.substr(0, hole)))
            return false;
        line.remove_prefix(hole);
        size_t digits = 0;
        while (digits < line.size() && std::isdigit(static_cast<unsigned char>(line[digits])))
            ++digits;
        return digits > 0 && matches(line.substr(digits), pattern.substr(hole + 1));
    }

    // For each log line that one of the patterns matches, the first such pattern, in log order.
    static std::vector<std::string> lines_of(std::string const& log, std::vector<std::string> const& patterns)
    {
        std::vector<std::string> found;
        std::istringstream lines(log);
        for (std::string line; std::getline(lines, line);)
            for (auto const& p : patterns)
                if (matches(line, p)) {
                    found.push_back(p);
                    break;
                }
        return found;
    }
};

} // namespace

TEST_F(StartupTest, TheSplashComesAtOnceAndTheMainScreenHalfASecondLater)
{
    app::Program program(u"");
    auto& stack = program.application().form_stack();
    EXPECT_EQ(stack.top(), &program.starter().splash_form());
    EXPECT_TRUE(stack.top_is_popup());
    uint32_t const start = platform::tick_count();
    ASSERT_TRUE(pump(program.application(), 3000, [&] { return stack.top() == program.starter().main_form(); }));
    EXPECT_GE(platform::tick_count() - start, 450u);
    EXPECT_FALSE(stack.contains(&program.starter().splash_form()));
    EXPECT_EQ(stack.top()->id(), u"FormMain");
    EXPECT_TRUE(program.starter().can_close());
}

TEST_F(StartupTest, CallAtStartRecordsBeforeTheMainScreenAndTellsIt)
{
    setenv("RAVELIN_AUDIO_IN", ("file:" + speech_wav()).c_str(), 1);
    os::reg_set_dword(phone::PHONE_STATE_KEY, u"Active Call Count", 1);
    os::reg_set_dword(phone::PHONE_STATE_KEY, u"Status", phone::STATUS_TALKING);
    {
        app::Program program(u"call");
        EventCounter events;
        program.document().add_listener(&events);
        auto& document = program.document();
        EXPECT_TRUE(document.is_recording());
        EXPECT_TRUE(document.is_call_recording());
        EXPECT_TRUE(document.started_for_call());
        EXPECT_TRUE(headless(program.application()).minimized());
        EXPECT_FALSE(program.application().is_active());
        EXPECT_EQ(program.starter().main_form(), nullptr);
        // While it records, the window refuses to close.
        EXPECT_FALSE(program.starter().can_close());
        ASSERT_TRUE(pump(program.application(), 3000, [&] { return program.starter().main_form() != nullptr; }));
        // The main screen, made after the recording began, is told of it and shows the recording.
        EXPECT_EQ(events.started, 1);
        pump(program.application(), 100);
        ASSERT_NE(program.application().form_stack().top(), nullptr);
        EXPECT_EQ(program.application().form_stack().top()->id(), u"FormRecording");
        EXPECT_TRUE(document.is_recording());
        program.document().remove_listener(&events);
        document.stop();
    }
    os::reg_set_dword(phone::PHONE_STATE_KEY, u"Active Call Count", 0);
    os::reg_set_dword(phone::PHONE_STATE_KEY, u"Status", 0);
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
    auto first = start_ravelin(runtime, "", "RAVELIN_AUDIO_IN=file:" + speech_wav());
    ASSERT_TRUE(wait_until([&] { return shows(first, "FormMain"); })) << first.log();
    EXPECT_EQ(run_ravelin(runtime, ""), 0);
    EXPECT_EQ(run_ravelin(runtime, "record"), 0);
    ASSERT_TRUE(wait_until([&] { return newest_recording(runtime, first.dir).second > 1.0; })) << first.log();
    ASSERT_TRUE(stop(first));
    std::string const log = first.log();
    std::vector<std::string> const order
        = { "WinMain:#", "Application::show_running_instance_open_bracket cmd_line=", "WinMain1:#", "# GameBase 0",
              "# GameBase 1", "# GameBase 2", "# GameBase 3", "# GameBase 4", "# GameBase 5",
              "Application::Application() this=#", "WinMain2:#", "Starter:#",
              "on_other_instance_started:", "on_other_instance_started:record", "Application::~Application()" };
    EXPECT_EQ(lines_of(log, order), order) << log;
    auto const [path, seconds] = newest_recording(runtime, first.dir);
    EXPECT_TRUE(path.ends_with(".mp3")) << path;
    EXPECT_GT(seconds, 1.0);
}
