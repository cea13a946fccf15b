#include "ProcessSupport.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace app_test;
using testing_support::run;

namespace {

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};

// The first element `id` of the trace, if the trace has it.
std::optional<Rect> find_element(std::string const& trace, std::string const& id)
{
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string name;
        Rect r;
        if (fields >> name >> r.x >> r.y >> r.width >> r.height && name == id)
            return r;
    }
    return std::nullopt;
}

// An X server of its own, on the display number it picks.
class VirtualScreen {
public:
    VirtualScreen()
    {
        std::string const dir = testing_support::fresh_dir("xvfb");
        auto const started = run("Xvfb -displayfd 1 -screen 0 640x800x24 -nolisten tcp 2>" + dir + "/xvfb.txt > " + dir
            + "/display.txt & echo $!");
        pid_ = std::atoi(started.output.c_str());
        wait_until([&] { return !testing_support::read_file(dir + "/display.txt").empty(); });
        std::string const number = testing_support::read_file(dir + "/display.txt");
        if (!number.empty())
            display_ = ":" + number.substr(0, number.find('\n'));
    }
    ~VirtualScreen()
    {
        if (pid_ > 0)
            kill(pid_, SIGTERM);
    }
    std::string const& display() const { return display_; }

    void screenshot(std::string const& path) const
    {
        run("ffmpeg -loglevel error -y -f x11grab -video_size 640x800 -i " + display_ + " -frames:v 1 " + path);
    }

private:
    int pid_ = 0;
    std::string display_;
};

} // namespace

// A note recorded by tapping in a real window: SDL's X11 driver under Xvfb, xdotool's clicks, a WAV file
// as the microphone. The screenshots stay beside the test program (e2e-*.png).
TEST(EndToEndTest, ANoteIsRecordedShownStoppedAndListedByTapping)
{
    if (run("command -v Xvfb && command -v xdotool").exit_code != 0)
        GTEST_SKIP() << "Xvfb and xdotool are needed (packages.txt)";
    use_test_data();
    VirtualScreen screen;
    ASSERT_FALSE(screen.display().empty());
    std::string const speech = testing_support::fresh_dir("speech") + "/speech.wav";
    ASSERT_EQ(run("sox -n -r 16000 -c 1 -b 16 " + speech + " synth 30 sine 300 vol 0.5").exit_code, 0);
    std::string const runtime = testing_support::fresh_dir("runtime");
    auto program = start_ravelin(runtime, "",
        "DISPLAY=" + screen.display() + " RAVELIN_DISPLAY=sdl SDL_VIDEODRIVER=x11 RAVELIN_AUDIO_IN=file:" + speech);
    ASSERT_TRUE(wait_until([&] { return shows(program, "FormMain"); })) << program.trace();
    std::string const window
        = run("DISPLAY=" + screen.display() + " xdotool search --name '^Ravelin$' | head -1").output;
    ASSERT_FALSE(window.empty());
    auto tap = [&](std::string const& id) {
        auto const r = find_element(program.trace(), id);
        ASSERT_TRUE(r) << id << " in\n" << program.trace();
        ASSERT_EQ(
            run("DISPLAY=" + screen.display() + " xdotool mousemove --window " + window.substr(0, window.find('\n'))
                + " " + std::to_string(r->x + r->width / 2) + " " + std::to_string(r->y + r->height / 2) + " click 1")
                .exit_code,
            0);
    };
    std::string const shots = std::string(RAVELIN_TEST_DATA_DIR) + "/app";
    std::filesystem::create_directories(shots);

    tap("btnRecord");
    ASSERT_TRUE(wait_until([&] { return shows(program, "FormRecording"); })) << program.trace();
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    screen.screenshot(shots + "/e2e-recording.png");
    tap("btnClose");
    ASSERT_TRUE(wait_until([&] { return shows(program, "FormMain"); })) << program.trace();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    screen.screenshot(shots + "/e2e-main.png");
    std::string const trace = program.trace();
    EXPECT_TRUE(stop(program));

    auto const [path, seconds] = newest_recording(runtime, program.dir);
    EXPECT_TRUE(path.ends_with(".mp3")) << path;
    EXPECT_GT(seconds, 2.5);
    EXPECT_LT(seconds, 4.5);
    // The new recording is the list's first row: the row nearest the list's top shows its title.
    auto const listed
        = run(process_environment(runtime, program.dir) + testing_support::bin_dir() + "/ravelin-cli list");
    std::istringstream fields(listed.output.substr(0, listed.output.find('\n')));
    std::string column, title;
    for (int i = 0; i < 5 && std::getline(fields, column, '\t'); ++i)
        title = column;
    ASSERT_FALSE(title.empty());
    auto const list = find_element(trace, "list");
    ASSERT_TRUE(list);
    size_t const first_row = trace.find('\n', trace.find("\nlist ")) + 1;
    EXPECT_NE(trace.find(title, first_row), std::string::npos) << trace;
}
