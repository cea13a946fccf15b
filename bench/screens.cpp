// The main screen as the window draws it: 1,000 recordings in the list at 480x640@192 on the default
// skin. One whole frame painted with every element out of date (nothing reused from the last frame), the
// same with the keypad filter open and the matches highlighted, and a frame step that scrolls the list to
// another place (rows made, bound and painted). Then the whole frame again with caller names that mix
// Latin, Cyrillic, Chinese and Arabic (shaped, with fallback faces). The figures asked of them are printed
// at the end.
#include <benchmark/benchmark.h>
#include <core/CActiveScheduler.h>
#include <cstdio>
#include <cstdlib>
#include <document/Document.h>
#include <filesystem>
#include <map>
#include <os/File.h>
#include <os/LogFile.h>
#include <os/Paths.h>
#include <platform/wave/wave.h>
#include <screens/FormMain.h>
#include <screens/ScreenHost.h>
#include <skin/FormHarness.h>
#include <skin/widgets/ListRow.h>
#include <skin/widgets/VListElement.h>
#include <unistd.h>
#include <vector>

#include <audio/formats/BufferedStreams.h>
#include <audio/formats/Id3Tag.h>

namespace {

constexpr int RECORDS = 1000;

class Host final : public screens::ScreenHost {
public:
    explicit Host(skin::FormStack& stack)
        : stack_(stack)
    {
    }
    skin::FormStack& form_stack() override { return stack_; }
    void set_edit(skin::EditElement*) override { }
    void minimize() override { }
    void quit() override { }
    void message_box(core::StringView, core::StringView) override { }

private:
    skin::FormStack& stack_;
};

void write_record(core::String const& path, core::StringView artist, core::StringView title)
{
    os::File file(path, os::FileMode::Write);
    audio::BufferedOutStream out(file, 4096);
    audio::Id3Tag tag;
    tag.set_text("TPE1", artist);
    tag.set_text("TIT2", title);
    tag.set_text("TALB", u"Record");
    tag.write(out);
    out.flush();
}

// The program's screen as the Starter builds it, with the records found one by one as a scan finds them.
struct MainScreen {
    core::CActiveScheduler scheduler { u"BenchScreensClass" };
    skin::FormHarness harness { core::from_utf8(RAVELIN_BIN_DIR "/skins/bin/default.skin"), { 480, 640 }, 192 };
    Host host { harness.stack() };
    document::Document document;
    std::unique_ptr<screens::FormMain> main;

    explicit MainScreen(std::vector<core::StringView> const& artists)
    {
        harness.properties().dictionary().load(core::from_utf8(RAVELIN_BIN_DIR "/english.lng"));
        main = std::make_unique<screens::FormMain>(harness.properties(), host, document);
        main->show();
        core::String const store = os::expand_path(u"%my_documents%/My Ravelin");
        std::filesystem::create_directories(core::to_utf8(store));
        for (int i = 0; i < RECORDS; ++i) {
            core::String const path = store + u"/Note " + core::decimal(i) + u".mp3";
            core::String const artist = core::String(artists[static_cast<size_t>(i) % artists.size()])
                + (artists.size() > 4 ? u" " + core::decimal(i) : core::String());
            write_record(path, artist, u"Meeting about the budget, part " + core::decimal(i));
            document.on_file(path);
        }
        harness.advance(1000);
    }

