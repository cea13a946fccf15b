#include "Element.h"

#include "Blitter.h"
#include "Drawing.h"
#include "ElementListener.h"
#include "InputHost.h"
#include "NodeExceptions.h"
#include "NodeRegistry.h"
#include "PropertiesImpl.h"
#include "VisibilityAnimation.h"

#include <algorithm>
#include <atomic>
#include <core/Log.h>

namespace skin {

namespace {

std::atomic<int64_t> live_elements { 0 };

// A tree built from one record never grows beyond this many elements: records may be shared, so a
// small hostile file could otherwise describe an immense tree.
constexpr uint64_t MAX_TREE_ELEMENTS = 65536;

constexpr int32_t MAX_SNAPSHOT_SIDE = 4096;

constexpr Color KEY_COLOR { 0xF8, 0x00, 0xF8, 255 };

int axis_index(Axis axis)
{
    return static_cast<int>(axis);
}

int32_t& along(Point& p, Axis axis)
{
    return axis == Axis::X ? p.x : p.y;
}

int32_t along(Point const& p, Axis axis)
{
    return axis == Axis::X ? p.x : p.y;
}

core::LogStream& operator<<(core::LogStream& out, Point p)
{
    return out << u"(" << p.x << u", " << p.y << u")";
}

} // namespace

Element::Element(Element* parent)
    : parent_(parent)
    , host_(parent ? parent->host_ : this)
    , cache_blitter_(&plain_blitter())
{
    ++live_elements;
    if (parent_) {
        parent_visible_ = parent_->effectively_visible();
        parent_enabled_ = parent_->effectively_enabled();
        parent_->add_child(this);
    }
}

Element::~Element()
{
    clear_children();
    // An element destroyed by anyone but its parent (a constructor that threw, a plain delete) leaves
    // its parent's list first.
    if (parent_)
        parent_->detach(this);
    for (Element* e = parent_; e; e = e->parent_)
        e->on_descendant_destroyed(this);
    --live_elements;
}

int64_t Element::live_count()
{
    return live_elements.load();
}

InputHost* Element::input_host() const
{
    return dynamic_cast<InputHost*>(host_);
}

void Element::dump(int32_t indent) const
{
    auto out = core::log();
    for (int32_t i = 0; i < indent; ++i)
        out << u"\t";
    out << u"{" << id_ << u"} position=" << position_ << u" size=" << size_ << u" design_size=" << design_size_
        << u" rs.size=" << cache_.size() << u"\n";
    for (auto const& child : children_)
        child->dump(indent + 1);
}

void Element::set_text_by_id(core::StringView id, core::StringView text)
{
    for (size_t i = 0; i < children_.size(); ++i)
        children_[i]->set_text_by_id(id, text);
}

void Element::add_child(Element* child)
{
    if (!child)
        return;
    if (child->parent_ != this)
        core::fatal_error(u"Element::add_child", u"the child was made for another parent");
    children_.emplace_back(child);
    invalidate_layout();
    mark_redraw();
}

void Element::remove_child(Element* child)
{
    auto const found
        = std::find_if(children_.begin(), children_.end(), [child](auto const& owned) { return owned.get() == child; });
    if (found == children_.end())
        return;
    // Out of the list first, so that the child's destructor finds nothing to detach.
    std::unique_ptr<Element> const doomed = std::move(*found);
    children_.erase(found);
    invalidate_layout();
    mark_redraw();
}

void Element::detach(Element* child)
{
    auto const found
        = std::find_if(children_.begin(), children_.end(), [child](auto const& owned) { return owned.get() == child; });
    if (found == children_.end())
        return;
    (void)found->release();
    children_.erase(found);
    invalidate_layout();
}

void Element::clear_children()
{
    // Moved out first: children being destroyed find nothing to detach from.
    auto doomed = std::move(children_);
    children_.clear();
    doomed.clear();
    invalidate_layout();
}

void Element::load(PropertiesImpl const& properties, ElementRecord record)
{
    id_ = properties.lookup_string(record, u"id", u"");
    anchor_[0] = anchor_mode_from_name(properties.lookup_string(record, u"anchor_x", u""));
    anchor_[1] = anchor_mode_from_name(properties.lookup_string(record, u"anchor_y", u""));
    border_min_ = properties.lookup_point(record, u"border_min", {});
    design_size_ = properties.lookup_point(record, u"design_size", {});
    border_max_ = properties.lookup_point(record, u"border_max", {});
    table_ratio_ = properties.lookup_int(record, u"table_ratio", 0);
    bool const cache = properties.lookup_int(record, u"cache", 0) != 0;
    set_cache(cache, cache ? properties.lookup_int(record, u"cache_alpha", -1) : -1);

    uint32_t const count = properties.child_count(record);
    if (count > 0 && properties.element_count(record) > MAX_TREE_ELEMENTS) {
        core::log() << u"Element::load {" << id_ << u"} describes more than " << MAX_TREE_ELEMENTS
                    << u" elements; no children built\n";
    } else {
        NodeRegistry const* registry = properties.node_registry();
        for (uint32_t i = 0; i < count; ++i) {
            ElementRecord const child_record = properties.child_record(record, i);
            core::String const type = properties.lookup_string(child_record, u"type", u"");
            if (!registry)
                throw NodeNotRegistered(type);
            if (Element* child = registry->create_element(type, this))
                child->load(properties, child_record);
        }
    }

    core::String const animation = properties.lookup_string(record, u"visibility_animation", u"");
    if (!animation.empty())
        animation_ = VisibilityAnimation::from_name(animation);
    invalidate_layout();
    mark_redraw();
}

Element* Element::find_child(core::StringView id) const
{
    for (auto const& child : children_)
        if (child->id_ == id)
            return child.get();
    for (auto const& child : children_)
        if (Element* found = child->find_child(id))
            return found;
    return nullptr;
}

bool Element::reload_from(PropertiesImpl const& properties, core::StringView name)
{
    ElementRecord const record = properties.find_entry(name);
    if (!record)
        return false;
    clear_children();
    load(properties, record);
    invalidate_layout();
    return true;
}

void Element::set_enabled(bool enabled)
{
    bool const before = effectively_enabled();
    enabled_ = enabled;
    if (effectively_enabled() != before)
        on_enabled_changed(effectively_enabled());
}

void Element::set_parent_enabled(bool enabled)
{
    bool const before = effectively_enabled();
    parent_enabled_ = enabled;
    if (effectively_enabled() != before)
        on_enabled_changed(effectively_enabled());
}

void Element::on_enabled_changed(bool enabled)
{
    for (size_t i = 0; i < children_.size(); ++i)
        children_[i]->set_parent_enabled(enabled);
    mark_redraw();
}

void Element::set_visible(bool visible)
{
    if (visible == visible_)
        return;
    bool const before = effectively_visible();
    visible_ = visible;
    // Tables count their visible children: a change of the own flag changes measures even when the
    // parent hides everything anyway.
    invalidate_layout();
    mark_redraw();
    if (effectively_visible() != before)
        on_visible_changed(effectively_visible());
}

void Element::set_parent_visible(bool visible)
{
    bool const before = effectively_visible();
    parent_visible_ = visible;
    if (effectively_visible() != before)
        on_visible_changed(effectively_visible());
}

void Element::on_visible_changed(bool visible)
{
    for (size_t i = 0; i < children_.size(); ++i)
        children_[i]->set_parent_visible(visible);
    if (!visible) {
        cache_.recreate({});
        cache_filled_ = false;
    }
}

void Element::tick(double seconds)
{
    if (animation_ && animation_->running()) {
        animation_->tick(seconds);
        // Every frame of the transition differs; when it stops, the element is drawn as it is again.
        mark_redraw();
        return;
    }
    for (size_t i = 0; i < children_.size(); ++i)
        children_[i]->tick(seconds);
}

bool Element::wants_tick() const
{
    if (animation_ && animation_->running())
        return true;
    // What is hidden shows nothing that moves.
    return visible_
        && std::any_of(children_.begin(), children_.end(), [](auto const& child) { return child->wants_tick(); });
}

void Element::draw(RenderSurface& surface, Point origin)
{
    for (auto const& child : children_)
        child->paint(surface, origin + (child->position_ - position_));
}

bool Element::fits(RenderSurface const& target) const
{
    Point const room = target.size();
    return size_.x <= room.x && size_.y <= room.y;
}

void Element::render_into(RenderSurface& surface)
{
    surface.recreate(size_);
    fill(surface, {}, size_, KEY_COLOR);
    draw(surface, {});
}

void Element::paint(RenderSurface& surface, Point origin)
{
    if (animation_ && animation_->running()) {
        paint_animation(surface, origin);
        return;
    }
    if (!visible_)
        return;
    // A cache larger than what it is drawn into would only hold pixels that are never seen.
    if (cache_on_ && fits(surface)) {
        if (needs_redraw_ || !cache_filled_ || cache_.size() != size_) {
            render_into(cache_);
            cache_filled_ = true;
        }
        cache_.blit_to(surface, origin, *cache_blitter_);
    } else {
        draw(surface, origin);
    }
    needs_redraw_ = false;
}

void Element::paint_animation(RenderSurface& surface, Point origin)
{
    RenderSurface& picture = animation_->new_picture();
    // The snapshot follows the element's size: a shown element is often laid out after it was shown.
    if (picture.size() != size_) {
        if (fits(surface))
            render_into(picture);
        else
            picture.recreate({});
    }
    animation_->draw(surface, origin, *cache_blitter_);
}

void Element::show_animated(bool visible)
{
    if (!animation_) {
        set_visible(visible);
        return;
    }
    if (animation_->running()) {
        if (animation_->direction() != (visible ? 1 : -1))
            animation_->reverse();
        set_visible(visible);
        return;
    }
    if (visible == visible_)
        return;
    if (visible) {
        set_visible(true);
        snapshot();
        animation_->start(1);
    } else {
        snapshot();
        set_visible(false);
        animation_->start(-1);
    }
    animation_->old_picture().recreate({});
    mark_redraw();
}

// The new picture of the animation: the element as it looks now. A size beyond any screen is left to
// the first frame, which knows the surface it is drawn into.
void Element::snapshot()
{
    if (size_.x <= MAX_SNAPSHOT_SIDE && size_.y <= MAX_SNAPSHOT_SIDE)
        render_into(animation_->new_picture());
    else
        animation_->new_picture().recreate({});
}

void Element::set_cache(bool on, int32_t cache_alpha)
{
    cache_on_ = on;
    cache_blitter_ = &alpha_blitter(on ? cache_alpha : -1);
    cache_filled_ = false;
    if (!on)
        cache_.recreate({});
    mark_redraw();
}

void Element::set_visibility_animation(std::unique_ptr<VisibilityAnimation> animation)
{
    animation_ = std::move(animation);
    mark_redraw();
}

void Element::mark_redraw()
{
    for (Element* e = this; e; e = e->parent_)
        e->needs_redraw_ = true;
}

AxisAnchor Element::anchor(Axis axis) const
{
    return { anchor_[axis_index(axis)], along(border_min_, axis), along(border_max_, axis) };
}

void Element::set_anchor(Axis axis, AxisAnchor const& anchor)
{
    anchor_[axis_index(axis)] = anchor.mode;
    along(border_min_, axis) = anchor.border_min;
    along(border_max_, axis) = anchor.border_max;
    invalidate_layout();
}

void Element::set_design_size(Point size)
{
    design_size_ = size;
    invalidate_layout();
}

void Element::set_table_ratio(int32_t ratio)
{
    table_ratio_ = ratio;
    invalidate_layout();
}

bool Element::measure_valid(Axis axis) const
{
    Extent const& m = measure_[axis_index(axis)];
    return !(m.preferred == -1 && m.minimum == -1);
}

Extent const& Element::measured(Axis axis)
{
    Extent& m = measure_[axis_index(axis)];
    if (!measure_valid(axis)) {
        Extent e;
        if (axis == Axis::X)
            measure_x(e);
        else
            measure_y(e);
        m = { std::clamp(e.preferred, 0, EXTENT_LIMIT), std::clamp(e.minimum, 0, EXTENT_LIMIT) };
    }
    return m;
}

void Element::invalidate_layout()
{
    for (Element* e = this; e; e = e->parent_) {
        e->measure_ = { Extent { -1, -1 }, Extent { -1, -1 } };
        e->layout_pending_ = true;
    }
}

void Element::invalidate_measure(Axis axis)
{
    for (Element* e = this; e; e = e->parent_) {
        e->measure_[axis_index(axis)] = { -1, -1 };
        e->layout_pending_ = true;
    }
}

void Element::set_geometry(Axis axis, int32_t position, int32_t size)
{
    position = clamp_extent(position);
    size = clamp_extent(size);
    int32_t& stored_position = along(position_, axis);
    int32_t& stored_size = along(size_, axis);
    if (stored_position == position && stored_size == size && !layout_pending_)
        return;
    stored_position = position;
    stored_size = size;
    // A change of width re-runs the vertical pass below, which the form runs next.
    layout_pending_ = axis == Axis::X;
    mark_redraw();
    if (listener_) {
        if (axis == Axis::X)
            listener_->on_width_changed(this, size);
        else
            listener_->on_height_changed(this, size);
    }
    if (axis == Axis::X)
        arrange_x();
    else
        arrange_y();
}

void Element::place_plain(Element& child, Axis axis)
{
    int32_t const preferred = child.measured(axis).preferred;
    Span const span = place_in_slot(child.anchor(axis), preferred, along(position_, axis), along(size_, axis));
    child.set_geometry(axis, span.position, span.size);
}

void Element::arrange_plain(Axis axis)
{
    for (size_t i = 0; i < children_.size(); ++i)
        place_plain(*children_[i], axis);
}

void Element::arrange_x()
{
    arrange_plain(Axis::X);
}

void Element::arrange_y()
{
    arrange_plain(Axis::Y);
}

void Element::measure_plain(Axis axis, Extent& extent)
{
    Extent const design = start_measure(along(design_size_, axis));
    extent.preferred = std::max(extent.preferred, design.preferred);
    extent.minimum = std::max(extent.minimum, design.minimum);
    for (auto const& child : children_)
        add_plain_child(extent, child->anchor(axis), child->measured(axis));
}

void Element::measure_x(Extent& extent)
{
    measure_plain(Axis::X, extent);
}

void Element::measure_y(Extent& extent)
{
    measure_plain(Axis::Y, extent);
}

void Element::measure_table(Axis axis, Extent& extent)
{
    extent.preferred = std::max(extent.preferred, along(design_size_, axis));
    TableMeasure sum;
    for (auto const& child : children_)
        if (child->visible_)
            sum.add(child->anchor(axis), child->measured(axis));
    sum.finish(extent);
}

void Element::arrange_table(Axis axis, std::vector<TableItem>& items)
{
    items.clear();
    for (size_t i = 0; i < children_.size(); ++i) {
        Element& child = *children_[i];
        if (child.visible_)
            items.push_back({ child.anchor(axis), child.measured(axis), child.table_ratio_, i, {}, 0 });
    }
    if (items.empty())
        return;
    skin::arrange_table(items, along(position_, axis), along(size_, axis));
    // A listener told of a new size may change the children; only those still there are placed.
    size_t const count = children_.size();
    for (auto const& item : items)
        if (item.child < count && children_.size() == count)
            children_[item.child]->set_geometry(axis, item.place.position, item.place.size);
}

bool Element::hit_test(Point point) const
{
    return point.x >= position_.x && int64_t(point.x) < int64_t(position_.x) + size_.x && point.y >= position_.y
        && int64_t(point.y) < int64_t(position_.y) + size_.y;
}

void Element::on_pen_move(Point)
{
}

bool Element::on_pen(PenEvent const&)
{
    return false;
}

bool Element::on_key(KeyEvent const&)
{
    return false;
}

bool Element::on_char(char16_t)
{
    return false;
}

bool Element::on_wheel(Point, int32_t)
{
    return false;
}

void Element::on_descendant_destroyed(Element*)
{
}

ElementListener::~ElementListener() = default;
void ElementListener::on_width_changed(Element*, int32_t)
{
}
void ElementListener::on_height_changed(Element*, int32_t)
{
}

InputHost::~InputHost() = default;

} // namespace skin
