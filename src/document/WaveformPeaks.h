#pragma once

#include <core/CriticalSection.h>
#include <core/Strings.h>
#include <core/Thread.h>
#include <cstdint>
#include <memory>
#include <vector>

namespace document {

// The peaks of the recording the playback screen shows, for its waveform: read from the program's
// cache folder (the folder "peaks" beside the record list's durations, one file per recording, never
// beside the recordings), or computed once on a worker thread whose progress the screen polls. A cache
// file holds while its recording keeps its size and last-write time; a changed, unknown or damaged one
// is computed again and rewritten.
//
// Threads: open, poll and the destructor on the main thread; the scan runs on its own worker thread
// and hands its progress over under a lock.
class WaveformPeaks {
public:
    // The cache keeps the peaks of this many recordings (about 2 KB each); past that, the oldest written go.
    static constexpr size_t MAX_FILES = 1000;

    // `folder` empty: the cache folder in the program's state folder.
    explicit WaveformPeaks(core::String folder = {}, size_t max_files = MAX_FILES);
    ~WaveformPeaks();
    WaveformPeaks(WaveformPeaks const&) = delete;
    WaveformPeaks& operator=(WaveformPeaks const&) = delete;

    // Shows the peaks of `path` from now on: from the cache, or by starting a scan (a scan of another
    // file is stopped). The same unchanged file again keeps what is there.
    void open(core::StringView path);
    // Stops a running scan and forgets the file.
    void close();
    // What is known of the open file's peaks since the last poll: true when it changed, with the peaks
    // and the share of the recording they cover (0 to 1).
    bool poll(std::vector<uint8_t>& peaks, double& known);
    // Scanning now (for tests and the benchmark, which wait on the result, not on a clock).
    bool scanning() const;
    // The open file's peaks came from the cache.
    bool from_cache() const { return from_cache_; }

    core::String const& folder() const { return folder_; }
    // The cache file of a recording.
    core::String cache_file(core::StringView path) const;

private:
    class Scanner;
    struct Key {
        core::String path;
        uint64_t size = 0;
        int64_t stamp = 0;
        bool operator==(Key const&) const = default;
    };
    static Key key_of(core::StringView path);
    bool has_peaks() const;
    bool load(Key const& key, std::vector<uint8_t>& peaks) const;
    // Called on the worker thread with progress; false when the scan is to stop.
    bool take(std::vector<uint8_t> const& peaks, int32_t known);
    void store(Key const& key, std::vector<uint8_t> const& peaks) const;
    void prune() const;

    core::String folder_;
    size_t max_files_;
    Key key_;
    std::unique_ptr<Scanner> scanner_;
    bool from_cache_ = false;

    mutable core::CriticalSection lock_;
    // Under the lock.
    std::vector<uint8_t> peaks_;
    int32_t known_ = 0;
    bool changed_ = false;
};

} // namespace document
