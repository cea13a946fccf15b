// The program Ravelin: the entry point of the window application.
#include <app/Program.h>
#include <core/Log.h>
#include <cstdio>
#include <os/LogFile.h>
#include <platform/signals.h>
#include <skin/NodeExceptions.h>

int main(int argc, char** argv)
{
    // Before any thread starts, so that only the program's own watcher takes them.
    platform::block_stop_signals();
    platform::ignore_file_size_signal();
    os::install_log();
    std::string command_line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            command_line += ' ';
        command_line += argv[i];
    }
    try {
        return app::win_main(core::from_utf8(command_line));
    } catch (skin::SkinException const& problem) {
        // A skin that lacks what the program needs ends it, with the reason.
        core::fatal_error(u"WinMain", core::from_utf8(problem.what()));
    }
}
