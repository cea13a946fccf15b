#include "VListElement.h"

#include "ListRow.h"

#include <algorithm>
#include <cmath>
#include <core/Log.h>
#include <platform/ticks.h>
#include <skin/InputEvents.h>
#include <skin/InputHost.h>
#include <skin/InputRouter.h>
#include <skin/KeyNames.h>
#include <skin/PropertiesImpl.h>
#include <skin/RenderSurface.h>

namespace skin {

namespace {

// What the list shows for a row its model did not make: nothing, no height.
class EmptyRow : public ListRow {
public:
    void bind_row(VListElement*, int32_t) override { }
};

// A scope in which the model works on a row: the list must not be changed meanwhile.
class MakingRow {
public:
    explicit MakingRow(bool& flag)
        : flag_(flag)
    {
        flag_ = true;
    }
    ~MakingRow() { flag_ = false; }
    MakingRow(MakingRow const&) = delete;
    MakingRow& operator=(MakingRow const&) = delete;

private:
    bool& flag_;
};

int32_t pixel(double y)
{
    return static_cast<int32_t>(std::floor(std::clamp(y, -1e9, 1e9)));
}

} // namespace

ListModel::~ListModel() = default;

VListElement::VListElement(Element* parent)
    : Element(parent)
{
    if (InputHost* host = input_host())
        host->add_input(this);
}

VListElement::~VListElement()
{
    pressed_ = nullptr;
    slots_.clear();
    if (InputHost* host = input_host())
        host->remove_input(this);
}

void VListElement::load(PropertiesImpl const& properties, ElementRecord record)
{
    Element::load(properties, record);
    motion_.set_borders(properties.lookup_point(record, u"scroll_border_min", {}).y,
        properties.lookup_point(record, u"scroll_border_max", {}).y);
    locked_ = properties.lookup_int(record, u"locked", 0) != 0;
    motion_.set_grow(properties.lookup_int(record, u"grow", 0) != 0);
    reset(count_);
}

void VListElement::measure_y(Extent& extent)
{
    Element::measure_y(extent);
    if (!grow())
        return;
    int64_t const borders = int64_t(scroll_border_min()) + scroll_border_max();
    extent.preferred = std::max(extent.preferred, clamp_extent(int64_t(content_height_) + borders));
    extent.minimum = std::max(extent.minimum, clamp_extent(borders));
    core::log() << u"Desired size=" << extent.preferred << u"\n";
}

void VListElement::changed_structure(char16_t const* operation) const
{
    if (making_row_)
        core::fatal_error(operation, u"the list was changed while its model made or bound a row");
}

void VListElement::set_model(ListModel* model)
{
    changed_structure(u"VListElement::set_model");
    model_ = model;
    selected_ = -1;
    reset(count_);
}

void VListElement::reset(int32_t count)
{
    changed_structure(u"VListElement::reset");
    release_pressed();
    drop_all();
    count_ = std::max(count, 0);
    first_ = -1;
    last_ = 0;
    motion_.rest();
    update_rows();
    mark_redraw();
}

void VListElement::scroll_to(int32_t index)
{
    changed_structure(u"VListElement::scroll_to");
    if (pressed_)
        return;
    index = std::clamp(index, 0, count_);
    drop_all();
    first_ = index - 1;
    last_ = index;
    motion_.rest();
    update_rows();
    mark_redraw();
}

void VListElement::insert_row(int32_t index)
{
    changed_structure(u"VListElement::insert_row");
    if (index < 0 || index > count_)
        return;
    int32_t const old_count = count_++;
    if (index < last_) {
        if (first_ >= index)
            ++first_;
        for (Slot& slot : slots_)
            if (slot.row->index_ >= index)
                ++slot.row->index_;
        ++last_;
    } else if (last_ == old_count) {
        ++last_;
    }
    // The selection stays on its row, not on its place: a recording that appears above it must not
    // make Enter or Delete act on another.
    if (selected_ >= index)
        ++selected_;
    update_rows();
    for (Slot const& slot : slots_)
        show_state(*slot.row);
    mark_redraw();
}

void VListElement::remove_row(int32_t index)
{
    changed_structure(u"VListElement::remove_row");
    if (index < 0 || index >= count_)
        return;
    if (pressed_ && pressed_->index_ == index)
        release_pressed();
    --count_;
    if (index < last_) {
        if (first_ >= index)
            --first_;
        for (Slot& slot : slots_) {
            int32_t& i = slot.row->index_;
            if (i == index) {
                // It shrinks away from the height it has now, then goes.
                i = -1;
                slot.target = 0;
                show_state(*slot.row);
            } else if (i > index) {
                --i;
            }
        }
        --last_;
    }
    // A row above the selection goes: the selection follows its row. The selected row itself goes: the
    // next one (or the new last) takes its place.
    if (selected_ > index || selected_ >= count_)
        --selected_;
    update_rows();
    for (Slot const& slot : slots_)
        show_state(*slot.row);
    mark_redraw();
}

void VListElement::refresh_row(int32_t index)
{
    changed_structure(u"VListElement::refresh_row");
    if (index <= first_ || index >= last_)
        return;
    for (Slot& slot : slots_) {
        if (slot.row->index_ != index)
            continue;
        {
            MakingRow const making(making_row_);
            slot.row->bind_row(this, 0);
        }
        size_row(slot, slot.height == slot.target);
        show_state(*slot.row);
        update_rows();
        mark_redraw();
        return;
    }
}

void VListElement::set_selected(int32_t index)
{
    selected_ = index;
    for (Slot const& slot : slots_)
        show_state(*slot.row);
    mark_redraw();
}

void VListElement::scroll_by(double dy)
{
    if (motion_.pen_down() || making_row_)
        return;
    motion_.set_velocity(0);
    motion_.set_scroll(scroll() + dy);
    // Rows come and go as the content moves; the ends are kept after each change of the window.
    for (int round = 0; round < 3; ++round) {
        update_rows();
        if (!motion_.clamp(extent()))
            break;
    }
    mark_redraw();
}

void VListElement::show_row(int32_t index)
{
    if (index < 0 || index >= count_ || pressed_)
        return;
    double top = 0, height = 0;
    if (!row_place(index, top, height)) {
        scroll_to(index);
        scroll_by(0);
        if (!row_place(index, top, height))
            return;
    }
    // Clear of the borders where the row fits between them: what stands over a list's end (a floating
    // button) must not hide the row the keys went to.
    double low = scroll_border_min(), high = size().y - scroll_border_max();
    if (high - low < height) {
        low = 0;
        high = size().y;
    }
    if (top < low)
        scroll_by(low - top);
    else if (top + height > high)
        scroll_by(high - top - height);
}

double VListElement::step() const
{
    for (Slot const& slot : slots_)
        if (slot.target > 0)
            return slot.target;
    return std::max(size().y / 10, 1);
}

bool VListElement::on_key(KeyEvent const& event)
{
    double const page = std::max(size().y - step(), step());
    switch (event.code) {
    case KEY_UP:
    case KEY_DOWN:
    case KEY_PAGE_UP:
    case KEY_PAGE_DOWN:
    case KEY_HOME:
    case KEY_END:
        break;
    case KEY_ENTER:
        // Enter opens the selected row as a tap would; without one it is left to others.
        if (selected_ < 0 || selected_ >= count_ || !model_)
            return false;
        if (event.down && event.first)
            open_selected();
        return true;
    default:
        return false;
    }
    if (!event.down)
        return true;
    if (event.code == KEY_UP || event.code == KEY_DOWN)
        move_selection(event.code == KEY_DOWN ? 1 : -1);
    else if (event.code == KEY_PAGE_UP)
        scroll_by(page);
    else if (event.code == KEY_PAGE_DOWN)
        scroll_by(-page);
    else if (event.code == KEY_HOME)
        show_row(0);
    else
        show_row(count_ - 1);
    return true;
}

void VListElement::move_selection(int32_t delta)
{
    if (count_ <= 0)
        return;
    // From no selection (or one that the list lost), either arrow selects the first row.
    int32_t next = 0;
    if (selected_ >= 0 && selected_ < count_)
        next = std::clamp(selected_ + delta, 0, count_ - 1);
    set_selected(next);
    show_row(next);
}

bool VListElement::open_selected()
{
    if (!model_ || selected_ < 0 || selected_ >= count_)
        return false;
    model_->on_row_clicked(this, selected_);
    return true;
}

bool VListElement::on_wheel(Point, int32_t notches)
{
    scroll_by(2 * step() * notches);
    return true;
}

int32_t VListElement::animating_rows() const
{
    return static_cast<int32_t>(
        std::count_if(slots_.begin(), slots_.end(), [](Slot const& s) { return s.height != s.target; }));
}

ListRow* VListElement::row_at(size_t position) const
{
    return position < slots_.size() ? slots_[position].row.get() : nullptr;
}

ListRow* VListElement::row(int32_t index) const
{
    if (index < 0)
        return nullptr;
    for (Slot const& slot : slots_)
        if (slot.row->index_ == index)
            return slot.row.get();
    return nullptr;
}

bool VListElement::row_place(int32_t index, double& top, double& height) const
{
    double y = scroll();
    for (Slot const& slot : slots_) {
        if (index >= 0 && slot.row->index_ == index) {
            top = y;
            height = slot.height;
            return true;
        }
        y += slot.height;
    }
    return false;
}

ListExtent VListElement::extent() const
{
    return { first_ == -1, last_ == count_, content_height_, double(size().y) };
}

std::unique_ptr<ListRow> VListElement::make_row(int32_t index)
{
    std::unique_ptr<ListRow> row;
    MakingRow const making(making_row_);
    if (model_)
        row = model_->create_row(this, index);
    if (!row)
        row = std::make_unique<EmptyRow>();
    row->list_ = this;
    row->index_ = index;
    row->bind_row(this, ListRow::FRESH);
    row->set_visible(true);
    return row;
}

VListElement::Slot VListElement::make_slot(int32_t index, bool grow_in)
{
    Slot slot { make_row(index), 0, 0 };
    size_row(slot, !grow_in);
    show_state(*slot.row);
    return slot;
}

void VListElement::size_row(Slot& slot, bool follow)
{
    ListRow& row = *slot.row;
    row.set_geometry_x(0, size().x);
    int32_t const height = row.measured(Axis::Y).preferred;
    row.set_geometry_y(0, height);
    if (row.index_ < 0)
        return;
    slot.target = height;
    if (follow)
        slot.height = height;
}

void VListElement::drop_all()
{
    pressed_ = nullptr;
    pressed_handled_ = false;
    for (Slot& slot : slots_)
        discard(slot);
    slots_.clear();
    content_height_ = 0;
}

void VListElement::discard(Slot& slot)
{
    if (slot.row && slot.row.get() == delivering_)
        retired_.push_back(std::move(slot.row));
    slot.row.reset();
}

bool VListElement::deliver(ListRow* row, std::function<bool()> const& call)
{
    ListRow* const outer = delivering_;
    delivering_ = row;
    bool const result = call();
    delivering_ = outer;
    if (!delivering_)
        retired_.clear();
    return result;
}

void VListElement::recount()
{
    double sum = 0;
    for (Slot const& slot : slots_)
        sum += slot.height;
    content_height_ = sum;
}

void VListElement::update_rows()
{
    if (making_row_)
        return;
    double const content_before = content_height_;
    fill_gaps();
    // Each round drops what left the list or makes one row at an edge; the window only moves one way.
    size_t const rounds = 2 * (size_t(count_) + MAX_ROWS) + 16;
    for (size_t round = 0; round < rounds; ++round) {
        bool const dropped = drop_outside();
        if (!create_at_edges() && !dropped)
            break;
    }
    recount();
    if (grow() && content_height_ != content_before)
        invalidate_measure(Axis::Y);
}

void VListElement::fill_gaps()
{
    if (!model_ || size().x <= 0)
        return;
    // Rows inserted inside the window have no element yet: they grow in where they belong.
    int32_t expected = first_ + 1;
    for (size_t i = 0;; ++i) {
        bool const at_end = i == slots_.size();
        int32_t const next = at_end ? last_ : slots_[i].row->index_;
        if (!at_end && next < 0)
            continue;
        while (expected < next) {
            Slot slot = make_slot(expected++, true);
            slots_.insert(slots_.begin() + std::ptrdiff_t(i), std::move(slot));
            ++i;
        }
        if (at_end)
            break;
        expected = next + 1;
    }
}

bool VListElement::drop_outside()
{
    bool dropped = false;
    double const height = size().y;
    while (!slots_.empty() && scroll() + slots_.front().height < 0) {
        // Let go first: the row's listeners may change the list, so look again afterwards.
        if (slots_.front().row.get() == pressed_) {
            release_pressed();
            continue;
        }
        Slot& slot = slots_.front();
        motion_.set_scroll(scroll() + slot.height);
        content_height_ -= slot.height;
        if (slot.row->index_ >= 0)
            first_ = slot.row->index_;
        discard(slot);
        slots_.pop_front();
        dropped = true;
    }
    while (!slots_.empty() && scroll() + content_height_ - slots_.back().height >= height) {
        if (slots_.back().row.get() == pressed_) {
            release_pressed();
            continue;
        }
        Slot& slot = slots_.back();
        content_height_ -= slot.height;
        if (slot.row->index_ >= 0)
            last_ = slot.row->index_;
        discard(slot);
        slots_.pop_back();
        dropped = true;
    }
    return dropped;
}

bool VListElement::create_at_edges()
{
    double const height = size().y;
    if (!model_ || size().x <= 0 || height <= 0 || slots_.size() >= MAX_ROWS)
        return false;
    if (scroll() + content_height_ < height && last_ < count_) {
        Slot slot = make_slot(last_, false);
        content_height_ += slot.height;
        slots_.push_back(std::move(slot));
        ++last_;
        return true;
    }
    if (scroll() > 0 && first_ >= 0) {
        Slot slot = make_slot(first_, false);
        content_height_ += slot.height;
        motion_.set_scroll(scroll() - slot.height);
        slots_.push_front(std::move(slot));
        --first_;
        return true;
    }
    return false;
}

void VListElement::animate_heights(double seconds)
{
    for (Slot& slot : slots_) {
        ListRow& row = *slot.row;
        // A row whose content changed asks for another height; a growing or shrinking one keeps going.
        if (row.index_ >= 0 && (!row.measure_valid(Axis::Y) || row.layout_pending()))
            size_row(slot, slot.height == slot.target);
        if (slot.height != slot.target)
            slot.height = approach(slot.height, slot.target, ROW_HEIGHT_SPEED * seconds);
    }
    for (auto slot = slots_.begin(); slot != slots_.end();) {
        if (slot->row->index_ < 0 && slot->height <= 0) {
            discard(*slot);
            slot = slots_.erase(slot);
        } else {
            ++slot;
        }
    }
    recount();
}

void VListElement::tick(double seconds)
{
    Element::tick(seconds);
    for (size_t i = 0; i < slots_.size(); ++i)
        slots_[i].row->tick(seconds);
    if (!(seconds > 0))
        return;
    double const scroll_before = scroll();
    double const content_before = content_height_;
    bool const animating = animating_rows() > 0;
    animate_heights(seconds);
    motion_.advance(seconds);
    update_rows();
    if (slots_.empty())
        motion_.rest();
    motion_.settle(seconds, extent(), pressed_ != nullptr);
    update_rows();
    bool changed = animating || scroll() != scroll_before || content_height_ != content_before;
    for (Slot const& slot : slots_)
        changed = changed || slot.row->needs_redraw();
    if (changed)
        mark_redraw();
}

bool VListElement::wants_tick() const
{
    if (Element::wants_tick() || animating_rows() > 0 || motion_.moving(extent()))
        return true;
    return std::any_of(slots_.begin(), slots_.end(), [](Slot const& slot) { return slot.row->wants_tick(); });
}

void VListElement::arrange_x()
{
    Element::arrange_x();
    for (Slot& slot : slots_)
        size_row(slot, slot.height == slot.target);
    recount();
    update_rows();
}

void VListElement::arrange_y()
{
    Element::arrange_y();
    update_rows();
}

void VListElement::draw(RenderSurface& surface, Point origin)
{
    Element::draw(surface, origin);
    if (slots_.empty())
        return;
    ClipGuard const clip(surface, origin, size());
    double y = scroll();
    for (Slot const& slot : slots_) {
        double const top = y;
        y += slot.height;
        if (y <= 0)
            continue;
        if (top >= size().y)
            break;
        int32_t const first_pixel = pixel(top);
        int32_t const end_pixel = pixel(y);
        if (end_pixel <= first_pixel)
            continue;
        Point const at { origin.x, origin.y + first_pixel };
        // A row that grows or shrinks shows only the part of it its height has reached.
        ClipGuard const row_clip(surface, at, { size().x, end_pixel - first_pixel });
        slot.row->paint(surface, at);
    }
}

VListElement::Slot const* VListElement::slot_at(Point point, double& top) const
{
    if (!hit_test(point))
        return nullptr;
    double y = position().y + scroll();
    for (Slot const& slot : slots_) {
        if (point.y >= y && point.y < y + slot.height) {
            top = y;
            return slot.row->index_ >= 0 ? &slot : nullptr;
        }
        y += slot.height;
    }
    return nullptr;
}

void VListElement::show_state(ListRow& row) const
{
    row.show_state(&row == pressed_ && !pressed_handled_, row.index_ >= 0 && row.index_ == selected_);
}

bool VListElement::on_pen(PenEvent const& event)
{
    if (event.down) {
        release_pressed();
        motion_.press(event.point(), event.time);
        // A press while the list moves only stops it being a tap: it brakes the motion.
        if (motion_.velocity() == 0)
            press_row(event);
        mark_redraw();
        return true;
    }
    if (!motion_.pen_down())
        return true;
    if (event.cancel) {
        // The release of a form that went away: not a place the pen was lifted at, so no flick.
        motion_.cancel();
        release_pressed();
        mark_redraw();
        return true;
    }
    bool const row_pressed = pressed_ != nullptr;
    motion_.release(event.point(), event.time, extent(), row_pressed);
    mark_redraw();
    if (row_pressed)
        release_row(event);
    return true;
}

void VListElement::press_row(PenEvent const& event)
{
    double top = 0;
    Slot const* slot = slot_at(event.point(), top);
    if (!slot)
        return;
    ListRow* row = slot->row.get();
    pressed_ = row;
    pressed_handled_ = false;
    pressed_point_ = { event.x - position().x, event.y - pixel(top) };
    PenEvent local = event;
    local.x = pressed_point_.x;
    local.y = pressed_point_.y;
    bool const handled = deliver(row, [&] { return row->on_pen(local); });
    // The row's own listeners may have changed the list meanwhile.
    if (pressed_ != row)
        return;
    pressed_handled_ = handled;
    show_state(*row);
}

// Called last by on_pen: the model's answer to a tap may change the list, or more.
void VListElement::release_row(PenEvent const& event)
{
    ListRow* const row = pressed_;
    double top = 0;
    Slot const* slot = slot_at(event.point(), top);
    if (!slot || slot->row.get() != row) {
        release_pressed();
        return;
    }
    if (!pressed_handled_) {
        int32_t const index = row->index_;
        release_pressed();
        if (model_)
            model_->on_row_clicked(this, index);
        return;
    }
    pressed_ = nullptr;
    pressed_handled_ = false;
    PenEvent local = event;
    local.x = event.x - position().x;
    local.y = event.y - pixel(top);
    deliver(row, [&] { return row->on_pen(local); });
}

void VListElement::release_pressed()
{
    ListRow* const row = pressed_;
    bool const handled = pressed_handled_;
    pressed_ = nullptr;
    pressed_handled_ = false;
    if (!row)
        return;
    show_state(*row);
    mark_redraw();
    // Its own elements that hold the pen let go without effect.
    if (handled)
        deliver(row, [row] { return row->on_pen(InputRouter::cancel_event()); });
}

void VListElement::on_pen_move(Point point)
{
    if (!motion_.pen_down() || size().y <= 0)
        return;
    InputHost const* host = input_host();
    uint32_t const time = host ? host->input_time() : platform::tick_count();
    double const moved = motion_.move(point, time, extent());
    if (motion_.tracker().dragging()) {
        if (pressed_)
            release_pressed();
    } else if (pressed_ && pressed_handled_) {
        // Until the content moves, the row's own element that holds the pen follows it.
        double top = 0, height = 0;
        ListRow* const row = pressed_;
        if (row_place(row->index_, top, height)) {
            Point const local { point.x - position().x, point.y - position().y - pixel(top) };
            deliver(row, [row, local] {
                row->on_pen_move(local);
                return true;
            });
        }
    }
    if (moved == 0)
        return;
    update_rows();
    if (grow() && motion_.clamp(extent()))
        update_rows();
    mark_redraw();
}

} // namespace skin
