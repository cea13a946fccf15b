#pragma once

#include <core/CActive.h>
#include <core/Strings.h>
#include <core/Timer.h>

#include <deque>
#include <optional>
#include <platform/filesystem.h>
#include <set>
#include <vector>

namespace os {

class ScanListener {
public:
    virtual void on_file(core::String const& path) = 0;
    virtual void on_finished() = 0;
    virtual ~ScanListener();
};

// Lists folders one entry per 1-ms scheduler tick, so that a large folder never blocks the interface.
// Folders are taken first in, first out (breadth first when recursive). Only regular files are reported;
// a folder reached again (a link back up the tree, a bind mount) is listed once in a scan.
// Threads: main thread only.
class FolderScanner final : public core::TimerListener {
public:
    explicit FolderScanner(ScanListener* listener);
    ~FolderScanner() override;

    // Appends the folder to the queue and (re)starts the ticking.
    void start(core::StringView directory, bool recursive);
    bool is_scanning() const { return timer_.is_running(); }

private:
    void on_timer(core::Timer& timer) override;
    // One entry; false when the scan has finished.
    bool step();

    ScanListener* listener_;
    core::Timer timer_;
    bool recursive_ = false;
    std::deque<core::String> queue_;
    core::String current_;
    std::optional<std::vector<platform::DirectoryEntry>> search_;
    // The folders queued or listed since the scan began; forgotten when it finishes.
    std::set<platform::FolderIdentity> seen_;
    size_t position_ = 0;
};

} // namespace os
