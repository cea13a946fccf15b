#include "XvfbSupport.h"

#include <set>

using namespace app_test;
using testing_support::run;

// A morning of voice notes in a real window (SDL's X11 driver under Xvfb, a WAV file as microphone): five
// notes of different lengths, recorded by tapping, are five rows that tell them apart, each with its
// length. The screenshot stays beside the test program (app/glance-five-notes.png).
TEST(GlanceEndToEndTest, FiveNotesAreFiveRowsThatDifferEachWithItsLength)
{
    if (run("command -v Xvfb && command -v xdotool").exit_code != 0)
        GTEST_SKIP() << "Xvfb and xdotool are needed (packages.txt)";
    WindowedRavelin app;
    ASSERT_FALSE(app.window.empty()) << app.program.trace();
    auto const& program = app.program;
    auto tap = [&](std::string const& id) {
        std::optional<TraceRect> r;
        ASSERT_TRUE(wait_until([&] { return (r = find_in_trace(program.trace(), id)).has_value(); })) << id;
        ASSERT_TRUE(app.screen.click(app.window, *r));
    };
    // The rows on screen: the strong line and the other of each, "|" between them.
    auto rows = [&] {
        std::vector<std::string> found;
        std::istringstream lines(program.trace());
        std::string strong;
        for (std::string line; std::getline(lines, line);) {
            std::string const text = line.find('\t') == std::string::npos ? "" : line.substr(line.find('\t') + 1);
            if (line.starts_with("artist "))
                strong = text;
            else if (line.starts_with("name "))
                found.push_back(strong + "|" + text);
        }
        return found;
    };

    for (int seconds = 1; seconds <= 5; ++seconds) {
        tap("btnRecord");
        std::string const until = "0:00:0" + std::to_string(seconds);
        ASSERT_TRUE(wait_until([&] {
            auto const elapsed = find_in_trace(program.trace(), "frmElapsed");
            return shows(program, "FormRecording") && elapsed && elapsed->text >= until;
        })) << program.trace();
        tap("btnClose");
        ASSERT_TRUE(wait_until([&] { return shows(program, "FormMain") && rows().size() == size_t(seconds); }))
            << program.trace();
    }
    app.keep_picture("glance-five-notes");
    auto const shown = rows();
    EXPECT_EQ(std::set<std::string>(shown.begin(), shown.end()).size(), 5u) << program.trace();
    EXPECT_TRUE(stop(program));
}
