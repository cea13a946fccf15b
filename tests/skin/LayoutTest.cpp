#include "ElementTestSupport.h"

#include <skin/Layout.h>

using namespace skin;
using skin_testing::FixedElement;

namespace {

using M = AnchorMode;

// Each mode places a child of a preferred size in a slot starting at 10.
TEST(Layout, SlotModesNamesAndPlainMeasures)
{
    struct {
        char const* name;
        AxisAnchor anchor;
        int32_t preferred, slot;
        Span expected;
    } const cases[] = {
        { "max_side", { M::MAX_SIDE, 0, 4 }, 30, 100, { 10 + 66, 30 } },
        { "max_side_cut", { M::MAX_SIDE, 0, 4 }, 130, 100, { 10, 96 } },
        { "center", { M::CENTER, 0, 0 }, 31, 100, { 10 + 35, 31 } },
        { "center_borders", { M::CENTER, 6, 2 }, 31, 100, { 10 + 6 + 46 - 15, 31 } },
        { "center_wider_than_slot", { M::CENTER, 3, 5 }, 150, 100, { 10 + 3, 92 } },
        { "both_side_ignores_preferred", { M::BOTH_SIDE, 3, 5 }, 7, 100, { 10 + 3, 92 } },
        { "both_side_never_negative", { M::BOTH_SIDE, 30, 40 }, 7, 50, { 10 + 30, 0 } },
        { "min_side", { M::MIN_SIDE, 2, 9 }, 40, 100, { 10 + 2, 40 } },
        { "min_side_cut", { M::MIN_SIDE, 2, 9 }, 140, 100, { 10 + 2, 98 } },
        { "ratio", { M::RATIO, 2, 9 }, 140, 100, { 10 + 2, 89 } },
        { "min_side_no_size_overflows", { M::MIN_SIDE_NO_SIZE, 2, 9 }, 140, 100, { 10 + 2, 140 } },
        { "max_side_no_size", { M::MAX_SIDE_NO_SIZE, 2, 9 }, 30, 100, { 10 + 61, 30 } },
        { "max_side_no_size_overflows", { M::MAX_SIDE_NO_SIZE, 2, 9 }, 140, 100, { 10, 140 } },
        { "parent_narrower_than_borders", { M::MIN_SIDE, 20, 0 }, 30, 10, { 10 + 20, 0 } },
        { "negative_slot", { M::RATIO, 0, 0 }, 30, -5, { 10, 0 } },
    };
    for (auto const& c : cases)
        EXPECT_EQ(place_in_slot(c.anchor, c.preferred, 10, c.slot), c.expected) << c.name;
    std::pair<core::StringView, M> const names[] = { { u"MAX_SIDE_NO_SIZE", M::MAX_SIDE_NO_SIZE },
        { u"CENTER", M::CENTER }, { u"center", M::BOTH_SIDE }, { u"", M::BOTH_SIDE } };
    for (auto const& [name, mode] : names)
        EXPECT_EQ(anchor_mode_from_name(name), mode) << core::to_utf8(name);
    // The NO_SIZE modes add nothing to the parent's preferred extent; the others add their margins.
    Extent e = start_measure(12);
    add_plain_child(e, { M::MIN_SIDE_NO_SIZE, 5, 5 }, { 300, 300 });
    add_plain_child(e, { M::MAX_SIDE_NO_SIZE, 5, 5 }, { 300, 200 });
    EXPECT_EQ(e, (Extent { 12, 12 }));
    add_plain_child(e, { M::BOTH_SIDE, 3, 4 }, { 20, 10 });
    EXPECT_EQ(e, (Extent { 27, 17 }));
    add_plain_child(e, { M::MAX_SIDE, 3, 4 }, { 25, 25 });
    EXPECT_EQ(e, (Extent { 29, 29 }));
}

auto const item = [](int32_t minimum, int32_t preferred, int32_t weight = 0, AxisAnchor anchor = {}) {
    return TableItem { anchor, { preferred, minimum }, weight, 0, {}, 0 };
};

TEST(Layout, TableSharesAndMeasures)
{
    struct {
        char const* name;
        int32_t size;
        std::vector<TableItem> items;
        std::vector<Span> expected; // the table starts at 0
    } const tables[] = {
        { "grow_in_one_round", 100, { item(10, 50), item(10, 50), item(10, 50) },
            { { 0, 33 }, { 33, 33 }, { 66, 34 } } },
        { "shrink_to_minimums", 20, { item(10, 50), item(10, 50), item(10, 50) }, { { 0, 6 }, { 6, 7 }, { 13, 7 } } },
        { "rest_to_weighted", 200, { item(10, 50, 1), item(10, 50, 0), item(10, 50, 1) },
            { { 0, 75 }, { 75, 50 }, { 125, 75 } } },
        // The divisor is the count of weighted children: weights 2 and 1 hand out 3/2 of the rest.
        { "weights_over_count", 160, { item(10, 10, 2), item(10, 10, 1) }, { { 0, 150 }, { 150, 80 } } },
        { "rest_unused_without_weights", 200, { item(10, 50), item(10, 50) }, { { 0, 50 }, { 50, 50 } } },
        // The second child caps at 15; its part of the extra goes round again to the others.
        { "second_round", 100, { item(10, 60), item(10, 15), item(10, 60) }, { { 0, 42 }, { 42, 15 }, { 57, 43 } } },
        { "margins_taken_first", 40, { item(0, 50, 0, { M::BOTH_SIDE, 5, 5 }), item(0, 50, 0, { M::MIN_SIDE, 2, 9 }) },
            { { 5, 14 }, { 26, 14 } } },
        { "no_room", 10, { item(0, 50, 0, { M::BOTH_SIDE, 5, 5 }), item(10, 50) }, { { 0, 0 }, { 0, 0 } } },
        { "no_weights_no_division", 300, { item(0, 0), item(0, 0) }, { { 0, 0 }, { 0, 0 } } },
        { "nothing_grows", 30, { item(10, 10), item(10, 10) }, { { 0, 10 }, { 10, 10 } } },
    };
    for (auto const& c : tables) {
        auto items = c.items;
        arrange_table(items, 0, c.size);
        std::vector<Span> places;
        for (auto const& i : items)
            places.push_back(i.place);
        EXPECT_EQ(places, c.expected) << c.name;
    }
    TableMeasure sum;
    sum.add({ M::BOTH_SIDE, 2, 3 }, { 50, 10 });
    sum.add({ M::MIN_SIDE_NO_SIZE, 2, 3 }, { 50, 10 });
    Extent e { 20, 0 };
    sum.finish(e);
    EXPECT_EQ(e, (Extent { 55, 0 })); // required: 55 + 0; what the children can give up: 40 + 40
    // A hostile skin's sums saturate instead of overflowing.
    std::vector<TableItem> items(64, item(EXTENT_LIMIT, EXTENT_LIMIT, 1 << 30));
    TableMeasure huge;
    for (auto const& i : items)
        huge.add({ M::BOTH_SIDE, EXTENT_LIMIT, EXTENT_LIMIT }, i.extent);
    Extent saturated;
    huge.finish(saturated);
    EXPECT_EQ(saturated.preferred, EXTENT_LIMIT);
    arrange_table(items, 0, EXTENT_LIMIT);
    for (auto const& i : items)
        EXPECT_LE(i.place.size, EXTENT_LIMIT);
}

class CountingListener : public ElementListener {
public:
    void on_width_changed(Element*, int32_t width) override { widths.push_back(width); }
    void on_height_changed(Element*, int32_t height) override { heights.push_back(height); }
    std::vector<int32_t> widths, heights;
};

auto const span_x = [](Element const* element) { return Span { element->position().x, element->size().x }; };

TEST(ElementLayout, ChildrenTablesPendingLayoutAndLazyMeasures)
{
    Element root(nullptr);
    auto* table = new HTableElement(&root);
    std::vector<FixedElement*> cells;
    for (int i = 0; i < 3; ++i)
        cells.push_back(new FixedElement(table, { 50, 10 }));
    root.set_geometry_x(0, 100);
    EXPECT_EQ(std::tuple(span_x(cells[2]), table->measured(Axis::X)), std::tuple(Span { 66, 34 }, Extent { 150, 30 }));

    // An invisible child keeps its old rectangle and gives its share to the others.
    cells[1]->set_visible(false);
    root.set_geometry_x(0, 100);
    EXPECT_EQ(std::tuple(span_x(cells[0]), span_x(cells[1]), span_x(cells[2]), table->measured(Axis::X)),
        std::tuple(Span { 0, 50 }, Span { 33, 33 }, Span { 50, 50 }, Extent { 100, 20 }));

    // No visible children: nothing is arranged.
    cells[0]->set_visible(false);
    cells[2]->set_visible(false);
    root.set_geometry_x(5, 90);
    EXPECT_EQ(std::tuple(cells[0]->position().x, cells[2]->position().x, table->measured(Axis::X)),
        std::tuple(0, 50, Extent { 0, 0 }));
    // A vertical table, and a child centred across it.
    Element column(nullptr);
    auto* vertical = new VTableElement(&column);
    auto* top = new FixedElement(vertical, { 20, 20 }, { 10, 10 });
    auto* bottom = new FixedElement(vertical, { 20, 20 }, { 10, 10 });
    bottom->set_table_ratio(1);
    bottom->set_anchor(Axis::X, { M::CENTER, 0, 0 });
    column.set_geometry_x(0, 60);
    column.set_geometry_y(0, 50);
    EXPECT_EQ(std::tuple(top->position(), top->size(), bottom->position(), bottom->size()),
        std::tuple(Point { 0, 0 }, Point { 60, 10 }, Point { 20, 10 }, Point { 20, 40 }));
    // Geometry calls stop where nothing changed; a width change re-runs the vertical pass below it.
    Element outer(nullptr);
    auto* middle = new Element(&outer);
    auto* leaf = new FixedElement(middle, { 10, 10 }, { 10, 10 });
    CountingListener listener;
    leaf->set_listener(&listener);
    outer.set_geometry_x(0, 100);
    outer.set_geometry_y(0, 50);
    EXPECT_FALSE(leaf->layout_pending());
    for (int twice = 0; twice < 2; ++twice) {
        EXPECT_EQ(std::tuple(listener.widths, listener.heights), std::tuple(std::vector { 100 }, std::vector { 50 }));
        outer.set_geometry_x(0, 100);
        outer.set_geometry_y(0, 50);
    }

    outer.set_geometry_x(0, 80);
    EXPECT_TRUE(leaf->layout_pending());
    outer.set_geometry_y(0, 50);
    EXPECT_FALSE(leaf->layout_pending());
    EXPECT_EQ(
        std::tuple(listener.widths, listener.heights), std::tuple(std::vector { 100, 80 }, std::vector { 50, 50 }));
    // Measures are kept until something below changes; adding a child invalidates the chain above it.
    Element tree(nullptr);
    auto* branch = new Element(&tree);
    auto* twig = new FixedElement(branch, { 10, 10 });
    EXPECT_EQ(tree.measured(Axis::X).preferred, 10);
    EXPECT_EQ(tree.measured(Axis::X).preferred, 10);
    EXPECT_EQ(twig->measures, 1);
    tree.set_geometry_x(0, 100);
    tree.set_geometry_y(0, 100);
    EXPECT_FALSE(tree.layout_pending());

    auto* wide = new FixedElement(branch, { 40, 40 });
    EXPECT_EQ(std::tuple(tree.measure_valid(Axis::X), tree.layout_pending(), branch->layout_pending()),
        std::tuple(false, true, true));
    EXPECT_EQ(tree.measured(Axis::X).preferred, 40);
    EXPECT_EQ(twig->measures, 1);

    // The same geometry again reaches the new child through the pending chain.
    tree.set_geometry_x(0, 100);
    EXPECT_EQ(wide->size().x, 100);
}

} // namespace
