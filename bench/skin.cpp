// The skin engine's hot paths on a 480 x 640 frame: keyed and half-transparent blits against the memory
// bandwidth of a plain copy, a nine-grid picture filling the frame against a blit of that size,
// measuring a cached 40-character text, laying out a 200-element tree after a width change, painting
// an unchanged cached element against one blit of its size, and scrolling a list of 10,000 rows (a pen
// move, a tick and the painted frame). The figures asked of them are printed at the end.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <os/LogFile.h>
#include <skin/Blitter.h>
#include <skin/Drawing.h>
#include <skin/Element.h>
#include <skin/FontRep.h>
#include <skin/FormBinding.h>
#include <skin/FormHarness.h>
#include <skin/PictureRef.h>
#include <skin/RenderSurface.h>
#include <skin/widgets/ColorElement.h>
#include <skin/widgets/ListModel.h>
#include <skin/widgets/ListRow.h>
#include <skin/widgets/TableElement.h>
#include <skin/widgets/TextElement.h>
#include <skin/widgets/VListElement.h>
#include <string>
#include <vector>

#include <algorithm>
#include <chrono>

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

// A screen of 200 elements: a header, a vertical table of 12 rows, each a horizontal table of 5 cells
// (weighted, centred or filling) with a background and a mark inside, and a footer of three buttons.
std::unique_ptr<Element> screen_tree()
{
    auto root = std::make_unique<Element>(nullptr);
    auto* header = new ColorElement(root.get());
    header->set_anchor(Axis::Y, { AnchorMode::MIN_SIDE, 0, 0 });
    header->set_design_size({ 0, 24 });
    auto* rows = new VTableElement(root.get());
    rows->set_anchor(Axis::Y, { AnchorMode::BOTH_SIDE, 24, 0 });
    for (int r = 0; r < 12; ++r) {
        auto* row = new HTableElement(rows);
        row->set_design_size({ 0, 20 + r });
        row->set_table_ratio(r % 3 == 0 ? 1 : 0);
        for (int c = 0; c < 5; ++c) {
            auto* cell = new Element(row);
            cell->set_design_size({ 30 + 7 * c, 16 });
            cell->set_table_ratio(c % 2);
            cell->set_anchor(Axis::X, { c == 2 ? AnchorMode::CENTER : AnchorMode::BOTH_SIDE, 2, 2 });
            new ColorElement(cell);
            auto* mark = new ColorElement(cell);
            mark->set_anchor(Axis::X, { AnchorMode::MAX_SIDE, 0, 3 });
            mark->set_design_size({ 8, 8 });
        }
    }
    auto* footer = new Element(root.get());
    footer->set_anchor(Axis::Y, { AnchorMode::MAX_SIDE, 0, 0 });
    footer->set_design_size({ 0, 30 });
    auto* buttons = new HTableElement(footer);
    for (int b = 0; b < 3; ++b)
        new ColorElement(buttons);
    return root;
}

int64_t count_elements(Element const& element)
{
    int64_t n = 1;
    for (size_t i = 0; i < element.child_count(); ++i)
        n += count_elements(*element.child(i));
    return n;
}

// The width alternates between two values, so every iteration is a real width change of the whole
// tree, followed by the vertical pass that the change leaves pending.
void BM_LayoutWidthChange200(benchmark::State& state)
{
    auto const root = screen_tree();
    if (count_elements(*root) != 200)
        state.SkipWithError("the tree is not 200 elements");
    root->set_geometry_x(0, WIDTH);
    root->set_geometry_y(0, HEIGHT);
    int32_t width = WIDTH;
    for (auto _ : state) {
        width = width == WIDTH ? HEIGHT : WIDTH;
        root->set_geometry_x(0, width);
        root->set_geometry_y(0, HEIGHT);
        benchmark::DoNotOptimize(root->child(1)->child(0)->child(4)->position());
    }
}
BENCHMARK(BM_LayoutWidthChange200)->Repetitions(5)->ReportAggregatesOnly(true);

constexpr Point CACHED_SIZE { 240, 160 };

