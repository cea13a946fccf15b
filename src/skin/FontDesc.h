#pragma once

#include <core/Strings.h>

#include <cstdint>

namespace skin {

// A font as a skin describes it: "size bold italic underline face" (four decimal integers, each with an
// optional sign, then the face name, which runs to the end and may hold blanks), and the display scale.
struct FontDesc {
    int32_t size = 12; // points
    int32_t scale = 1; // 2 on displays of 192 dpi or more
    bool bold = false;
    bool italic = false;
    bool underline = false;
    core::String face = u"Tahoma";

    // Reads a description over the current fields: a field that does not parse keeps its value, and so
    // does every field after it. Answers whether the whole description parsed.
    bool parse(core::StringView description);

    // The font of text elements that name none.
    static FontDesc application_default()
    {
        FontDesc desc;
        desc.size = 10;
        return desc;
    }

    friend bool operator==(FontDesc const&, FontDesc const&) = default;
};

} // namespace skin
