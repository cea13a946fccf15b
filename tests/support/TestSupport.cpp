#include "TestSupport.h"

#include <algorithm>
#include <cmath>
#include <core/Log.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <os/LogFile.h>
#include <platform/services/registry_store.h>
#include <sys/wait.h>
#include <tuple>

namespace testing_support {

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

std::vector<std::string> names_in(std::string const& folder)
{
    std::vector<std::string> names;
    if (std::filesystem::is_directory(folder))
        for (auto const& entry : std::filesystem::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

double probed_duration(std::string const& path)
{
    auto const probed = run("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + path + "'");
    return probed.exit_code == 0 && !probed.output.empty() ? std::atof(probed.output.c_str()) : -1;
}

std::vector<int16_t> ffmpeg_samples(std::string const& path, std::string const& options, std::string* errors)
{
    auto const r = run("ffmpeg -nostdin -v error" + options + " -i " + path + " -f s16le -");
    if (errors)
        *errors = r.error;
    return samples16(r.output);
}

double snr(std::vector<int16_t> const& reference, std::vector<int16_t> const& decoded)
{
    double signal = 0, error = 0;
    for (size_t i = 0; i < std::min(reference.size(), decoded.size()); ++i) {
        signal += double(reference[i]) * reference[i];
        error += std::pow(double(reference[i]) - decoded[i], 2);
    }
    return 10 * std::log10(signal / std::max(error, 1.0));
}

void write_file(std::string const& path, std::string const& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
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

std::string utf16_file_bytes(core::StringView text)
{
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text)
        bytes += le(c, 2);
    return bytes;
}

::testing::AssertionResult sox_tone(
    std::string const& path, int rate, int channels, double seconds, std::string const& synth)
{
    return run_peer("sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " -b 16 'OUT' synth "
            + std::to_string(seconds) + " " + synth,
        "", path);
}

::testing::AssertionResult run_peer(std::string command, std::string const& in, std::string const& out)
{
    // The later word first, so that the earlier one stays where it was found (whatever the paths hold).
    std::vector<std::tuple<size_t, size_t, std::string>> words { { command.find("IN"), 2, in },
        { command.find("OUT"), 3, out } };
    std::sort(words.rbegin(), words.rend());
    for (auto const& [at, length, value] : words)
        if (at != std::string::npos)
            command.replace(at, length, value);
    auto const r = run(command);
    return r.exit_code == 0 ? ::testing::AssertionSuccess()
                            : ::testing::AssertionFailure() << command << ": " << r.error;
}

void drain_messages()
{
    platform::Message m;
    while (platform::peek_message(m, 0, 0, 0, platform::Peek::REMOVE)) { }
}

void forget_settings()
{
    for (auto name :
        { u"AutoRecord", u"Speaker", u"Format", u"Boost", u"Volume", u"VasLevel", u"Path", u"InputDevice" })
        platform::RegistryStore::instance().remove_value(
            platform::RegistryRoot::CURRENT_USER, u"Software\\Korvex\\Ravelin", name);
}

std::string le(uint64_t value, int size)
{
    std::string s;
    for (int i = 0; i < size; ++i)
        s += static_cast<char>((value >> (8 * i)) & 0xFF);
    return s;
}

uint32_t le_at(std::string_view bytes, size_t at, int size)
{
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<uint8_t>(bytes[at + size_t(i)]);
    return value;
}

std::string pcm16(std::vector<int16_t> const& samples)
{
    std::string s;
    for (int16_t v : samples)
        s += le(static_cast<uint16_t>(v), 2);
    return s;
}

std::vector<int16_t> samples16(std::string_view bytes)
{
    std::vector<int16_t> out(bytes.size() / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<int16_t>(le_at(bytes, 2 * i, 2));
    return out;
}

std::string chunk(std::string const& id, std::string const& body)
{
    return id + le(body.size(), 4) + body;
}

std::string riff_wave(std::string const& fmt, std::string const& data, std::string const& before_data)
{
    return chunk("RIFF", "WAVE" + chunk("fmt ", fmt) + before_data + chunk("data", data));
}

std::string fmt16(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits)
{
    uint16_t const align = static_cast<uint16_t>(channels * bits / 8);
    return le(tag, 2) + le(channels, 2) + le(rate, 4) + le(uint64_t(rate) * align, 4) + le(align, 2) + le(bits, 2);
}

std::string wav_bytes(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, std::string const& data)
{
    return riff_wave(fmt16(tag, channels, rate, bits), data);
}

std::string wav16(uint32_t rate, std::vector<int16_t> const& samples, uint16_t channels)
{
    return wav_bytes(1, channels, rate, 16, pcm16(samples));
}

std::vector<int16_t> tone(double seconds, int rate, int amplitude)
{
    std::vector<int16_t> samples(static_cast<size_t>(seconds * rate));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(amplitude * std::sin(static_cast<double>(i) * 2 * M_PI * 440 / rate));
    return samples;
}

std::string wav_file(std::vector<int16_t> const& samples, int rate)
{
    std::string const path = fresh_dir("wav") + "/tone.wav";
    write_file(path, wav16(static_cast<uint32_t>(rate), samples));
    return path;
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

::testing::AssertionResult LogCapture::contains_all(std::initializer_list<std::string> pieces) const
{
    std::string const log = utf8();
    std::string missing;
    for (auto const& piece : pieces)
        missing += log.find(piece) == std::string::npos ? " '" + piece + "'" : "";
    return missing.empty() ? ::testing::AssertionSuccess()
                           : ::testing::AssertionFailure() << "not logged:" << missing << " in\n"
                                                           << log;
}

void LogCapture::clear()
{
    std::lock_guard lock(source_->mutex);
    source_->text.clear();
}

} // namespace testing_support
