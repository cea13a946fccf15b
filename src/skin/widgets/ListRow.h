#pragma once

#include <skin/Element.h>
#include <skin/InputHost.h>
#include <skin/InputRouter.h>

namespace skin {

class VListElement;

// A row of a "vlist": an ordinary element tree (usually loaded by the screen from a skin entry) made by
// the list's model for one row index while that row is on screen. It is the root of its own tree, so its
// interactive elements take input through the row, never straight from the form: the list hands the row
// a press in the row's own coordinates (its top-left corner is (0, 0)).
//
// The list sets the index, then binds the row (`bind_row`) to show the model's data, lays it out at the
// list's width and its own preferred height, and shows one of its state children: "#vlist_pressed"
// while it is pressed, else "#vlist_selected" when it is the selected row, else "#vlist_normal" (a
// missing one falls back to "#vlist_normal").
// Threads: main thread only.
class ListRow : public Element, public InputHost {
public:
    // bind_row flags: a row just made (else it is shown again with fresh data).
    static constexpr int32_t FRESH = 1;

    ListRow();
    ~ListRow() override;

    // Slot 24: shows the data of row `index()` of the list's model.
    virtual void bind_row(VListElement* list, int32_t flags) = 0;

    // Routes the pen to the row's own elements; true when one of them holds it.
    bool on_pen(PenEvent const& event) override;
    void on_pen_move(Point point) override;
    bool on_key(KeyEvent const& event) override;
    bool on_char(char16_t character) override;

    // -1 once the row was removed from the list (it then only shrinks away).
    int32_t index() const { return index_; }
    VListElement* list() const { return list_; }
    void show_state(bool pressed, bool selected);

    // InputHost.
    void add_input(Element* element) override { router_.add(element); }
    void remove_input(Element* element) override { router_.remove(element); }
    EditElement* active_edit() const override { return router_.active_edit(); }
    void set_active_edit(EditElement* edit) override { router_.set_active_edit(edit); }
    uint32_t input_time() const override;

private:
    friend class VListElement;

    InputRouter router_;
    int32_t index_ = -1;
    VListElement* list_ = nullptr;
};

} // namespace skin
