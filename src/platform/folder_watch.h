#pragma once

#include <string>
#include <vector>

// Waits for changes of the entries of one folder (created, written, moved, deleted).
//
// Threads: made, waited on and destroyed on one thread; interrupt() from any thread.
namespace platform {

// Every write, or only files written to their end (closed after writing, moved in) and removals.
enum class WatchFor { WRITES, COMPLETED_FILES };

class FolderWatch {
public:
    explicit FolderWatch(std::u16string const& folder, WatchFor what = WatchFor::WRITES);
    ~FolderWatch();
    FolderWatch(FolderWatch const&) = delete;
    FolderWatch& operator=(FolderWatch const&) = delete;

    // False when the folder cannot be watched (it does not exist, or the system refuses).
    bool is_valid() const { return inotify_ >= 0 && watch_ >= 0; }
    // Blocks until entries changed (their names, each once), interrupt() was called (nothing), or
    // `timeout_ms` passed (nothing; -1 waits without limit).
    std::vector<std::u16string> wait(int timeout_ms);
    void interrupt();
    // The descriptor that becomes readable on a change, for waits on several things at once.
    int descriptor() const { return inotify_; }
    // The changed names that are ready now, without waiting.
    std::vector<std::u16string> take_changes();

private:
    int inotify_ = -1;
    int watch_ = -1;
    int wake_ = -1;
};

} // namespace platform
