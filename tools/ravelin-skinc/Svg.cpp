#include "Svg.h"

#include "SkinSource.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace skinc {

namespace {

// A private folder for the drawings, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "ravelin-skinc-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw CompileError("cannot make a temporary folder for SVG drawings");
        path_ = pattern;
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(ScratchFolder const&) = delete;
    ScratchFolder& operator=(ScratchFolder const&) = delete;

    std::string const& path() const { return path_; }

private:
    std::string path_;
};

// Runs rsvg-convert without a shell, so that no file name is ever interpreted; true when it succeeded.
bool rsvg_convert(std::string const& source, std::string const& output, char const* zoom)
{
    std::vector<std::string> args = { "rsvg-convert", "-z", zoom, "-o", output, source };
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    // Its own messages would break the compiler's one-line report; the failure is reported instead.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int const spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

SvgDrawing draw_svg(std::string const& path)
{
    ScratchFolder const folder;
    std::string const once = folder.path() + "/once.png";
    std::string const twice = folder.path() + "/twice.png";
    if (!rsvg_convert(path, once, "1") || !rsvg_convert(path, twice, "2"))
        throw CompileError("rsvg-convert cannot draw " + path + " (is librsvg2-bin installed?)");
    SvgDrawing drawing { read_png(once), read_png(twice) };
    if (drawing.twice.width != 2 * drawing.once.width || drawing.twice.height != 2 * drawing.once.height)
        throw CompileError(path + " does not scale to exactly twice its size; give it whole-pixel dimensions");
    return drawing;
}

} // namespace skinc