    void mark_all(skin::Element& element)
    {
        element.mark_redraw();
        for (size_t i = 0; i < element.child_count(); ++i)
            mark_all(*element.child(i));
    }
    // Everything out of date: the form's tree and every row on screen.
    void whole_frame()
    {
        mark_all(main->form());
        auto& list = main->list();
        for (size_t i = 0; i < list.row_count(); ++i)
            mark_all(*list.row_at(i));
        harness.paint();
    }
};

MainScreen* screen = nullptr;

void BM_MainScreenWholeFrame(benchmark::State& state)
{
    if (state.range(0) && !screen->main->filter_open()) {
        // The filter "2" (abc2) with the keypad open: most rows show a highlighted run.
        screen->main->on_click(screen->main->form().find_child(u"btnFilter"), {});
        screen->main->on_char(u"2");
        screen->harness.advance(1000);
    } else if (!state.range(0) && screen->main->filter_open()) {
        screen->main->close_filter();
        screen->harness.advance(1000);
    }
    for (auto _ : state)
        screen->whole_frame();
    state.counters["rows"] = static_cast<double>(screen->main->list().count());
}
BENCHMARK(BM_MainScreenWholeFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Jumps seven rows a frame, so that each frame draws rows not drawn lately.
void scroll_frames(benchmark::State& state)
{
    int32_t at = 0;
    for (auto _ : state) {
        at = (at + 7) % RECORDS;
        screen->main->list().scroll_to(at);
        screen->harness.advance(40);
    }
}

void BM_MainScreenScrollFrame(benchmark::State& state)
{
    screen->main->close_filter();
    scroll_frames(state);
}
BENCHMARK(BM_MainScreenScrollFrame)->Unit(benchmark::kMicrosecond);

// Run on the screen whose names mix scripts; every name differs (its number), as in a real address book.
void BM_MainScreenMixedScriptsFrame(benchmark::State& state)
{
    for (auto _ : state)
        screen->whole_frame();
}
BENCHMARK(BM_MainScreenMixedScriptsFrame)->Unit(benchmark::kMicrosecond);

// Scrolling to places not seen lately: the names met there are shaped for the first time.
void BM_MainScreenMixedScriptsScrollFrame(benchmark::State& state)
{
    scroll_frames(state);
}
BENCHMARK(BM_MainScreenMixedScriptsScrollFrame)->Unit(benchmark::kMicrosecond);

class Reporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(std::vector<Run> const& runs) override
    {
        for (auto const& run : runs)
            // A single run, or the median of repetitions: processor time, in the benchmark's unit.
            if (run.run_type != Run::RT_Aggregate || run.aggregate_name == "median")
                micros[run.run_name.function_name + (run.run_name.args.empty() ? "" : "/" + run.run_name.args)]
                    = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> micros;
};

} // namespace

int main(int argc, char** argv)
{
    // A private home, registry and log: the records are written there, never among the user's own.
    auto const home = std::filesystem::temp_directory_path() / ("ravelin-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(home / "Documents");
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DOCUMENTS_DIR", (home / "Documents").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    setenv("RAVELIN_REGISTRY", (home / "registry.db").c_str(), 1);
    setenv("XDG_STATE_HOME", (home / "state").c_str(), 1);
    setenv("RAVELIN_CARDS", "", 1);
    platform::select_wave_input("none");
    platform::select_wave_output("none");
    os::install_log();
    benchmark::Initialize(&argc, argv);
    Reporter reporter;
    auto& t = reporter.micros;
    {
        MainScreen main_screen({ u"Ann Lee", u"Record", u"Bob Crane", u"+44 20 7946 0000" });
        screen = &main_screen;
        benchmark::RunSpecifiedBenchmarks(&reporter, "^BM_MainScreen(WholeFrame|ScrollFrame)");
        if (t.count("BM_MainScreenWholeFrame/0"))
            std::printf("painting one whole frame of the main screen with %d records at 480x640@192: %.3f ms "
                        "(under 2)\n",
                RECORDS, t["BM_MainScreenWholeFrame/0"] / 1000);
        if (t.count("BM_MainScreenWholeFrame/1"))
            std::printf("  with the keypad open and the filter's matches highlighted: %.3f ms\n",
                t["BM_MainScreenWholeFrame/1"] / 1000);
        if (t.count("BM_MainScreenScrollFrame"))
            std::printf("  a frame step that scrolls the list elsewhere (rows made and bound): %.3f ms\n",
                t["BM_MainScreenScrollFrame"] / 1000);
        screen = nullptr;
    }
    std::filesystem::remove_all(home / "Documents");
    std::filesystem::create_directories(home / "Documents");
    {
        MainScreen main_screen(
            { u"Ann Lee", u"Мария Ёлкина", u"王小明", u"محمد عبد الله", u"Bob Crane", u"Сергей", u"李娜", u"فاطمة" });
        screen = &main_screen;
        benchmark::RunSpecifiedBenchmarks(&reporter, "^BM_MainScreenMixedScripts");
        if (t.count("BM_MainScreenMixedScriptsFrame"))
            std::printf("  the whole frame with names in Latin, Cyrillic, Chinese and Arabic: %.3f ms (under 1)\n",
                t["BM_MainScreenMixedScriptsFrame"] / 1000);
        if (t.count("BM_MainScreenMixedScriptsScrollFrame"))
            std::printf("  a frame step that scrolls those names elsewhere: %.3f ms\n",
                t["BM_MainScreenMixedScriptsScrollFrame"] / 1000);
        screen = nullptr;
    }
    benchmark::Shutdown();
    std::filesystem::remove_all(home);
    return 0;
}
