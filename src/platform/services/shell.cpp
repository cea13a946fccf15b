#include "shell.h"

#include <platform/filesystem.h>
#include <platform/text.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform {

namespace {

std::string env(char const* name)
{
    char const* value = std::getenv(name);
    return value ? value : "";
}

std::string home()
{
    if (auto h = env("HOME"); !h.empty())
        return h;
    if (auto* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/";
}

std::string xdg(char const* variable, char const* fallback)
{
    if (auto v = env(variable); !v.empty())
        return v;
    return home() + fallback;
}

// An XDG user folder: its variable ("XDG_DOCUMENTS_DIR"), then its user-dirs.dirs entry, then `fallback`
// under the home folder.
std::string user_folder(std::string const& variable, char const* fallback)
{
    if (auto v = env(variable.c_str()); !v.empty())
        return v;
    std::ifstream dirs(xdg("XDG_CONFIG_HOME", "/.config") + "/user-dirs.dirs");
    std::string line;
    while (std::getline(dirs, line)) {
        auto const key = variable + "=";
        if (line.rfind(key, 0) != 0)
            continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0)
            value = home() + value.substr(5);
        if (!value.empty() && value != home() && value != home() + "/")
            return value;
    }
    return home() + fallback;
}

std::string documents_folder()
{
    return user_folder("XDG_DOCUMENTS_DIR", "/Documents");
}

// Words at spaces and tabs outside double quotes. Backslashes are themselves unless a double quote
// follows: 2n of them and the quote give n and a quote that opens or closes, 2n + 1 give n and a
// literal quote (the handheld's command-line rule, so that any file name can be passed).
std::vector<std::string> split_parameters(std::string const& text)
{
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, in_word = false;
    size_t backslashes = 0;
    for (char c : text) {
        if (c == '\\') {
            ++backslashes;
            in_word = true;
            continue;
        }
        if (c == '"') {
            word.append(backslashes / 2, '\\');
            if (backslashes % 2)
                word += c;
            else
                quoted = !quoted;
            backslashes = 0;
            in_word = true;
            continue;
        }
        word.append(backslashes, '\\');
        backslashes = 0;
        if ((c == ' ' || c == '\t') && !quoted) {
            if (in_word)
                words.push_back(word);
            word.clear();
            in_word = false;
        } else {
            word += c;
            in_word = true;
        }
    }
    word.append(backslashes, '\\');
    if (in_word)
        words.push_back(word);
    return words;
}

} // namespace

std::u16string executable_path()
{
    char buffer[PATH_MAX + 1];
    ssize_t n = readlink("/proc/self/exe", buffer, PATH_MAX);
    std::string path = n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string("ravelin");
    if (auto dir = env("RAVELIN_APP_PATH"); !dir.empty()) {
        auto const slash = path.find_last_of('/');
        path = dir + "/" + (slash == std::string::npos ? path : path.substr(slash + 1));
    }
    return from_utf8(path);
}

