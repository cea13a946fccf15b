#include "Trash.h"

#include "Paths.h"

#include <core/Log.h>

namespace os {

std::optional<TrashedFile> move_to_trash(core::StringView path)
{
    auto trashed = platform::move_to_trash(expand_path(path));
    if (trashed)
        core::log() << u"trash: " << path << u" -> " << trashed->file << u"\n";
    else
        core::log() << u"trash: no trash for " << path << u"\n";
    return trashed;
}

bool can_trash(core::StringView path)
{
    return platform::trash_for(expand_path(path)).has_value();
}

RestoreOutcome restore_from_trash(TrashedFile const& trashed)
{
    RestoreOutcome const outcome = platform::restore_from_trash(trashed);
    core::log() << u"trash: restore " << trashed.original
                << (outcome == RestoreOutcome::RESTORED            ? u" done\n"
                           : outcome == RestoreOutcome::PATH_TAKEN ? u" path taken\n"
                                                                   : u" failed\n");
    return outcome;
}

} // namespace os
