#include "TestSupport.h"

#include <core/Log.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <os/LogFile.h>
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
    return { std::istreambuf_iterator<char>(in), {} };
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
    for (size_t i = bytes.starts_with("\xFF\xFE") ? 2 : 0; i + 1 < bytes.size(); i += 2)
        text += static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8));
    return text;
}

struct LogCapture::Source final : core::LogSource {
    std::mutex mutex;
    core::String text;
    struct Sink final : core::TextSink {
        explicit Sink(Source& source)
            : source(source)
        {
        }
        void write(char16_t const* piece, size_t count) override
        {
            std::lock_guard lock(source.mutex);
            source.text.append(piece, count);
        }
        void flush() override { }
        Source& source;
    };
    bool logging_on() override { return true; }
    std::unique_ptr<core::TextSink> open_file() override { return std::make_unique<Sink>(*this); }
};

LogCapture::LogCapture()
    : source_(new Source)
{
    core::set_log_source(source_.get());
}

LogCapture::~LogCapture()
{
    os::install_log();
}

core::String LogCapture::text() const
{
    std::lock_guard lock(source_->mutex);
    return source_->text;
}

void LogCapture::clear()
{
    std::lock_guard lock(source_->mutex);
    source_->text.clear();
}

} // namespace testing_support
