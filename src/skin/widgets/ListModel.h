#pragma once

#include <cstdint>
#include <memory>

namespace skin {

class ListRow;
class VListElement;

// The data behind a "vlist", implemented by a screen: the list knows only its row count and asks the
// model for the rows it shows. Not owned by the list.
class ListModel {
public:
    virtual ~ListModel();
    // A tap on row `index`.
    virtual void on_row_clicked(VListElement* list, int32_t index) = 0;
    // A new row for `index`, owned by the list from now on. The list binds it; the model must not change
    // the list while it makes a row.
    virtual std::unique_ptr<ListRow> create_row(VListElement* list, int32_t index) = 0;
};

} // namespace skin
