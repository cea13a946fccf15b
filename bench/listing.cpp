// Listing 5,000 recordings: how soon the first screen's rows are in the list and how long the whole
// incremental scan at start takes, then the same with the list rebuilt at once ("Refresh"). Each file is
// an ID3-tagged MP3 of a few frames, so that reading an entry reads what a real one would. Run twice
// (the first run finds no stored lengths, the second finds them all). A plain program that prints its
// figures, in a private home.
#include "PrivateHome.h"

#include <algorithm>
#include <audio/formats/BufferedStreams.h>
#include <audio/formats/Id3Tag.h>
#include <chrono>
#include <core/CActiveScheduler.h>
#include <cstdio>
#include <cstdlib>
#include <document/Document.h>
#include <filesystem>
#include <os/File.h>
#include <os/LogFile.h>
#include <os/Paths.h>
#include <platform/ticks.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int RECORDS = 5000;
// The rows of the first screen at the largest size.
constexpr size_t FIRST_SCREEN = 20;
constexpr int FRAMES = 12;

double ms_since(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void write_records()
{
    core::String const store = os::expand_path(u"%my_documents%/My Ravelin");
    std::filesystem::create_directories(core::to_utf8(store));
    // MPEG-1 layer III, 32 kbit/s, 44.1 kHz, mono: 104-byte frames.
    std::vector<uint8_t> frames(FRAMES * 104, 0);
    for (int i = 0; i < FRAMES; ++i) {
        uint8_t* f = &frames[size_t(i) * 104];
        f[0] = 0xFF, f[1] = 0xFB, f[2] = 0x10, f[3] = 0xC4;
    }
    for (int i = 0; i < RECORDS; ++i) {
        os::File file(store + u"/Note " + core::decimal(i) + u".mp3", os::FileMode::Write);
        audio::BufferedOutStream out(file, 4096);
        audio::Id3Tag tag;
        tag.set_text("TPE1", u"Record");
        tag.set_text("TIT2", u"Meeting about the budget, part " + core::decimal(i));
        tag.set_text("TALB", u"Record");
        tag.write(out);
        out.write(frames.data(), static_cast<uint32_t>(frames.size()));
        out.flush();
    }
}

void measure(char const* run)
{
    double first = 0, whole = 0, rescan = 0;
    {
        document::Document document;
        auto const start = Clock::now();
        document.load_secondary_things();
        core::run_messages_until([&] { return document.records().size() >= FIRST_SCREEN; });
        first = ms_since(start);
        core::run_messages_until([&] { return !document.is_scanning(); });
        whole = ms_since(start);
        auto const again = Clock::now();
        document.rescan();
        rescan = ms_since(again);
    }
    std::printf("%-6s first screen (%zu rows): %8.1f ms   whole listing: %8.1f ms   rebuilt at once: %7.1f ms\n", run,
        FIRST_SCREEN, first, whole, rescan);
}

} // namespace

int main()
{
    bench::use_private_home();
    os::install_log();
    core::CActiveScheduler scheduler(u"BenchListingClass");
    write_records();
    std::printf("%d recordings\n", RECORDS);
    measure("first");
    measure("second");
    return 0;
}
