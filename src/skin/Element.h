#pragma once

#include "Layout.h"
#include "Point.h"
#include "RenderSurface.h"
#include "SkinFile.h"

#include <core/Strings.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace skin {

class Blitter;
class ElementListener;
class InputHost;
class PropertiesImpl;
class VisibilityAnimation;
struct KeyEvent;
struct PenEvent;

enum class Axis { X = 0, Y = 1 };

// The base of every widget: identity, layout properties and computed geometry, visibility and enabled
// state, an optional off-screen cache and show/hide animation, and the owned children. Positions are
// window coordinates. Every widget reads its look from the skin in `load`; behaviour comes from its
// type, and forms bind listeners to the few elements their screens need.
//
// An element is made as a child of its parent (which then owns it) or as a root (parent null, owned by
// whoever made it); the root of a tree is its host.
// Threads: main thread only.
class Element {
public:
    explicit Element(Element* parent);
    virtual ~Element();
    Element(Element const&) = delete;
    Element& operator=(Element const&) = delete;

    // Writes this element and, indented one tab further, its children to the log.
    virtual void dump(int32_t indent) const;
    // Offers the text to the descendants whose id is `id` (only text elements take it).
    virtual void set_text_by_id(core::StringView id, core::StringView text);
    // Takes ownership of a child made with this element as its parent (its constructor calls this).
    virtual void add_child(Element* child);
    // Destroys a child of this element.
    virtual void remove_child(Element* child);
    // Reads the element's properties from the record and builds its children through the registry of
    // the properties. Types read their own keys after the common ones.
    virtual void load(PropertiesImpl const& properties, ElementRecord record);
    virtual void set_enabled(bool enabled);
    virtual void on_enabled_changed(bool enabled);
    virtual void set_visible(bool visible);
    virtual void on_visible_changed(bool visible);
    // Advances the running visibility animation, or else passes the tick to the children.
    virtual void tick(double seconds);
    // Whether the element or one of its children moves, or waits on a clock of its own, so that the window
    // has to go on ticking; an element at rest changes only through input and events.
    virtual bool wants_tick() const;
    // Draws the element's content with its top-left corner at `origin` (children through `paint`).
    virtual void draw(RenderSurface& surface, Point origin);
    // Place the children on one axis once this element's own geometry on it is set.
    virtual void arrange_x();
    virtual void arrange_y();
    // The extents the element asks for, from (0, 0): the design size and what the children require.
    virtual void measure_x(Extent& extent);
    virtual void measure_y(Extent& extent);
    virtual bool hit_test(Point point) const;
    virtual void on_pen_move(Point point);
    // True when the element handled the event.
    virtual bool on_pen(PenEvent const& event);
    virtual bool on_key(KeyEvent const& event);
    virtual bool on_char(char16_t character);
    // The wheel turned with the pointer at `point` (window pixels): `notches` away from the user are
    // positive. True when the element scrolled.
    virtual bool on_wheel(Point point, int32_t notches);
    // Told by every descendant as it is destroyed, so that types holding reserved children (found by
    // id anywhere below them) never keep a pointer to one that is gone.
    virtual void on_descendant_destroyed(Element* descendant);

    // Identity and tree.
    core::String const& id() const { return id_; }
    Element* parent() const { return parent_; }
    // The root of the tree (the root is its own host).
    Element* host() const { return host_; }
    // The host's input list, when the root takes input.
    InputHost* input_host() const;
    ElementListener* listener() const { return listener_; }
    void set_listener(ElementListener* listener) { listener_ = listener; }
    size_t child_count() const { return children_.size(); }
    Element* child(size_t i) const { return children_[i].get(); }
    // The first direct child with the id, else the same search in each child's subtree in order.
    Element* find_child(core::StringView id) const;
    // Rebuilds the element from the top-level entry `name`; false when the skin has no such entry.
    bool reload_from(PropertiesImpl const& properties, core::StringView name);
    void clear_children();

