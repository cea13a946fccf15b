#include "TestSupport.h"

#include <audio/readers/PeakScan.h>
#include <document/WaveformPeaks.h>
#include <os/FileInfo.h>

using document::WaveformPeaks;
using namespace testing_support;

namespace {

struct Polled {
    std::vector<uint8_t> peaks;
    double known = 0;
    bool scanned = false; // a scan had to run
};

// Opens the file and polls until the whole waveform is known or the scan ends without it.
Polled open_whole(WaveformPeaks& peaks, std::string const& path)
{
    Polled p;
    peaks.open(core::from_utf8(path));
    p.scanned = !peaks.from_cache();
    for (;;) {
        bool const running = peaks.scanning();
        peaks.poll(p.peaks, p.known);
        if (p.known >= 1 || !running)
            return p;
        std::this_thread::yield();
    }
}

// Peaks are scanned once into the state folder, never beside the recording; a later opening reads them
// back; a changed recording or a damaged cache file is scanned again.
TEST(WaveformPeaks, ScannedOnceKeptInTheStateFolderAndScannedAgainWhenChangedOrDamaged)
{
    std::string const dir = fresh_dir("peaks-records");
    std::string const wav = dir + "/a.wav";
    std::vector<int16_t> samples = tone(1, 8000, 0);
    auto const loud = tone(1, 8000, 20000);
    samples.insert(samples.end(), loud.begin(), loud.end());
    write_file(wav, wav16(8000, samples));
    WaveformPeaks first;
    Polled const scanned = open_whole(first, wav);
    ASSERT_EQ(scanned.known, 1.0);
    EXPECT_TRUE(scanned.scanned);
    EXPECT_EQ(scanned.peaks[0], 0);
    EXPECT_GT(scanned.peaks.back(), 150);
    std::string const cache = core::to_utf8(first.cache_file(core::from_utf8(wav)));
    first.close();
    EXPECT_TRUE(cache.starts_with(test_home() + "/state/ravelin/peaks/")) << cache;
    EXPECT_TRUE(file_exists(cache));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1) << "only the recording";

    WaveformPeaks later;
    Polled const cached = open_whole(later, wav);
    EXPECT_FALSE(cached.scanned);
    EXPECT_EQ(cached.peaks, scanned.peaks);
    later.close();

    // Every cut of the cache file, and a flipped byte in its path, are scanned again and rewritten.
    std::string const good = read_file(cache);
    for (size_t cut : { size_t(0), size_t(7), size_t(30), good.size() - 1 }) {
        write_file(cache, good.substr(0, cut));
        Polled const again = open_whole(later, wav);
        EXPECT_TRUE(again.scanned) << cut;
        EXPECT_EQ(again.peaks, scanned.peaks) << cut;
        later.close();
        EXPECT_EQ(read_file(cache), good) << cut;
    }
    std::string flipped = good;
    flipped[36] ^= 1;
    write_file(cache, flipped);
    EXPECT_TRUE(open_whole(later, wav).scanned);
    later.close();

    // The recording changes (continued: longer and louder at the end): its peaks are new.
    auto const louder = tone(1, 8000, 30000);
    samples.insert(samples.end(), louder.begin(), louder.end());
    write_file(wav, wav16(8000, samples));
    Polled const changed = open_whole(later, wav);
    EXPECT_TRUE(changed.scanned);
    EXPECT_GT(changed.peaks.back(), scanned.peaks.back());
    // A file no reader takes leaves the waveform empty.
    write_file(wav, "nothing to hear");
    Polled const none = open_whole(later, wav);
    EXPECT_LT(none.known, 1);
}

// The cache stays small: past its limit, the peaks written longest ago go.
TEST(WaveformPeaks, TheCacheKeepsTheNewestFiles)
{
    std::string const dir = fresh_dir("peaks-limit");
    WaveformPeaks peaks(core::from_utf8(dir + "/cache"), 2);
    std::vector<std::string> caches;
    for (char const name : { 'a', 'b', 'c' }) {
        std::string const wav = dir + "/" + name + ".wav";
        write_file(wav, wav16(8000, tone(1, 8000, 20000)));
        ASSERT_EQ(open_whole(peaks, wav).known, 1.0);
        peaks.close();
        caches.push_back(core::to_utf8(peaks.cache_file(core::from_utf8(wav))));
        // Written a minute apart, whatever the clock's resolution.
        std::filesystem::last_write_time(
            caches.back(), std::filesystem::file_time_type::clock::now() - std::chrono::minutes(10 - caches.size()));
    }
    EXPECT_EQ(std::to_string(file_exists(caches[0])) + std::to_string(file_exists(caches[1]))
            + std::to_string(file_exists(caches[2])),
        "011");
}

} // namespace
