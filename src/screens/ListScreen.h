#pragma once

#include <core/Strings.h>

#include <cstdint>
#include <vector>

namespace screens {

// What the main menu asks of the list screen it belongs to.
// Threads: main thread only.
class ListScreen {
public:
    virtual ~ListScreen();
    // Indices into the Document's records of those the list shows, in the list's order.
    virtual std::vector<int32_t> const& shown_records() const = 0;
    // Asks whether every shown record is to be deleted.
    virtual void confirm_delete() = 0;
    // Shows the message of a language key.
    virtual void show_error(core::StringView key) = 0;
};

} // namespace screens
