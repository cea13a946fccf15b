// The skin engine's hot paths on a 480 x 640 frame: keyed and half-transparent blits against the memory
// bandwidth of a plain copy, a nine-grid picture filling the frame against a blit of that size, and
// measuring a cached 40-character text. The ratios asked of them are printed at the end.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <os/LogFile.h>
#include <skin/Blitter.h>
#include <skin/Drawing.h>
#include <skin/FontRep.h>
#include <skin/PictureRef.h>
#include <skin/RenderSurface.h>
#include <string>
#include <vector>

namespace {

using namespace skin;

constexpr int32_t WIDTH = 480;
constexpr int32_t HEIGHT = 640;

// A frame of mixed pixels: keyed, opaque and half-transparent ones, in runs as pictures have them.
std::unique_ptr<Bitmap565> source_frame(int32_t width, int32_t height)
{
    auto bitmap = std::make_unique<Bitmap565>(width, height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            int const kind = ((x / 16) + (y / 16)) % 3;
            bitmap->at(x, y) = kind == 0 ? Bitmap565::KEY
                : kind == 1              ? static_cast<uint16_t>(0x1234 | Bitmap565::OPAQUE)
                                         : 0x0801;
        }
    return bitmap;
}

void BM_MemcpyFrame(benchmark::State& state)
{
    std::vector<uint16_t> from(size_t(WIDTH) * HEIGHT, 0x1234), to(size_t(WIDTH) * HEIGHT);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * sizeof(uint16_t));
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * WIDTH * HEIGHT * 2);
}
BENCHMARK(BM_MemcpyFrame)->Repetitions(5)->ReportAggregatesOnly(true);

void blit_frame(benchmark::State& state, Blitter const& blitter)
{
    auto const source = source_frame(WIDTH, HEIGHT);
    RenderSurface surface(Point { WIDTH, HEIGHT });
    fill(surface, { 0, 0 }, { WIDTH, HEIGHT }, Color { 10, 20, 30, 255 });
    for (auto _ : state) {
        blit(surface, { 0, 0 }, { WIDTH, HEIGHT }, *source, { 0, 0 }, blitter);
        benchmark::DoNotOptimize(surface.bitmap()->pixels());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * WIDTH * HEIGHT * 2);
}

void BM_PlainBlitFrame(benchmark::State& state)
{
    blit_frame(state, plain_blitter());
}
BENCHMARK(BM_PlainBlitFrame)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_KeyedBlitFrame(benchmark::State& state)
{
    blit_frame(state, keyed_blitter());
}
BENCHMARK(BM_KeyedBlitFrame)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_HalfBlitFrame(benchmark::State& state)
{
    blit_frame(state, level_blitter(2));
}
BENCHMARK(BM_HalfBlitFrame)->Repetitions(5)->ReportAggregatesOnly(true);

// A 64 x 64 picture with 16-pixel borders stretched over the frame, as a background panel is; at
// scale_shift 1 (192 dpi) every source pixel is drawn as a 2 x 2 block.
void BM_NineGridFrame(benchmark::State& state)
{
    int32_t const shift = static_cast<int32_t>(state.range(0));
    PictureRef ref;
    ref.picture = std::make_shared<PictureHolder const>(u"panel", source_frame(64, 64));
    ref.corners = { Point { 0, 0 }, Point { 16 << shift, 16 << shift }, Point { 48 << shift, 48 << shift },
        Point { 64 << shift, 64 << shift } };
    ref.scale_shift = shift;
    RenderSurface surface(Point { WIDTH, HEIGHT });
    for (auto _ : state) {
        draw_picture(surface, { 0, 0 }, { WIDTH, HEIGHT }, ref, keyed_blitter());
        benchmark::DoNotOptimize(surface.bitmap()->pixels());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_NineGridFrame)->Arg(0)->Arg(1)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_MeasureCached40(benchmark::State& state)
{
    FontDesc desc;
    FontRep const font(desc);
    core::String const text = u"Recording 2026-12-06 08:15:42 (00:12:31)";
    font.measure(text);
    for (auto _ : state)
        benchmark::DoNotOptimize(font.measure(text, 200).fit);
    if (text.size() != 40)
        state.SkipWithError("the text is not 40 characters");
}
BENCHMARK(BM_MeasureCached40)->Repetitions(5)->ReportAggregatesOnly(true);

// Remembers each benchmark's median processor time per iteration (nanoseconds) for the ratios: on a
// machine shared with other work, wall time also counts the waits.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(std::vector<Run> const& runs) override
    {
        for (auto const& run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                nanoseconds[run.run_name.function_name + (run.run_name.args.empty() ? "" : "/" + run.run_name.args)]
                    = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> nanoseconds;
};

} // namespace

int main(int argc, char** argv)
{
    // A private registry and log, so that the figures do not depend on the user's settings.
    auto const home = std::filesystem::temp_directory_path() / ("ravelin-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(home);
    setenv("RAVELIN_REGISTRY", (home / "registry.db").c_str(), 1);
    setenv("XDG_STATE_HOME", (home / "state").c_str(), 1);
    os::install_log();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    auto& t = reporter.nanoseconds;
    if (t.count("BM_MemcpyFrame") && t.count("BM_KeyedBlitFrame") && t.count("BM_HalfBlitFrame")) {
        std::printf("keyed blit bandwidth / memcpy bandwidth: %.2f (at least 0.5)\n",
            t["BM_MemcpyFrame"] / t["BM_KeyedBlitFrame"]);
        std::printf("half blit bandwidth / memcpy bandwidth: %.2f (at least 0.5)\n",
            t["BM_MemcpyFrame"] / t["BM_HalfBlitFrame"]);
    }
    if (t.count("BM_NineGridFrame/0") && t.count("BM_KeyedBlitFrame") && t.count("BM_PlainBlitFrame")) {
        double const grid = t["BM_NineGridFrame/0"];
        std::printf("nine-grid frame / keyed blit of the frame: %.2f (at most 2)\n", grid / t["BM_KeyedBlitFrame"]);
        std::printf("nine-grid frame / plain blit of the frame: %.2f (at most 2)\n", grid / t["BM_PlainBlitFrame"]);
    }
    if (t.count("BM_NineGridFrame/1") && t.count("BM_KeyedBlitFrame"))
        std::printf("nine-grid frame at scale_shift 1 / keyed blit of the frame: %.2f\n",
            t["BM_NineGridFrame/1"] / t["BM_KeyedBlitFrame"]);
    if (t.count("BM_MeasureCached40"))
        std::printf("measuring a cached 40-character text: %.0f ns (under 1000)\n", t["BM_MeasureCached40"]);
    std::filesystem::remove_all(home);
    return 0;
}
