#pragma once

#include "RecordIcons.h"

#include <core/Strings.h>
#include <skin/Color.h>

#include <cstdint>
#include <optional>

namespace lang {
class Dictionary;
}

namespace document {
struct RecordInfo;
}

namespace skin {
class Form;
class ImageElement;
class PropertiesImpl;
class TextElement;
} // namespace skin

namespace screens {

// Whether a refresh of a record's screen shows the record's title on "btnName" again, or keeps the name
// the user may be editing.
enum class NameCaption { KEEP, FROM_TITLE };

// The head of the recording and playback screens: the record's "icon", who it is ("frmArtist"), the
// elapsed time ("frmElapsed"), the time left ("frmLeft"), its format ("frmInfo") and the file's size
// ("frmSize").
// Threads: main thread only.
class RecordHeader {
public:
    // Binds the elements of the form (again after a skin reload) and the skin's record icons.
    void bind(skin::Form& form, skin::PropertiesImpl const& properties);
    // Icon, artist and format of the record; a file that no reader takes has no format to tell.
    void show_record(document::RecordInfo const& record);
    void show_times(double elapsed_seconds, double left_seconds);
    void show_elapsed(double seconds);
    // Blanks the elapsed time until the next show_elapsed when not lit (its blinking while paused).
    void show_elapsed_lit(bool lit);
    void show_size(uint64_t bytes);
    // Puts `notice` (in `color`, else the line's own) in the format's place until it is empty again.
    void show_notice(core::StringView notice, std::optional<skin::Color> color);

private:
    RecordIcons icons_;
    lang::Dictionary const* words_ = nullptr;
    skin::ImageElement* icon_ = nullptr;
    skin::TextElement* artist_ = nullptr;
    skin::TextElement* elapsed_ = nullptr;
    skin::TextElement* left_ = nullptr;
    skin::TextElement* info_ = nullptr;
    skin::TextElement* size_ = nullptr;
    void show_info();

    core::String format_;
    core::String notice_;
    std::optional<skin::Color> notice_color_;
};

} // namespace screens
