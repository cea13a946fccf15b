#pragma once

#include <core/Strings.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Helpers shared by the test programs. Every test program runs in a fresh temporary home: HOME, the XDG
// folders and RAVELIN_REGISTRY point into it, there is no storage card and no audio device.
namespace testing_support {

// The temporary home of this test program.
std::string const& test_home();
// A fresh, empty folder inside the test home.
std::string fresh_dir(std::string const& name);

std::string read_file(std::string const& path);
void write_file(std::string const& path, std::string const& bytes);
bool file_exists(std::string const& path);

// Folder of the built programs (ravelin-cli, ravelin-skinc, ...).
std::string bin_dir();
std::string source_dir();

struct CommandResult {
    int exit_code = -1;
    std::string output; // standard output
    std::string error; // standard error
};
// Runs a shell command line with the test environment; captures both outputs.
CommandResult run(std::string const& command_line);

// The UTF-16LE text of a log file, without its byte-order mark.
core::String read_utf16_file(std::string const& path);

// While it lives, the log is on and goes to memory instead of the registry-controlled file.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();

    // Everything logged since construction (or the last clear).
    core::String text() const;
    std::string utf8() const { return core::to_utf8(text()); }
    void clear();
    bool contains(core::StringView piece) const { return text().find(piece) != core::String::npos; }
    bool contains(std::string const& piece) const { return utf8().find(piece) != std::string::npos; }

private:
    struct Source;
    std::unique_ptr<Source> source_;
};

} // namespace testing_support
