#pragma once

#include <core/Strings.h>
#include <optional>
#include <platform/services/trash.h>

namespace os {

using platform::RestoreOutcome;
using platform::TrashedFile;

// Moves the file (its path expanded) into the desktop's trash, where file managers list it and can put it
// back; nothing, with the file left in place, where no trash can be made (a read-only card, no
// permission).
std::optional<TrashedFile> move_to_trash(core::StringView path);
// A trash can take the file (made now when missing), so that a delete can be undone.
bool can_trash(core::StringView path);
// Puts a trashed file back at its path, unless something else lies there now.
RestoreOutcome restore_from_trash(TrashedFile const& trashed);

} // namespace os