// An element of 240 x 160 with a few children, its cache filled once; every iteration paints it unchanged.
void BM_PaintCachedElement(benchmark::State& state)
{
    Element root(nullptr);
    auto* panel = new Element(&root);
    panel->set_cache(true);
    panel->set_anchor(Axis::X, { AnchorMode::MIN_SIDE, 0, 0 });
    panel->set_anchor(Axis::Y, { AnchorMode::MIN_SIDE, 0, 0 });
    panel->set_design_size(CACHED_SIZE);
    for (int i = 0; i < 8; ++i) {
        auto* part = new ColorElement(panel);
        part->set_color({ static_cast<uint8_t>(30 * i), 80, 120 });
        part->set_anchor(Axis::Y, { AnchorMode::MIN_SIDE, 20 * i, 0 });
        part->set_design_size({ 0, 20 });
    }
    root.set_geometry_x(0, WIDTH);
    root.set_geometry_y(0, HEIGHT);
    RenderSurface screen(Point { WIDTH, HEIGHT });
    panel->paint(screen, {});
    for (auto _ : state) {
        panel->paint(screen, {});
        benchmark::DoNotOptimize(screen.bitmap()->pixels());
        benchmark::ClobberMemory();
    }
    if (panel->cache().size() != CACHED_SIZE)
        state.SkipWithError("the element is not cached");
}
BENCHMARK(BM_PaintCachedElement)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_BlitCachedSize(benchmark::State& state)
{
    RenderSurface source(CACHED_SIZE);
    fill(source, {}, CACHED_SIZE, Color { 30, 80, 120 });
    RenderSurface screen(Point { WIDTH, HEIGHT });
    for (auto _ : state) {
        source.blit_to(screen, {}, plain_blitter());
        benchmark::DoNotOptimize(screen.bitmap()->pixels());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BlitCachedSize)->Repetitions(5)->ReportAggregatesOnly(true);

constexpr int32_t LIST_ROWS = 10000;

// A recording's row: an icon and two texts, cached, as a screen's list of recordings has it.
class RecordRow : public ListRow {
public:
    explicit RecordRow(PropertiesImpl const& properties)
    {
        load_entry(*this, properties, u"Row");
        artist_ = dynamic_cast<TextElement*>(find_child(u"artist"));
        name_ = dynamic_cast<TextElement*>(find_child(u"name"));
    }
    void bind_row(VListElement*, int32_t) override
    {
        if (artist_ && name_) {
            artist_->set_text(u"Caller " + core::decimal(index()));
            name_->set_text(u"Recording 2026-12-06 08:15:42 #" + core::decimal(index()));
        }
    }

private:
    TextElement* artist_ = nullptr;
    TextElement* name_ = nullptr;
};

class Recordings : public ListModel {
public:
    explicit Recordings(PropertiesImpl const& properties)
        : properties_(properties)
    {
    }
    void on_row_clicked(VListElement*, int32_t) override { }
    std::unique_ptr<ListRow> create_row(VListElement*, int32_t) override
    {
        return std::make_unique<RecordRow>(properties_);
    }

private:
    PropertiesImpl const& properties_;
};

// A 480 x 640 screen with a list of 10,000 recordings under the pen: each frame drags it 12 pixels,
// ticks 16 ms and paints, turning round at either end of the list.
class ListScroller {
public:
    explicit ListScroller(int32_t dpi)
        : harness_(core::from_utf8(RAVELIN_BENCH_SKIN), { WIDTH, HEIGHT }, dpi)
        , model_(harness_.properties())
    {
        if (!harness_.loaded())
            return;
        form_ = harness_.make_form(u"FormList");
        list_ = dynamic_cast<VListElement*>(form_->find_child(u"list"));
        if (!list_)
            return;
        list_->set_model(&model_);
        list_->reset(LIST_ROWS);
        harness_.show(*form_);
        harness_.advance(FormHarness::FRAME_MS);
        harness_.pen_down(pen_);
    }
    bool ready() const { return list_ != nullptr; }
    void frame()
    {
        if (step_ < 0 && list_->last() == list_->count())
            step_ = -step_;
        else if (step_ > 0 && list_->first() == -1)
            step_ = -step_;
        pen_.y += step_;
        harness_.pen_move(pen_);
        harness_.advance(16);
    }
    VListElement const& list() const { return *list_; }

private:
    FormHarness harness_;
    Recordings model_;
    std::unique_ptr<Form> form_;
    VListElement* list_ = nullptr;
    Point pen_ { WIDTH / 2, HEIGHT / 2 };
    int32_t step_ = -12;
};

void BM_ScrollList10000(benchmark::State& state)
{
    ListScroller scroller(static_cast<int32_t>(state.range(0)));
    if (!scroller.ready()) {
        state.SkipWithError("the list skin did not load");
        return;
    }
    for (auto _ : state)
        scroller.frame();
}
BENCHMARK(BM_ScrollList10000)->Arg(96)->Arg(192)->Repetitions(5)->ReportAggregatesOnly(true);

// Every frame timed on its own: the median and the slowest, and how many row elements were alive.
void print_list_figures(int32_t dpi)
{
    ListScroller scroller(dpi);
    if (!scroller.ready())
        return;
    for (int i = 0; i < 200; ++i)
        scroller.frame();
    constexpr int FRAMES = 3000;
    std::vector<double> ms;
    size_t most_rows = 0;
    int64_t fewest_elements = INT64_MAX, most_elements = 0;
    for (int i = 0; i < FRAMES; ++i) {
        auto const start = std::chrono::steady_clock::now();
        scroller.frame();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        most_rows = std::max(most_rows, scroller.list().row_count());
        fewest_elements = std::min(fewest_elements, Element::live_count());
        most_elements = std::max(most_elements, Element::live_count());
    }
    std::sort(ms.begin(), ms.end());
    VListElement const& list = scroller.list();
    double top = 0, row_height = 0;
    list.row_place(list.first() + 1, top, row_height);
    // A window H high shows at most (H - 1) / h + 2 rows of h when they do not line up with it.
    int32_t const on_screen = row_height > 0 ? int32_t((list.size().y - 1) / row_height) + 2 : 0;
    std::printf("scrolling %d rows at %dx%d@%d: a tick with its paint takes %.3f ms at the median, %.3f ms at "
                "the 99th percentile (under 2)\n",
        LIST_ROWS, WIDTH, HEIGHT, dpi, ms[ms.size() / 2], ms[ms.size() * 99 / 100]);
    std::printf("  row elements alive: at most %zu, for at most %d rows of %.0f pixels on a list %d pixels high; live "
                "elements %lld to %lld\n",
        most_rows, on_screen, row_height, list.size().y, static_cast<long long>(fewest_elements),
        static_cast<long long>(most_elements));
}

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
    if (t.count("BM_LayoutWidthChange200"))
        std::printf(
            "laying out 200 elements after a width change: %.1f us (under 50)\n", t["BM_LayoutWidthChange200"] / 1000);
    if (t.count("BM_PaintCachedElement") && t.count("BM_BlitCachedSize"))
        std::printf("painting an unchanged cached element / one plain blit of its size: %.2f (about 1)\n",
            t["BM_PaintCachedElement"] / t["BM_BlitCachedSize"]);
    if (t.count("BM_ScrollList10000/96"))
        for (int32_t dpi : { 96, 192 })
            print_list_figures(dpi);
    std::filesystem::remove_all(home);
    return 0;
}
