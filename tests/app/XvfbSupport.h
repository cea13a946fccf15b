#pragma once

#include "ProcessSupport.h"

#include <sstream>

namespace app_test {

struct TraceRect {
    int x = 0, y = 0, width = 0, height = 0;
    std::string text;
};

// The first element of the trace whose id is `id`, or (with `text`) whose text is `text`.
inline std::optional<TraceRect> find_in_trace(
    std::string const& trace, std::string const& id, std::string const& text = {})
{
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string name;
        TraceRect r;
        if (!(fields >> name >> r.x >> r.y >> r.width >> r.height))
            continue;
        size_t const tab = line.find('\t');
        r.text = tab == std::string::npos ? std::string() : line.substr(tab + 1);
        if (text.empty() ? name == id : r.text == text)
            return r;
    }
    return std::nullopt;
}

// The element `id` (or the text `shown`) once it has stood still for a few looks with its bottom above `bottom`
// (a list may still glide after a drag); nothing when it never does.
inline std::optional<TraceRect> settled(
    RavelinProcess const& program, std::string const& id, std::string const& shown, int bottom)
{
    std::optional<TraceRect> now, before;
    int still = 0;
    bool const rests = wait_until([&] {
        before = now;
        now = find_in_trace(program.trace(), id, shown);
        still = now && before && now->y == before->y ? still + 1 : 0;
        return still >= 5 && now->y + now->height <= bottom;
    });
    return rests ? now : std::nullopt;
}

// An X server of its own (Xvfb, 640x800), on the display number it picks.
class XvfbScreen {
public:
    XvfbScreen()
    {
        std::string const dir = testing_support::fresh_dir("xvfb");
        auto const started = testing_support::run("Xvfb -displayfd 1 -screen 0 640x800x24 -nolisten tcp 2>" + dir
            + "/xvfb.txt > " + dir + "/display.txt & echo $!");
        pid_ = std::atoi(started.output.c_str());
        wait_until([&] { return !testing_support::read_file(dir + "/display.txt").empty(); });
        std::string const number = testing_support::read_file(dir + "/display.txt");
        if (!number.empty())
            display_ = ":" + number.substr(0, number.find('\n'));
    }
    ~XvfbScreen()
    {
        if (pid_ > 0)
            kill(pid_, SIGTERM);
    }
    XvfbScreen(XvfbScreen const&) = delete;
    XvfbScreen& operator=(XvfbScreen const&) = delete;
    std::string const& display() const { return display_; }

    bool click(std::string const& window, TraceRect const& r) const
    {
        return testing_support::run("DISPLAY=" + display_ + " xdotool mousemove --window " + window + " "
                   + std::to_string(r.x + r.width / 2) + " " + std::to_string(r.y + r.height / 2) + " click 1")
                   .exit_code
            == 0;
    }
    // A press at (x, from_y) moved in steps to (x, to_y) and lifted there.
    bool drag(std::string const& window, int x, int from_y, int to_y) const
    {
        std::string command = "DISPLAY=" + display_ + " xdotool mousemove --window " + window + " " + std::to_string(x)
            + " " + std::to_string(from_y) + " mousedown 1";
        for (int step = 1; step <= 8; ++step)
            command += " sleep 0.02 mousemove --window " + window + " " + std::to_string(x) + " "
                + std::to_string(from_y + (to_y - from_y) * step / 8);
        return testing_support::run(command + " mouseup 1").exit_code == 0;
    }
    std::string window(std::string const& name) const
    {
        std::string found;
        wait_until([&] {
            found = testing_support::run("DISPLAY=" + display_ + " xdotool search --name '^" + name + "$' | head -1")
                        .output;
            return !found.empty();
        });
        return found.substr(0, found.find('\n'));
    }

private:
    int pid_ = 0;
    std::string display_;
};

// The program in a real window (SDL's X11 driver on an X server of the test's own), with the program's
// data, no recordings before it and a minute's tone as its microphone. `window` is its X window once the
// main screen shows, empty when it never does.
class WindowedRavelin {
public:
    WindowedRavelin()
    {
        if (wait_until([&] { return shows(program, "FormMain"); }))
            window = screen.window("Ravelin");
    }

    // The whole screen, kept beside the test program as app/NAME.png.
    void keep_picture(std::string const& name) const
    {
        std::filesystem::create_directories(std::string(RAVELIN_TEST_DATA_DIR) + "/app");
        testing_support::run("ffmpeg -loglevel error -y -f x11grab -video_size 640x800 -i " + screen.display()
            + " -frames:v 1 " + RAVELIN_TEST_DATA_DIR + "/app/" + name + ".png");
    }

    XvfbScreen screen;
    RavelinProcess program { start(screen) };
    std::string window;

private:
    static RavelinProcess start(XvfbScreen const& screen)
    {
        use_test_data();
        std::filesystem::remove_all(testing_support::test_home() + "/Documents");
        return start_ravelin(testing_support::fresh_dir("runtime"), "",
            "DISPLAY=" + screen.display() + " RAVELIN_DISPLAY=sdl SDL_VIDEODRIVER=x11 RAVELIN_AUDIO_IN=file:"
                + testing_support::wav_file(testing_support::tone(60, 16000), 16000));
    }
};

} // namespace app_test
