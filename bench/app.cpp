// The program's start-up and idle costs, printed as figures:
// - start to the first frame of the splash and to the first frame of the main screen, in-process on the
//   headless display (the window system's own start is not in it), five starts;
// - a whole process: exec to the settled main screen, as RAVELIN_TRACE_FORMS reports it;
// - resident memory on the settled main screen, and whether an OpenGL library was loaded (the window shows
//   frames we draw ourselves and needs none);
// - processor time of a running program over 20 s on the idle main screen, and over 10 s minimised (started
//   with "call" and no call talking), on the headless display, and on the SDL window when DISPLAY is set.
// Runs in a private home; the program's folder is the build's.
#include "PrivateHome.h"

#include <algorithm>
#include <app/Application.h>
#include <app/Program.h>
#include <app/Starter.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <os/LogFile.h>
#include <platform/display/display.h>
#include <platform/signals.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string home;

void private_home()
{
    home = bench::use_private_home();
    setenv("RAVELIN_APP_PATH", RAVELIN_BIN_DIR, 1);
}

void in_process_start()
{
    setenv("RAVELIN_DISPLAY", "headless", 1);
    std::vector<double> splash, main;
    for (int i = 0; i < 5; ++i) {
        auto const start = Clock::now();
        // The quit message of the last start's closed window is not this one's.
        platform::Message message;
        while (platform::peek_message(message, 0, 0, 0, platform::Peek::REMOVE)) { }
        app::Program program(u"");
        auto& application = program.application();
        auto& display = dynamic_cast<platform::HeadlessDisplay&>(application.display());
        application.frame_step(); // what the loop does first
        application.run_until([&] { return display.frames() > 0; });
        splash.push_back(ms_since(start));
        application.run_until([&] {
            return program.starter().main_form() && application.form_stack().top() == program.starter().main_form();
        });
        uint64_t const before = display.frames();
        application.run_until([&] { return display.frames() > before; });
        main.push_back(ms_since(start));
    }
    std::sort(splash.begin(), splash.end());
    std::sort(main.begin(), main.end());
    std::printf(
        "start to the first splash frame: median %.1f ms (5 starts, %.1f to %.1f)\n", splash[2], splash[0], splash[4]);
    std::printf("start to the first main-screen frame: median %.1f ms (%.1f to %.1f; aim: under 550 ms)\n", main[2],
        main[0], main[4]);
}

struct Child {
    pid_t pid = 0;
    std::string trace;
};

Child spawn(std::string const& display, char const* argument)
{
    Child child;
    child.trace = home + "/trace-" + std::to_string(Clock::now().time_since_epoch().count()) + ".txt";
    child.pid = fork();
    if (child.pid == 0) {
        setenv("RAVELIN_DISPLAY", display.c_str(), 1);
        setenv("RAVELIN_TRACE_FORMS", child.trace.c_str(), 1);
        std::string const program = std::string(RAVELIN_BIN_DIR) + "/ravelin";
        execl(program.c_str(), program.c_str(), argument, static_cast<char*>(nullptr));
        _exit(127);
    }
    return child;
}

bool settled_on(Child const& child, char const* form)
{
    std::ifstream in(child.trace);
    std::string first;
    return std::getline(in, first) && first == form;
}

// Polls the trace (this is the benchmark, not the program) until it names the form.
bool wait_for(Child const& child, char const* form, int seconds = 10)
{
    auto const end = Clock::now() + std::chrono::seconds(seconds);
    while (!settled_on(child, form)) {
        if (Clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Processor time of every thread of the process, in nanoseconds from the scheduler's own count (the
// clock ticks of /proc/PID/stat are too coarse for an idle program).
double cpu_seconds(pid_t pid)
{
    double total = 0;
    std::error_code error;
    for (auto const& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream in(task.path() / "schedstat");
        double ns = 0;
        if (in >> ns)
            total += ns;
    }
    return total / 1e9;
}

// VmRSS of /proc/PID/status.
long resident_kb(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

// The OpenGL, EGL and LLVM libraries mapped into the process, by file name.
std::string gl_libraries(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/maps");
    std::vector<std::string> found;
    for (std::string line; std::getline(in, line);) {
        size_t const slash = line.rfind('/');
        if (slash == std::string::npos)
            continue;
        std::string const name = line.substr(slash + 1);
        bool const gl = name.rfind("libGL", 0) == 0 || name.rfind("libEGL", 0) == 0 || name.rfind("libLLVM", 0) == 0;
        if (gl && std::find(found.begin(), found.end(), name) == found.end())
            found.push_back(name);
    }
    std::string text;
    for (auto const& name : found)
        text += (text.empty() ? "" : " ") + name;
    return text.empty() ? "none" : text;
}

void end(Child const& child)
{
    kill(child.pid, SIGTERM);
    waitpid(child.pid, nullptr, 0);
}

void process_start(std::string const& display)
{
    std::vector<double> times;
    for (int i = 0; i < 3; ++i) {
        auto const start = Clock::now();
        Child child = spawn(display, "");
        if (!wait_for(child, "FormMain")) {
            std::printf("%s: the main screen did not come\n", display.c_str());
            end(child);
            return;
        }
        times.push_back(ms_since(start));
        end(child);
    }
    std::sort(times.begin(), times.end());
    std::printf("%s: exec to the settled main screen: median %.1f ms (3 starts)\n", display.c_str(), times[1]);
}

void idle_cpu(std::string const& display)
{
    Child shown = spawn(display, "");
    if (wait_for(shown, "FormMain")) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        std::printf("%s: main screen resident: %.1f MB (aim in a window: at most 35 MB); GL libraries: %s\n",
            display.c_str(), static_cast<double>(resident_kb(shown.pid)) / 1024, gl_libraries(shown.pid).c_str());
        double const before = cpu_seconds(shown.pid);
        std::this_thread::sleep_for(std::chrono::seconds(20));
        double const used = cpu_seconds(shown.pid) - before;
        std::printf("%s: idle main screen, 20 s: %.3f s of processor, %.3f%% of one core (aim: at most 0.05%%)\n",
            display.c_str(), used, used * 5);
    }
    end(shown);
    // "call" with no call talking: the window is minimised from the start and nothing records.
    Child minimised = spawn(display, "call");
    std::this_thread::sleep_for(std::chrono::seconds(2));
    double const before = cpu_seconds(minimised.pid);
    std::this_thread::sleep_for(std::chrono::seconds(10));
    double const used = cpu_seconds(minimised.pid) - before;
    std::printf("%s: minimised, 10 s: %.2f s of processor, %.2f%% of one core\n", display.c_str(), used, used * 10);
    end(minimised);
}

} // namespace

int main()
{
    platform::block_stop_signals();
    private_home();
    os::install_log();
    in_process_start();
    std::vector<std::string> displays { "headless" };
    if (std::getenv("DISPLAY"))
        displays.push_back("sdl");
    for (auto const& display : displays) {
        process_start(display);
        idle_cpu(display);
    }
    std::filesystem::remove_all(home);
    return 0;
}
