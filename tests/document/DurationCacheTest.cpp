#include "TestSupport.h"

#include <document/DurationCache.h>
#include <document/RecordStore.h>
#include <os/FileInfo.h>

using document::DurationCache;
using namespace testing_support;

namespace {

int64_t ask(DurationCache& cache, std::string const& path)
{
    core::String const p = core::from_utf8(path);
    os::FileInfo const info(p);
    return cache.duration(p, info.size(), info.modified());
}

// Two WAV files of one size, 1 s at 8 kHz and 0.5 s at 16 kHz, both with the same last-write time.
void write_same_size(std::string const& path, int rate, char const* stamp)
{
    write_file(path, wav16(static_cast<uint32_t>(rate), tone(8000.0 / rate, rate)));
    ASSERT_EQ(run("touch -d '" + std::string(stamp) + "' " + path).exit_code, 0);
}

TEST(DurationCache, KeptWhileTheFileKeepsItsSizeAndTimeAndBesideTheStateNotTheRecordings)
{
    std::string const dir = fresh_dir("cache-records");
    std::string const a = dir + "/a.wav", b = dir + "/b.wav", saved = test_home() + "/state/ravelin/durations.txt";
    write_same_size(a, 8000, "2026-12-07 10:44:00");
    write_file(b, wav16(8000, tone(0.25, 8000)));
    {
        DurationCache cache;
        EXPECT_EQ(ask(cache, a), 1000);
        EXPECT_EQ(ask(cache, b), 250);
        ASSERT_TRUE(cache.save(true));
        EXPECT_EQ(cache.file(), core::from_utf8(saved));
    }
    // Same size, same time, other contents: the cache answers without opening the file.
    write_same_size(a, 16000, "2026-12-07 10:44:00");
    {
        DurationCache cache;
        EXPECT_EQ(ask(cache, a), 1000);
        // b is no longer listed: a whole listing forgets it.
        ASSERT_TRUE(cache.save(true));
    }
    std::string const text = read_file(saved);
    EXPECT_TRUE(text.find("/a.wav\n") != std::string::npos && text.find("/b.wav") == std::string::npos) << text;
    // A new write time: probed again.
    write_same_size(a, 16000, "2026-12-07 10:45:00");
    DurationCache cache;
    EXPECT_EQ(ask(cache, a), 500);
    EXPECT_EQ(run("ls " + dir).output, "a.wav\nb.wav\n");
    // The entry of a listed file carries its length.
    EXPECT_EQ(document::read_record_entry(core::from_utf8(b), &cache).duration_ms, 250);
}

TEST(DurationCache, DamagedCacheFileCostsOnlyProbing)
{
    std::string const dir = fresh_dir("cache-damaged"), wav = dir + "/a.wav", cache_file = dir + "/cache.txt";
    write_file(wav, wav16(8000, tone(0.5, 8000)));
    for (std::string const& bytes : { "ravelin durations 2\n12\tx\t5\t" + wav + "\n",
             "ravelin durations 2\n4044\t1\t9" + wav, std::string("other\n\t\t\t\n"), std::string(300, '\0') }) {
        write_file(cache_file, bytes);
        DurationCache cache(core::from_utf8(cache_file));
        EXPECT_EQ(ask(cache, wav), 500);
    }
}

} // namespace
