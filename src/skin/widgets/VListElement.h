#pragma once

#include "ListModel.h"
#include "ListMotion.h"

#include <skin/Element.h>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace skin {

class ListRow;

// "vlist": a vertical list of rows that the pen drags, that glides on after a flick, brakes, and springs
// back when pulled past either end. It is virtual: it knows a row count and a model, and the model makes
// row elements only for the rows on screen; they are dropped when they scroll away. A tap on a row is
// told to the model. Inserted and removed rows grow and shrink at 200 pixels per second.
//
// The instantiated rows form a window: rows first + 1 to last - 1 exist (first is -1 when the first row is
// among them, last is the count when the last one is), drawn from the top of the first of them at the
// list's top + scroll. Rows are roots of their own trees, owned by the list, not its children: the
// list's own (non-row) children are laid out and drawn as a plain element's.
// Threads: main thread only.
class VListElement : public Element {
public:
    static constexpr double ROW_HEIGHT_SPEED = 200; // pixels per second
    // Rows instantiated at most, so that rows of no height cannot make the whole model at once.
    static constexpr size_t MAX_ROWS = 1024;

    explicit VListElement(Element* parent);
    ~VListElement() override;

    void load(PropertiesImpl const& properties, ElementRecord record) override;
    void tick(double seconds) override;
    // While the content moves, rows grow or shrink, or a row itself wants ticks.
    bool wants_tick() const override;
    void draw(RenderSurface& surface, Point origin) override;
    void arrange_x() override;
    void arrange_y() override;
    void measure_y(Extent& extent) override;
    bool on_pen(PenEvent const& event) override;
    void on_pen_move(Point point) override;
    // Up and Down move the selection by a row and show it, Page Up and Page Down move the content by the
    // list's height less a row, Home and End to the ends; Enter opens the selected row.
    bool on_key(KeyEvent const& event) override;
    // A notch of the wheel moves the content by two rows.
    bool on_wheel(Point point, int32_t notches) override;

    // A new model (or none): the list is reset with its count and nothing is selected.
    void set_model(ListModel* model);
    ListModel* model() const { return model_; }
    // Drops every row and shows `count` rows from the top.
    void reset(int32_t count);
    // The model gained row `index` (0 to count) or lost it (0 to count - 1); other indices are ignored.
    void insert_row(int32_t index);
    void remove_row(int32_t index);
    // Binds row `index` again, when it is instantiated, so that it shows the model's data.
    void refresh_row(int32_t index);
    // Shows row `index` (clamped to 0 .. count) first; ignored while a row is pressed.
    void scroll_to(int32_t index);
    // The row shown as selected; -1 for none.
    void set_selected(int32_t index);
    // Selects the row `delta` rows on (clamped to the ends; from none, the first row) and shows it.
    void move_selection(int32_t delta);
    // The model hears of a tap on the selected row; false when no row is selected.
    bool open_selected();
    // Moves the content by `dy` pixels (positive brings what is above into view), never past its ends;
    // ignored while the pen is down.
    void scroll_by(double dy);
    // Scrolls so that row `index` is shown whole, between the scroll borders where it fits there.
    void show_row(int32_t index);
    // What one step of the keys moves: the height of the first row on screen, or a tenth of the list.
    double step() const;

    int32_t scroll_border_min() const { return motion_.border_min(); }
    int32_t scroll_border_max() const { return motion_.border_max(); }
    bool locked() const { return locked_; }
    bool grow() const { return motion_.grow(); }
    int32_t selected() const { return selected_; }
    int32_t count() const { return count_; }
    int32_t first() const { return first_; }
    int32_t last() const { return last_; }
    int32_t content_height() const { return static_cast<int32_t>(content_height_); }
    int32_t animating_rows() const;
    double scroll() const { return motion_.scroll(); }
    double velocity() const { return motion_.velocity(); }
    ListMotion const& motion() const { return motion_; }
    // Instantiated rows, removed ones still shrinking included, from the top.
    size_t row_count() const { return slots_.size(); }
    ListRow* row_at(size_t position) const;
    // The row element of index `index`, if it is instantiated.
    ListRow* row(int32_t index) const;
    // The top of a row from the list's top, and its height as drawn now; false when not instantiated.
    bool row_place(int32_t index, double& top, double& height) const;
    ListRow* pressed_row() const { return pressed_; }

private:
    struct Slot {
        std::unique_ptr<ListRow> row;
        double height = 0; // as drawn now
        int32_t target = 0; // its preferred height; 0 once removed
    };

    ListExtent extent() const;
    std::unique_ptr<ListRow> make_row(int32_t index);
    Slot make_slot(int32_t index, bool grow_in);
    void size_row(Slot& slot, bool follow);
    void update_rows();
    void fill_gaps();
    bool drop_outside();
    bool create_at_edges();
    void drop_all();
    void recount();
    void animate_heights(double seconds);
    // The live row under a window point and its top, or null.
    Slot const* slot_at(Point point, double& top) const;
    void press_row(PenEvent const& event);
    void release_row(PenEvent const& event);
    // Lets go of the pressed row without a tap; its own elements, if they hold the pen, are cancelled.
    void release_pressed();
    void show_state(ListRow& row) const;
    void changed_structure(char16_t const* operation) const;
    // Drops a slot's row; one that is handling the pen now lives on until its call has returned.
    void discard(Slot& slot);
    // Calls into a row (its listeners may change the list).
    bool deliver(ListRow* row, std::function<bool()> const& call);

    bool locked_ = false;
    ListModel* model_ = nullptr;
    std::deque<Slot> slots_;
    int32_t first_ = -1;
    int32_t last_ = 0;
    ListRow* pressed_ = nullptr;
    bool pressed_handled_ = false; // the pressed row's own elements took the press
    int32_t selected_ = -1;
    double content_height_ = 0;
    int32_t count_ = 0;
    ListMotion motion_;
    Point pressed_point_;
    bool making_row_ = false;
    ListRow* delivering_ = nullptr;
    std::vector<std::unique_ptr<ListRow>> retired_;
};

} // namespace skin