    // Drawing.
    // The one way drawing starts: the running animation, or nothing when invisible, or the cache
    // (refreshed when out of date), or `draw`.
    void paint(RenderSurface& surface, Point origin);
    // Shows or hides through the visibility animation when there is one (else like set_visible).
    void show_animated(bool visible);
    bool needs_redraw() const { return needs_redraw_; }
    // Marks this element and every ancestor: their pictures (and caches) are out of date.
    void mark_redraw();
    bool cache_on() const { return cache_on_; }
    // Keeps the element's rendering in a cache copied out with the alpha blitter of `cache_alpha` (-1:
    // plain), as the skin keys "cache" and "cache_alpha" do.
    void set_cache(bool on, int32_t cache_alpha = -1);
    RenderSurface const& cache() const { return cache_; }
    Blitter const& cache_blitter() const { return *cache_blitter_; }
    VisibilityAnimation* visibility_animation() const { return animation_.get(); }
    void set_visibility_animation(std::unique_ptr<VisibilityAnimation> animation);

    // State.
    bool visible() const { return visible_; }
    bool effectively_visible() const { return visible_ && parent_visible_; }
    bool enabled() const { return enabled_; }
    bool effectively_enabled() const { return enabled_ && parent_enabled_; }

    // Layout.
    Point position() const { return position_; }
    Point size() const { return size_; }
    AxisAnchor anchor(Axis axis) const;
    Point border_min() const { return border_min_; }
    Point border_max() const { return border_max_; }
    Point design_size() const { return design_size_; }
    int32_t table_ratio() const { return table_ratio_; }
    // The layout properties of elements built by code rather than from a skin record.
    void set_anchor(Axis axis, AxisAnchor const& anchor);
    void set_design_size(Point size);
    void set_table_ratio(int32_t ratio);
    // The measure on an axis, computed when it is not valid.
    Extent const& measured(Axis axis);
    bool measure_valid(Axis axis) const;
    bool layout_pending() const { return layout_pending_; }
    // The only way geometry changes: stores it, tells the listener and arranges the children on that
    // axis; nothing happens when nothing changed and no layout is pending.
    void set_geometry_x(int32_t position, int32_t size) { set_geometry(Axis::X, position, size); }
    void set_geometry_y(int32_t position, int32_t size) { set_geometry(Axis::Y, position, size); }
    void set_geometry(Axis axis, int32_t position, int32_t size);
    // Measures of this element and its ancestors become invalid and their layout pending.
    void invalidate_layout();

    // Elements alive in the process.
    static int64_t live_count();

protected:
    // Places a child on an axis as a plain container does: its preferred extent in this element's slot.
    void place_plain(Element& child, Axis axis);
    void arrange_plain(Axis axis);
    void measure_plain(Axis axis, Extent& extent);
    // The table layout along `axis` over the visible children.
    void arrange_table(Axis axis, std::vector<TableItem>& scratch);
    void measure_table(Axis axis, Extent& extent);
    // Only the measure of one axis becomes invalid, up the chain (a wrapped text's height follows its
    // width), and the layout is pending.
    void invalidate_measure(Axis axis);
    // Draws the element into a fresh surface of its size, cleared with the transparent key.
    void render_into(RenderSurface& surface);

private:
    void detach(Element* child);
    void set_parent_visible(bool visible);
    void set_parent_enabled(bool enabled);
    void paint_animation(RenderSurface& surface, Point origin);
    void snapshot();
    bool fits(RenderSurface const& target) const;

    std::unique_ptr<VisibilityAnimation> animation_;
    core::String id_;
    Element* parent_ = nullptr;
    ElementListener* listener_ = nullptr;
    std::array<AnchorMode, 2> anchor_ { AnchorMode::BOTH_SIDE, AnchorMode::BOTH_SIDE };
    Point border_min_;
    Point design_size_;
    Point border_max_;
    int32_t table_ratio_ = 0;
    std::array<Extent, 2> measure_ { Extent { -1, -1 }, Extent { -1, -1 } };
    bool visible_ = true;
    bool parent_visible_ = true;
    bool enabled_ = true;
    bool parent_enabled_ = true;
    bool needs_redraw_ = true;
    bool layout_pending_ = true;
    Element* host_ = nullptr;
    RenderSurface cache_;
    bool cache_on_ = false;
    bool cache_filled_ = false;
    Blitter const* cache_blitter_;
    Point position_;
    Point size_;
    std::vector<std::unique_ptr<Element>> children_;
};

} // namespace skin
