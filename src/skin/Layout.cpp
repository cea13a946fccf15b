#include "Layout.h"

#include <algorithm>
#include <array>

namespace skin {

namespace {

constexpr std::array<core::StringView, 7> MODE_NAMES
    = { u"MIN_SIDE", u"BOTH_SIDE", u"MAX_SIDE", u"RATIO", u"CENTER", u"MIN_SIDE_NO_SIZE", u"MAX_SIDE_NO_SIZE" };

// a * b / c, truncated toward zero, without overflow for any 64-bit factors the tables produce.
int64_t scale(int64_t a, int64_t b, int64_t c)
{
    __int128 const product = static_cast<__int128>(a) * b;
    __int128 const q = product / c;
    return static_cast<int64_t>(std::clamp<__int128>(q, INT64_MIN, INT64_MAX));
}

} // namespace

AnchorMode anchor_mode_from_name(core::StringView name)
{
    for (size_t i = 0; i < MODE_NAMES.size(); ++i)
        if (MODE_NAMES[i] == name)
            return static_cast<AnchorMode>(i);
    return AnchorMode::BOTH_SIDE;
}

int32_t clamp_extent(int64_t value)
{
    return static_cast<int32_t>(std::clamp<int64_t>(value, -EXTENT_LIMIT, EXTENT_LIMIT));
}

int32_t margin(AxisAnchor const& a)
{
    switch (a.mode) {
    case AnchorMode::MIN_SIDE:
    case AnchorMode::MIN_SIDE_NO_SIZE:
        return a.border_min;
    case AnchorMode::MAX_SIDE:
    case AnchorMode::MAX_SIDE_NO_SIZE:
        return a.border_max;
    default:
        return clamp_extent(int64_t(a.border_min) + a.border_max);
    }
}

int32_t required_extent(AxisAnchor const& a, int32_t s)
{
    switch (a.mode) {
    case AnchorMode::MIN_SIDE_NO_SIZE:
    case AnchorMode::MAX_SIDE_NO_SIZE:
        return 0;
    default:
        return clamp_extent(int64_t(margin(a)) + s);
    }
}

int32_t slot_size(AxisAnchor const& a, int32_t s, int32_t slot)
{
    int64_t size;
    switch (a.mode) {
    case AnchorMode::BOTH_SIDE:
        size = int64_t(slot) - a.border_min - a.border_max;
        break;
    case AnchorMode::MIN_SIDE:
        size = std::min<int64_t>(s, int64_t(slot) - a.border_min);
        break;
    case AnchorMode::MAX_SIDE:
        size = std::min<int64_t>(s, int64_t(slot) - a.border_max);
        break;
    case AnchorMode::RATIO:
    case AnchorMode::CENTER:
        size = std::min<int64_t>(s, int64_t(slot) - a.border_min - a.border_max);
        break;
    default:
        size = s;
    }
    return clamp_extent(std::max<int64_t>(size, 0));
}

int32_t slot_offset(AxisAnchor const& a, int32_t size, int32_t slot)
{
    switch (a.mode) {
    case AnchorMode::MAX_SIDE:
    case AnchorMode::MAX_SIDE_NO_SIZE:
        return clamp_extent(std::max<int64_t>(int64_t(slot) - size - a.border_max, 0));
    case AnchorMode::CENTER: {
        int64_t const centred = (int64_t(slot) - a.border_min - a.border_max) / 2 - size / 2;
        return clamp_extent(std::max<int64_t>(centred, 0) + a.border_min);
    }
    default:
        return a.border_min;
    }
}

Span place_in_slot(AxisAnchor const& a, int32_t s, int32_t slot_start, int32_t slot)
{
    int32_t const size = slot_size(a, s, slot);
    return { clamp_extent(int64_t(slot_start) + slot_offset(a, size, slot)), size };
}

Extent start_measure(int32_t design)
{
    int32_t const d = std::max(design, 0);
    return { d, d };
}

void add_plain_child(Extent& e, AxisAnchor const& a, Extent child)
{
    int32_t const r = required_extent(a, child.preferred);
    e.preferred = std::max(e.preferred, r);
    e.minimum = std::max(e.minimum, clamp_extent(int64_t(child.minimum) - child.preferred + r));
}

void TableMeasure::add(AxisAnchor const& a, Extent child)
{
    required_ += required_extent(a, child.preferred);
    give_ += int64_t(child.preferred) - child.minimum;
}

void TableMeasure::finish(Extent& e) const
{
    e.preferred = std::max(e.preferred, clamp_extent(required_));
    e.minimum = std::max(e.minimum, clamp_extent(required_ - give_));
}

namespace {

// Not even the minimums fit: every item gets a part of the room in proportion to its minimum.
void shrink_to_minimums(std::span<TableItem> items, int32_t position, int64_t avail, int64_t sum_min)
{
    int64_t running = 0;
    int64_t x = position;
    for (auto& item : items) {
        int64_t const before = scale(running, avail, sum_min);
        running += item.extent.minimum;
        int32_t const share = clamp_extent(scale(running, avail, sum_min) - before);
        int32_t const slot = clamp_extent(int64_t(share) + margin(item.anchor));
        item.place = place_in_slot(item.anchor, share, clamp_extent(x), slot);
        x += slot;
    }
}

// Hands `extra` out toward the preferred extents, evenly among the items still growing, in rounds.
void grow_toward_preferred(std::span<TableItem> items, int64_t extra)
{
    int64_t growing = 0;
    for (auto& item : items) {
        item.grown = item.extent.minimum;
        growing += item.extent.preferred != item.extent.minimum ? 1 : 0;
    }
    // Each round either hands everything out or caps an item, so the rounds end; an empty round
    // (nothing growing) would divide by zero and is never run.
    while (extra != 0 && growing > 0) {
        int64_t running = 0;
        int64_t leftover = 0;
        int64_t still = 0;
        for (auto& item : items) {
            if (item.grown >= item.extent.preferred)
                continue;
            int64_t const next = running + extra;
            int64_t const d = next / growing - running / growing;
            running = next;
            int64_t const room = int64_t(item.extent.preferred) - item.grown;
            if (d < room) {
                item.grown = clamp_extent(item.grown + d);
                ++still;
            } else {
                leftover += d - room;
                item.grown = item.extent.preferred;
            }
        }
        growing = still;
        extra = leftover;
    }
}

} // namespace

void arrange_table(std::span<TableItem> items, int32_t position, int32_t size)
{
    if (items.empty())
        return;
    int64_t margins = 0, sum_pref = 0, sum_min = 0;
    int64_t weighted = 0;
    for (auto const& item : items) {
        margins += margin(item.anchor);
        sum_pref += item.extent.preferred;
        sum_min += item.extent.minimum;
        weighted += item.weight > 0 ? 1 : 0;
    }
    int64_t const avail = int64_t(size) - margins;
    if (avail < 1) {
        for (auto& item : items)
            item.place = { position, 0 };
        return;
    }
    if (avail <= sum_min) {
        shrink_to_minimums(items, position, avail, sum_min);
        return;
    }
    int64_t extra, rest = 0;
    if (avail <= sum_pref) {
        extra = avail - sum_min;
    } else {
        extra = sum_pref - sum_min;
        rest = avail - sum_pref;
    }
    grow_toward_preferred(items, extra);
    // The rest goes to the weighted items; the divisor is their count, not their summed weight.
    int64_t x = position;
    int64_t weights = 0;
    for (auto& item : items) {
        int64_t e = item.grown;
        if (item.weight > 0) {
            e += scale(weights + item.weight, rest, weighted) - scale(weights, rest, weighted);
            weights += item.weight;
        }
        int32_t const share = clamp_extent(e);
        int32_t const slot = clamp_extent(int64_t(share) + margin(item.anchor));
        item.place = place_in_slot(item.anchor, share, clamp_extent(x), slot);
        x += slot;
    }
}

} // namespace skin
