#pragma once

#include <core/CActiveScheduler.h>
#include <core/Strings.h>
#include <core/Timer.h>
#include <gtest/gtest.h>
#include <platform/messages.h>
#include <platform/services/notifier.h>
#include <platform/ticks.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <ios>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// Helpers shared by the test programs. Every test program runs in a fresh temporary home: HOME, the XDG
// folders and RAVELIN_REGISTRY point into it, there is no storage card and no audio device.
namespace testing_support {

inline std::string home_dir; // the temporary home of this test program, set once by the test main
inline auto const test_home = []() -> std::string const& { return home_dir; };
std::string fresh_dir(std::string const& name);
std::string read_file(std::string const& path);
void write_file(std::string const& path, std::string const& bytes);
inline auto const file_exists = [](std::string const& path) { return std::filesystem::exists(path); };
// Folder of the built programs (ravelin-cli, ravelin-skinc, ...), and of the sources.
inline auto const bin_dir = [] { return std::string(RAVELIN_BIN_DIR); };
inline auto const source_dir = [] { return std::string(RAVELIN_SOURCE_DIR); };

struct CommandResult {
    int exit_code = -1;
    std::string output, error;
};
// Runs a shell command line with the test environment; captures standard output and error.
CommandResult run(std::string const& command_line);

inline std::string first_line(std::string const& text)
{
    return text.substr(0, text.find('\n'));
}
// Whether process `pid` runs; one that has ended and waits to be reaped (an orphan nobody reaps) does not.
inline bool process_runs(int pid)
{
    std::string stat;
    try {
        stat = pid > 0 ? read_file("/proc/" + std::to_string(pid) + "/stat") : "";
    } catch (std::ios_base::failure const&) {
        return false; // it ended between the open and the read, which the kernel answers with ESRCH
    }
    size_t const end = stat.rfind(')');
    return end != std::string::npos && end + 2 < stat.size() && stat[end + 2] != 'Z';
}
// The names in a folder, sorted; none when it is no folder.
std::vector<std::string> names_in(std::string const& folder);
// The file's length as ffprobe reads it (-1 when it cannot), and its audio as ffmpeg decodes it to 16-bit samples
// (`options` go before the input: a decoder, say); what ffmpeg complained of goes to `errors` when asked for.
double probed_duration(std::string const& path);
std::vector<int16_t> ffmpeg_samples(
    std::string const& path, std::string const& options = "", std::string* errors = nullptr);
// Signal-to-error ratio in dB of `decoded` against `reference`, over the frames both have.
double snr(std::vector<int16_t> const& reference, std::vector<int16_t> const& decoded);

// The UTF-16LE text of a log file, without its byte-order mark; and a text as such a file holds it.
core::String read_utf16_file(std::string const& path);
std::string utf16_file_bytes(core::StringView text);

// Polls until `done` or the time is up (processes and files give no other sign); whether `done` holds.
template <typename Done> bool wait_until(Done done, int milliseconds = 10000)
{
    auto const end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// Numbers of whatever type as one list, so that several facts are compared at once.
template <typename... Numbers> std::vector<int64_t> numbers(Numbers... n)
{
    return { static_cast<int64_t>(n)... };
}

// Runs this thread's messages (the scheduler's ticks) until `done` or `seconds` have passed; whether done.
template <typename Done> bool run_messages_for(Done done, double seconds = 10)
{
    uint32_t const start = platform::tick_count();
    // A program at rest posts nothing: a timer at the end wakes the loop to see that the time is up.
    struct Deadline final : core::TimerListener {
        void on_timer(core::Timer&) override { }
    } deadline;
    std::optional<core::Timer> wake;
    if (core::CActiveScheduler::instance())
        wake.emplace(&deadline).start(seconds);
    core::run_messages_until([&] { return done() || platform::tick_count() - start >= uint32_t(seconds * 1000); });
    return done();
}

// Removes the program's stored settings, so that a test starts from the defaults.
void forget_settings();

// Bytes as RIFF files hold them. `size` bytes of `value`, least significant first.
std::string le(uint64_t value, int size);
// The little-endian number of `size` bytes at `at` in `bytes`.
uint32_t le_at(std::string_view bytes, size_t at, int size = 4);
// 16-bit PCM data from interleaved samples, and back (a stray last byte does not count).
std::string pcm16(std::vector<int16_t> const& samples);
std::vector<int16_t> samples16(std::string_view bytes);
std::string chunk(std::string const& id, std::string const& body);
// A WAV file's bytes: a 'fmt ' chunk holding `fmt`, the chunks `before_data`, and a 'data' chunk.
std::string riff_wave(std::string const& fmt, std::string const& data, std::string const& before_data = "");
// A 'fmt ' chunk of 16 bytes; a WAV file of one and a 'data' chunk; one of 16-bit PCM interleaved samples.
std::string fmt16(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits);
std::string wav_bytes(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, std::string const& data);
std::string wav16(uint32_t rate, std::vector<int16_t> const& samples, uint16_t channels = 1);

// `seconds` of a 440 Hz tone at `rate` whose peak is `amplitude` (0: silence).
std::vector<int16_t> tone(double seconds, int rate = 44100, int amplitude = 12000);
// A mono 16-bit PCM WAV file of `samples` in a fresh folder: a microphone for the file input. Its path.
std::string wav_file(std::vector<int16_t> const& samples, int rate = 44100);

// A WAV file made by sox at `path`: speech-like by default, a gliding tone with a second voice.
::testing::AssertionResult sox_tone(std::string const& path, int rate, int channels, double seconds,
    std::string const& synth = "sine 180:700 sine 310 vol 0.35");
// Runs a peer program's `command`, in which IN and OUT stand for `in` and `out`.
::testing::AssertionResult run_peer(std::string command, std::string const& in, std::string const& out);

// Drops every message left in this thread's queue, so that none reaches the next test.
void drain_messages();

// Starts nothing: keeps what it was asked to start, and whether each still runs (until a test says not).
class FakeStarter final : public platform::ProcessStarter {
public:
    int64_t start(std::vector<std::string> const& argv) override
    {
        started.push_back(argv);
        alive.push_back(true);
        return static_cast<int64_t>(started.size());
    }
    bool running(int64_t id) override { return alive.at(static_cast<size_t>(id - 1)); }

    std::vector<std::vector<std::string>> started;
    std::vector<bool> alive;
};

// A window of a class of its own, registered and created for a test and gone with it; by default it leaves
// every message to the default procedure.
class TestWindow {
public:
    explicit TestWindow(std::u16string name, platform::WindowProc procedure = platform::def_window_proc)
        : name_(std::move(name))
    {
        platform::register_class({ name_, 0, procedure });
        handle = platform::create_window(name_, u"test", 0);
    }
    ~TestWindow()
    {
        platform::destroy_window(handle);
        platform::unregister_class(name_);
    }
    platform::Hwnd handle = 0;

private:
    std::u16string name_;
};

// While it lives, the log is on and goes to memory instead of the registry-controlled file.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();

    core::String text() const; // everything logged since construction (or the last clear)
    std::string utf8() const { return core::to_utf8(text()); }
    void clear();
    bool contains(core::StringView piece) const { return text().find(piece) != core::String::npos; }
    bool contains(std::string const& piece) const { return utf8().find(piece) != std::string::npos; }
    // Whether every piece was logged; a failure names those that were not, and shows the log.
    ::testing::AssertionResult contains_all(std::initializer_list<std::string> pieces) const;

private:
    struct Source;
    std::unique_ptr<Source> source_;
};

} // namespace testing_support
