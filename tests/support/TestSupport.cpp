#include "TestSupport.h"

#include <core/Log.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <os/LogFile.h>
#include <sstream>
#include <sys/wait.h>

namespace testing_support {

std::string home_dir; // set once by the test main

std::string const& test_home()
{
    return home_dir;
}

std::string fresh_dir(std::string const& name)
{
    static int serial = 0;
    std::string path = home_dir + "/t" + std::to_string(++serial) + "-" + name;
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
    return path;
}

std::string read_file(std::string const& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void write_file(std::string const& path, std::string const& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool file_exists(std::string const& path)
{
    return std::filesystem::exists(path);
}

std::string bin_dir()
{
    return RAVELIN_BIN_DIR;
}

std::string source_dir()
{
    return RAVELIN_SOURCE_DIR;
}

CommandResult run(std::string const& command_line)
{
    std::string const err_path = fresh_dir("stderr") + "/err.txt";
    std::string const full = "(" + command_line + ") 2>" + err_path;
    CommandResult result;
    FILE* pipe = popen(full.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
    int const status = pclose(pipe);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.error = read_file(err_path);
    return result;
}

core::String read_utf16_file(std::string const& path)
{
    std::string const bytes = read_file(path);
    core::String text;
    size_t start
        = bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF && static_cast<uint8_t>(bytes[1]) == 0xFE ? 2 : 0;
    for (size_t i = start; i + 1 < bytes.size(); i += 2)
        text += static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8));
    return text;
}

namespace {

struct MemoryText {
    std::mutex mutex;
    core::String text;
};

class MemorySink final : public core::TextSink {
public:
    explicit MemorySink(MemoryText& target)
        : target_(target)
    {
    }
    void write(char16_t const* text, size_t count) override
    {
        std::lock_guard lock(target_.mutex);
        target_.text.append(text, count);
    }
    void flush() override { }

private:
    MemoryText& target_;
};

} // namespace

struct LogCapture::Source final : core::LogSource {
    MemoryText memory;
    bool logging_on() override { return true; }
    std::unique_ptr<core::TextSink> open_file() override { return std::make_unique<MemorySink>(memory); }
};

LogCapture::LogCapture()
    : source_(new Source)
{
    core::set_log_source(source_);
}

LogCapture::~LogCapture()
{
    os::install_log();
    delete source_;
}

core::String LogCapture::text() const
{
    std::lock_guard lock(source_->memory.mutex);
    return source_->memory.text;
}

void LogCapture::clear()
{
    std::lock_guard lock(source_->memory.mutex);
    source_->memory.text.clear();
}

} // namespace testing_support