namespace {

std::string folder_of(std::string const& path)
{
    auto const slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
}

// The folder above the executable's, where an installation keeps share/ and libexec/.
std::string prefix_of(std::string const& executable)
{
    std::string const prefix = folder_of(folder_of(executable));
    return prefix == "/" ? std::string() : prefix;
}

bool holds_data(std::string const& folder)
{
    // Every program of ours reads the English language file first.
    return ::access((folder + "/english.lng").c_str(), R_OK) == 0;
}

std::string self_path()
{
    char buffer[PATH_MAX + 1];
    ssize_t const n = readlink("/proc/self/exe", buffer, PATH_MAX);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

} // namespace

std::string data_folder_of(std::string const& executable)
{
    std::string const own = folder_of(executable);
    if (holds_data(own))
        return own;
    std::string const shared = prefix_of(executable) + "/share/ravelin";
    return holds_data(shared) ? shared : own;
}

std::u16string data_folder()
{
    if (auto dir = env("RAVELIN_APP_PATH"); !dir.empty())
        return from_utf8(dir);
    std::string const self = self_path();
    return from_utf8(self.empty() ? std::string(".") : data_folder_of(self));
}

std::string companion_program(std::string const& executable, std::string const& name)
{
    auto const runnable = [](std::string const& path) { return ::access(path.c_str(), X_OK) == 0; };
    if (!executable.empty()) {
        if (std::string const beside = folder_of(executable) + "/" + name; runnable(beside))
            return beside;
        if (std::string const installed = prefix_of(executable) + "/libexec/ravelin/" + name; runnable(installed))
            return installed;
    }
    std::string const list = env("PATH").empty() ? std::string("/usr/local/bin:/usr/bin:/bin") : env("PATH");
    for (size_t start = 0; start <= list.size();) {
        size_t end = list.find(':', start);
        if (end == std::string::npos)
            end = list.size();
        if (end > start)
            if (std::string const candidate = list.substr(start, end - start) + "/" + name; runnable(candidate))
                return candidate;
        start = end + 1;
    }
    return {};
}

std::u16string main_program_path()
{
    std::u16string const self = executable_path();
    std::string const name = "ravelin";
    auto const slash = self.find_last_of(u'/');
    if (self.substr(slash == std::u16string::npos ? 0 : slash + 1) == from_utf8(name))
        return self;
    std::string const found = companion_program(to_utf8(self), name);
    // Where an installation puts it beside its companions, though it is missing now: never the running
    // executable, which would take the program's command line for one of its own.
    return found.empty() ? self.substr(0, slash == std::u16string::npos ? 0 : slash + 1) + from_utf8(name)
                         : from_utf8(found);
}

std::u16string special_folder(int folder_id)
{
    switch (folder_id) {
    case FOLDER_PERSONAL:
        return from_utf8(documents_folder());
    case FOLDER_PROGRAMS:
    case FOLDER_START_MENU:
        return from_utf8(xdg("XDG_DATA_HOME", "/.local/share") + "/applications");
    case FOLDER_STARTUP:
        return from_utf8(xdg("XDG_CONFIG_HOME", "/.config") + "/autostart");
    case FOLDER_WINDOWS:
        return u"/usr/share";
    case FOLDER_PROGRAM_FILES:
        return u"/opt";
    default:
        return {};
    }
}

std::u16string music_folder()
{
    return from_utf8(user_folder("XDG_MUSIC_DIR", "/Music"));
}

std::u16string state_folder()
{
    return from_utf8(xdg("XDG_STATE_HOME", "/.local/state") + "/ravelin");
}

std::vector<std::u16string> storage_cards()
{
    std::vector<std::u16string> cards;
    if (char const* list = std::getenv("RAVELIN_CARDS")) {
        std::string text = list;
        size_t start = 0;
        while (start <= text.size()) {
            auto end = text.find(':', start);
            if (end == std::string::npos)
                end = text.size();
            if (end > start)
                cards.push_back(from_utf8(text.substr(start, end - start)));
            start = end + 1;
        }
        return cards;
    }
    std::string user = env("USER");
    if (user.empty())
        if (auto* pw = getpwuid(getuid()); pw && pw->pw_name)
            user = pw->pw_name;
    for (std::string base : { "/media/" + user, "/run/media/" + user }) {
        auto entries = list_directory(from_utf8(base));
        if (!entries)
            continue;
        for (auto const& e : *entries) {
            if (!e.directory || e.name == u"." || e.name == u"..")
                continue;
            auto path = from_utf8(base) + u"/" + e.name;
            if (is_mount_point(path))
                cards.push_back(path);
        }
    }
    return cards;
}

namespace {

// The words of a command: a runnable file with its parameters, or xdg-open with a document.
std::vector<std::string> command_words(std::u16string const& file, std::u16string const& parameters)
{
    std::string const program = to_utf8(file);
    std::vector<std::string> args;
    struct stat st { };
    // A bare name is a program on the search path (the mail program, xdg-open).
    bool const runnable = program.find('/') == std::string::npos
        || (::stat(program.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(program.c_str(), X_OK) == 0);
    if (runnable) {
        args.push_back(program);
        for (auto& w : split_parameters(to_utf8(parameters)))
            args.push_back(w);
    } else {
        args = { "xdg-open", program };
    }
    return args;
}

std::vector<char*> argv_of(std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    return argv;
}

// How the watching child ends.
constexpr int WATCH_STARTED = 0;
constexpr int WATCH_NOT_STARTED = 1;
constexpr int WATCH_FAILED = 2;

} // namespace

bool execute(std::u16string const& file, std::u16string const& parameters)
{
    std::vector<std::string> args = command_words(file, parameters);
    std::vector<char*> argv = argv_of(args);
    // Started through an intermediate child that ends at once, so the program is adopted by init and
    // never lingers as a zombie of ours.
    pid_t const middle = fork();
    if (middle < 0)
        return false;
    if (middle == 0) {
        pid_t pid = 0;
        _exit(posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 ? 0 : 1);
    }
    int status = 0;
    while (waitpid(middle, &status, 0) < 0)
        if (errno != EINTR)
            return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int64_t launch(std::u16string const& file, std::u16string const& parameters, uint32_t watch_ms)
{
    std::vector<std::string> args = command_words(file, parameters);
    std::vector<char*> argv = argv_of(args);
    // A watching child starts the program and waits for it a little: the caller never waits, and the
    // program, adopted by init once the watcher ends, never lingers as a zombie of ours.
    pid_t const watcher = fork();
    if (watcher < 0)
        return -1;
    if (watcher == 0) {
        pid_t pid = 0;
        if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
            _exit(WATCH_NOT_STARTED);
        constexpr uint32_t STEP_MS = 20;
        for (uint32_t waited = 0; waited < watch_ms; waited += STEP_MS) {
            int status = 0;
            pid_t const done = waitpid(pid, &status, WNOHANG);
            if (done == pid)
                _exit(WIFEXITED(status) && WEXITSTATUS(status) == 0 ? WATCH_STARTED : WATCH_FAILED);
            if (done < 0 && errno != EINTR)
                break;
            struct timespec const step { 0, STEP_MS * 1'000'000L };
            nanosleep(&step, nullptr);
        }
        _exit(WATCH_STARTED);
    }
    return watcher;
}

LaunchOutcome launch_outcome(int64_t launch)
{
    int status = 0;
    pid_t const done = waitpid(static_cast<pid_t>(launch), &status, WNOHANG);
    if (done == 0 || (done < 0 && errno == EINTR))
        return LaunchOutcome::PENDING;
    if (done < 0)
        return LaunchOutcome::STARTED;
    if (!WIFEXITED(status))
        return LaunchOutcome::FAILED;
    switch (WEXITSTATUS(status)) {
    case WATCH_STARTED:
        return LaunchOutcome::STARTED;
    case WATCH_NOT_STARTED:
        return LaunchOutcome::NOT_STARTED;
    default:
        return LaunchOutcome::FAILED;
    }
}

} // namespace platform
