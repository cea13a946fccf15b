#pragma once

#include <core/Strings.h>

#include <cstdint>
#include <span>

namespace skin {

// How a child sits in its slot on one axis; the numbers are the codes skins are documented with.
enum class AnchorMode : int32_t {
    MIN_SIDE = 0,
    BOTH_SIDE = 1,
    MAX_SIDE = 2,
    RATIO = 3,
    CENTER = 4,
    MIN_SIDE_NO_SIZE = 5,
    MAX_SIDE_NO_SIZE = 6,
};

// The mode of a skin name ("MIN_SIDE", ...); any other text gives BOTH_SIDE.
AnchorMode anchor_mode_from_name(core::StringView name);

// Extents are kept within this bound, so that sums over a hostile skin's children cannot overflow.
constexpr int32_t EXTENT_LIMIT = 1 << 24;
int32_t clamp_extent(int64_t value);

// One axis of a child's layout properties.
struct AxisAnchor {
    AnchorMode mode = AnchorMode::BOTH_SIDE;
    int32_t border_min = 0; // left (top) distance
    int32_t border_max = 0; // right (bottom) distance
};

// What an element asks for on one axis.
struct Extent {
    int32_t preferred = 0;
    int32_t minimum = 0;

    friend bool operator==(Extent const&, Extent const&) = default;
};

// Where a child lands on one axis.
struct Span {
    int32_t position = 0;
    int32_t size = 0;

    friend bool operator==(Span const&, Span const&) = default;
};

// The border space a child takes in its parent.
int32_t margin(AxisAnchor const& anchor);
// The parent extent a child of extent s needs (0 for the NO_SIZE modes: they overflow instead).
int32_t required_extent(AxisAnchor const& anchor, int32_t s);
// The size a child asking for s gets in a slot of extent P; never negative.
int32_t slot_size(AxisAnchor const& anchor, int32_t s, int32_t slot);
// The offset from the slot's start of a child of size S.
int32_t slot_offset(AxisAnchor const& anchor, int32_t size, int32_t slot);
// Both at once, from the slot's start.
Span place_in_slot(AxisAnchor const& anchor, int32_t s, int32_t slot_start, int32_t slot);

// Measure of a plain element: start from the design size, then let every child (visible or not) raise
// the preferred and minimum extents by what it requires.
Extent start_measure(int32_t design);
void add_plain_child(Extent& extent, AxisAnchor const& anchor, Extent child);

// Measure of a table along its main axis over its visible children: the preferred extent is their
// summed requirements, the minimum that less what they can give up.
class TableMeasure {
public:
    void add(AxisAnchor const& anchor, Extent child);
    // Adds the result to an extent that already holds the design size in its preferred part.
    void finish(Extent& extent) const;

private:
    int64_t required_ = 0;
    int64_t give_ = 0;
};

// One visible child of a table along its main axis: its layout, measure and weight in, its place out.
struct TableItem {
    AxisAnchor anchor;
    Extent extent;
    int32_t weight = 0;
    size_t child = 0; // which of the caller's children it stands for
    Span place; // result
    int32_t grown = 0; // working size while sharing
};

// Shares [position, position + size) among the items from the start: minimums first, then toward the
// preferred extents in rounds, then the rest among the weighted items.
void arrange_table(std::span<TableItem> items, int32_t position, int32_t size);

} // namespace skin
