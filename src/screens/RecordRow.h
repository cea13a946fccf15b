#pragma once

#include <skin/widgets/ListRow.h>

namespace skin {
class ImageElement;
class PropertiesImpl;
class TextElement;
} // namespace skin

namespace screens {

class RecordRow;

// Fills a row with the record at the row's position.
class RecordRowBinder {
public:
    virtual ~RecordRowBinder();
    virtual void bind_record_row(RecordRow& row) = 0;
};

// A row of the record list: the skin entry "Record" with its "icon", "artist" and "name".
class RecordRow final : public skin::ListRow {
public:
    RecordRow(RecordRowBinder& owner, skin::PropertiesImpl const& properties);

    void bind_row(skin::VListElement* list, int32_t flags) override;

    skin::ImageElement& icon() const { return *icon_; }
    skin::TextElement& artist() const { return *artist_; }
    skin::TextElement& name() const { return *name_; }
    // The mark of the recording in progress; a skin may have none.
    skin::TextElement* state() const { return state_; }

private:
    RecordRowBinder& owner_;
    skin::ImageElement* icon_;
    skin::TextElement* artist_;
    skin::TextElement* state_ = nullptr;
    skin::TextElement* name_;
};

} // namespace screens
