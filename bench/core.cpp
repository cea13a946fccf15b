// The runtime core's hot paths: a log call with logging off (it reads the "Log" value every time) and
// the round trip from CActive::notify to run() through the scheduler's hidden window.
#include <benchmark/benchmark.h>
#include <core/CActiveScheduler.h>
#include <core/Log.h>
#include <cstdlib>
#include <filesystem>
#include <os/LogFile.h>
#include <os/Registry.h>
#include <platform/messages.h>
#include <string>

namespace {

void BM_LogCallWithLoggingOff(benchmark::State& state)
{
    os::reg_set_dword(os::MAKER_KEY, u"Log", 0);
    for (auto _ : state)
        core::log() << "Document::stop tick=" << 12345 << "\n";
}
BENCHMARK(BM_LogCallWithLoggingOff);

class Ping final : public core::CActive {
public:
    int runs = 0;

private:
    void run() override { ++runs; }
    void do_cancel() override { notify(); }
};

void BM_NotifyToRunRoundTrip(benchmark::State& state)
{
    core::CActiveScheduler scheduler(u"VizuvevClass_Bench");
    Ping ping;
    platform::Message message;
    for (auto _ : state) {
        ping.set_active();
        ping.notify();
        while (platform::peek_message(message, 0, 0, 0, platform::Peek::REMOVE))
            platform::dispatch_message(message);
    }
    if (ping.runs != static_cast<int>(state.iterations()))
        state.SkipWithError("a notified object did not run");
}
BENCHMARK(BM_NotifyToRunRoundTrip);

} // namespace

int main(int argc, char** argv)
{
    // A private registry, so that the figures do not depend on the user's settings.
    auto const home = std::filesystem::temp_directory_path() / ("ravelin-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(home);
    setenv("RAVELIN_REGISTRY", (home / "registry.db").c_str(), 1);
    setenv("XDG_STATE_HOME", (home / "state").c_str(), 1);
    os::install_log();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(home);
    return 0;
}
