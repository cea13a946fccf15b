#pragma once

#include <core/Strings.h>
#include <skin/PictureRef.h>

#include <array>

namespace skin {
class PropertiesImpl;
}

namespace screens {

// The six record icons of the skin (the "src" of the nodes "main_memory", "main_memory_incoming",
// "main_memory_outgoing", "card", "card_incoming", "card_outgoing") and the choice among them by where a
// record lies and its album.
// Threads: main thread only.
class RecordIcons {
public:
    RecordIcons();
    void load(skin::PropertiesImpl const& properties);
    skin::PictureRef const& icon(core::StringView path, core::StringView album) const;
    core::String const& documents() const { return documents_; }

private:
    std::array<skin::PictureRef, 6> pictures_;
    core::String documents_;
};

} // namespace screens
