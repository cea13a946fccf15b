// The Document's deletes: files go to the desktop's trash, from where an undo puts them back.
#include "Document.h"

#include <algorithm>
#include <core/Log.h>
#include <os/FileInfo.h>
#include <os/FileSystem.h>

namespace document {

using core::String;
using core::StringView;

namespace {

// Into the trash, or, where no trash can be made, deleted as the handheld did; the trashed file, if any.
// `gone` tells whether the file has left its path.
std::optional<os::TrashedFile> throw_away(StringView path, bool& gone)
{
    auto trashed = os::move_to_trash(path);
    gone = trashed.has_value() || os::delete_file(path);
    return trashed;
}

} // namespace

std::vector<TrashedRecord> Document::delete_records(std::vector<int32_t> const& indices)
{
    core::log() << u"os::delete_file 3\n";
    std::vector<TrashedRecord> trashed;
    // From the last, so that the indices still to come keep their records.
    std::vector<int32_t> order = indices;
    std::sort(order.begin(), order.end());
    order.erase(std::unique(order.begin(), order.end()), order.end());
    for (auto at = order.rbegin(); at != order.rend(); ++at) {
        size_t const index = static_cast<size_t>(*at);
        if (*at < 0 || index >= records_.size())
            continue;
        bool gone = false;
        auto file = throw_away(records_[index].path, gone);
        if (file)
            trashed.push_back(TrashedRecord { records_[index], std::move(*file) });
        if (gone)
            records_.remove(index);
    }
    return trashed;
}

std::vector<TrashedRecord> Document::restore_records(std::vector<TrashedRecord> const& records)
{
    std::vector<TrashedRecord> taken;
    for (TrashedRecord const& record : records) {
        os::RestoreOutcome const outcome = os::restore_from_trash(record.trashed);
        if (outcome == os::RestoreOutcome::PATH_TAKEN) {
            taken.push_back(record);
            continue;
        }
        if (outcome != os::RestoreOutcome::RESTORED)
            continue;
        // The record as it was listed: its place follows from its time, as before the delete.
        if (int32_t const index = records_.insert(record.entry); index >= 0)
            send(DocumentEvent::RECORD_FOUND, index);
    }
    return taken;
}

bool Document::can_trash(std::vector<String> const& paths) const
{
    return std::all_of(paths.begin(), paths.end(), [](String const& path) { return os::can_trash(path); });
}

void Document::remove()
{
    int32_t const index = records_.find(current_.path);
    if (index < 0)
        return;
    core::log() << u"os::delete_file in Document::remove\n";
    bool gone = false;
    throw_away(current_.path, gone);
    // A file that is still there stays listed: the list never hides what is on the disk.
    if (!gone)
        return;
    records_.remove(static_cast<size_t>(index));
    send(DocumentEvent::RECORD_REMOVED, index);
}

bool Document::discard_current()
{
    String const path = current_.path;
    stop();
    if (path.empty())
        return false;
    core::log() << u"Document::discard " << path << u"\n";
    bool gone = false;
    throw_away(path, gone);
    if (!gone)
        return false;
    if (int32_t const index = records_.find(path); index >= 0) {
        records_.remove(static_cast<size_t>(index));
        send(DocumentEvent::RECORD_REMOVED, index);
    }
    return true;
}

} // namespace document
