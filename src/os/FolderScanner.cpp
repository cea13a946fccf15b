#include "FolderScanner.h"

#include "Paths.h"

namespace os {

ScanListener::~ScanListener() = default;

FolderScanner::FolderScanner(ScanListener* listener)
    : listener_(listener)
    , timer_(this)
{
}

FolderScanner::~FolderScanner() = default;

void FolderScanner::start(core::StringView directory, bool recursive)
{
    timer_.cancel();
    recursive_ = recursive;
    auto const self = platform::folder_identity(expand_path(directory));
    if (!self || seen_.insert(*self).second)
        queue_.emplace_back(directory);
    search_.reset();
    timer_.start(0.001);
}

void FolderScanner::on_timer(core::Timer& timer)
{
    if (&timer != &timer_)
        return;
    if (step())
        timer_.start(0.001);
}

bool FolderScanner::step()
{
    if (!search_) {
        if (queue_.empty()) {
            seen_.clear();
            if (listener_)
                listener_->on_finished();
            return false;
        }
        current_ = std::move(queue_.front());
        queue_.pop_front();
        search_ = platform::list_directory(expand_path(current_));
        position_ = 0;
        if (!search_)
            return true; // unreadable: the next tick takes the next folder
    }
    if (position_ < search_->size()) {
        auto const& entry = (*search_)[position_];
        if (entry.regular) {
            if (listener_)
                listener_->on_file(join(current_, entry.name));
        } else if (entry.directory && entry.name != u"." && entry.name != u".." && recursive_
            && (entry.folder == platform::FolderIdentity {} || seen_.insert(entry.folder).second)) {
            queue_.push_back(join(current_, entry.name));
        }
        ++position_;
    }
    if (position_ >= search_->size())
        search_.reset();
    return true;
}

} // namespace os
