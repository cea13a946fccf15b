#include "ElementTestSupport.h"

using namespace skin;
using namespace skin_testing;

namespace {

TEST(NodeRegistry, RepeatedOrUnknownTypesThrowWithTheirNames)
{
    NodeRegistry registry;
    int first = 0, second = 0;
    registry.register_type(u"text", [&](Element*) { return (++first, nullptr); });
    auto const twice = thrown<NodeAlreadyRegistered>(
        [&] { registry.register_type(u"text", [&](Element*) { return (++second, nullptr); }); });
    EXPECT_EQ(twice ? twice->type_name() : u"", u"text");
    registry.create_element(u"text", nullptr);
    EXPECT_EQ(std::make_pair(first, second), std::make_pair(1, 0)); // the first factory stays
    for (core::StringView name : { u"Text", u"", u"button" }) {
        auto const unknown = thrown<NodeNotRegistered>([&] { registry.create_element(name, nullptr); });
        EXPECT_EQ(unknown ? unknown->type_name() : u"-", name);
    }
}

class ElementTree : public testing::Test {
protected:
    SkinFixture skin { "widgets.skin" };
};

// Direct children first, then each child's subtree in order.
TEST_F(ElementTree, FindReloadBrokenEntriesInputListAndPropagation)
{
    ASSERT_TRUE(skin.loaded);
    auto tree = skin.build(u"Tree");
    find<VListElement>(*tree, u"b");
    EXPECT_EQ(std::tuple(tree->id(), tree->find_child(u"deep")->parent()->id(), tree->find_child(u"nothing"),
                  tree->find_child(u"deep")->host()),
        std::tuple(u"root", u"a", nullptr, tree.get()));
    int64_t const before = Element::live_count();
    {
        auto root = skin.build(u"Tree");
        EXPECT_EQ(Element::live_count(), before + 5);
        EXPECT_TRUE(root->reload_from(skin.properties, u"Pop"));
        EXPECT_EQ(std::tuple(root->child_count(), root->child(0)->id(), root->layout_pending()),
            std::tuple(1u, u"popup", true));
        EXPECT_FALSE(root->reload_from(skin.properties, u"NoSuchForm"));
        EXPECT_EQ(std::tuple(root->child_count(), Element::live_count()), std::tuple(1u, before + 2));
    }
    EXPECT_EQ(Element::live_count(), before);
    // A broken entry names what is wrong: a type that is not registered, or a part its element needs.
    auto const e = thrown<NodeNotRegistered>([&] { TestHost().reload_from(skin.properties, u"Unregistered"); });
    EXPECT_EQ(e ? e->type_name() : u"", u"widget");
    std::tuple<char16_t const*, char const*> const missing[]
        = { { u"CheckboxMissing", "chkBroken/#state_2" }, { u"LabelEditMissing", "leBroken/#edit" } };
    for (auto const& [entry, named] : missing) {
        auto const e = thrown<NodeNotFound>([&] { TestHost().reload_from(skin.properties, entry); });
        EXPECT_EQ(e ? core::to_utf8(e->form_id() + u"/" + e->child_id()) : "", named);
    }
    // Interactive elements join the host's input list as they are made, in document order, and leave it as
    // they go; a root that takes no input gives them none.
    auto root = skin.build(u"Buttons");
    auto* full = root->find_child(u"btnFull");
    auto* plain = root->find_child(u"btnPlain");
    EXPECT_EQ(
        std::tuple(root->inputs, full->input_host()), std::tuple(std::vector<Element*> { full, plain }, root.get()));
    root->remove_child(full);
    EXPECT_EQ(root->inputs, (std::vector<Element*> { plain }));

    auto edits = skin.build(u"Edits");
    EXPECT_TRUE(edits->inputs.size() == 2 && edits->reload_from(skin.properties, u"Tree"));
    EXPECT_EQ(edits->inputs, (std::vector<Element*> { edits->find_child(u"b") }));

    Element plain_root(nullptr);
    EXPECT_TRUE(plain_root.reload_from(skin.properties, u"Buttons") && !plain_root.input_host());
    // Visibility and enabled state propagate.
    auto buttons = skin.build(u"Buttons");
    auto* full_button = find<ButtonElement>(*buttons, u"btnFull");
    Element* normal = buttons->find_child(u"#normal");
    buttons->set_visible(false);
    EXPECT_EQ(std::tuple(full_button->visible(), full_button->effectively_visible(), normal->effectively_visible()),
        std::tuple(true, false, false));
    buttons->set_visible(true);
    EXPECT_TRUE(normal->effectively_visible());

    buttons->set_enabled(false);
    EXPECT_EQ(std::tuple(full_button->effectively_enabled(), full_button->shown_state()->id(), normal->visible()),
        std::tuple(false, u"#disabled", false));
    buttons->set_enabled(true);
    EXPECT_EQ(std::tuple(full_button->shown_state(), normal->visible()), std::tuple(normal, true));
}

// A probe that counts how often it is drawn.
class Probe : public Element {
public:
    using Element::Element;
    void draw(RenderSurface& surface, Point origin) override
    {
        ++draws;
        Element::draw(surface, origin);
    }
    int draws = 0;
};

TEST(ElementCache, DrawnOnceThenBlittedUntilSomethingInsideChanges)
{
    SkinFixture skin("widgets.skin");
    skin.registry.register_type(u"probe", [](Element* parent) { return new Probe(parent); });
    auto root = skin.build(u"Cached", 60, 40);
    auto* panel = root->find_child(u"panel");
    auto* probe = find<Probe>(*root, u"probe");
    RenderSurface screen(Point { 60, 40 });
    for (int frame = 0; frame < 3; ++frame)
        root->paint(screen, {});
    uint16_t const back = Color { 0x20, 0x40, 0x60 }.to_565();
    EXPECT_EQ(std::tuple(probe->draws, panel->cache().size(), panel->needs_redraw(), screen.bitmap()->at(1, 1)),
        std::tuple(1, Point { 30, 20 }, false, back));

    // The cache holds the picture: a frame painted over the screen comes back from it.
    fill(screen, {}, { 60, 40 }, Color {});
    root->mark_redraw();
    panel->paint(screen, {});
    EXPECT_EQ(std::tuple(probe->draws, screen.bitmap()->at(1, 1)), std::tuple(1, back));

    find<TextElement>(*root, u"label")->set_text(u"B");
    EXPECT_TRUE(panel->needs_redraw());
    root->paint(screen, {});
    root->paint(screen, {});
    EXPECT_EQ(probe->draws, 2);

    panel->set_visible(false);
    EXPECT_EQ(panel->cache().size(), (Point { 0, 0 }));
}

// The bounding box of the pixels that are not black, as (x0, y0, x1, y1); x1 < 0 when there are none.
using Box = std::array<int32_t, 4>;
Box const NOTHING { INT32_MAX, INT32_MAX, -1, -1 };

Box drawn(RenderSurface const& surface)
{
    Box box = NOTHING;
    Bitmap565 const& b = *surface.bitmap();
    for (int32_t y = 0; y < b.height(); ++y)
        for (int32_t x = 0; x < b.width(); ++x)
            if (b.at(x, y) != 0)
                box = { std::min(box[0], x), std::min(box[1], y), std::max(box[2], x + 1), std::max(box[3], y + 1) };
    return box;
}

TEST(ElementAnimation, PopHidePaintsForTwoTenthsThenNothingAndEveryKindHasItsFrames)
{
    for (core::StringView name : { u"Pop", u"" }) // names are case-sensitive
        EXPECT_EQ(VisibilityAnimation::from_name(name), nullptr);
    SkinFixture skin("widgets.skin");
    auto root = skin.build(u"Pop", 100, 50);
    auto* popup = root->find_child(u"popup");
    ASSERT_NE(popup->visibility_animation(), nullptr);
    RenderSurface screen(Point { 100, 50 });
    auto frame = [&] {
        fill(screen, {}, { 100, 50 }, Color {});
        root->paint(screen, {});
        return drawn(screen);
    };
    EXPECT_NE(frame(), NOTHING);
    popup->show_animated(false);
    EXPECT_EQ(std::tuple(popup->visible(), root->measure_valid(Axis::X)), std::tuple(false, false));
    Box const start = frame();
    EXPECT_EQ(std::make_pair(start[0], start[2]), std::make_pair(40, 60));
    root->tick(0.15); // half way it overshoots: see the frame geometry below
    EXPECT_NE(frame(), NOTHING);
    root->tick(0.05);
    EXPECT_EQ(std::tuple(popup->visibility_animation()->running(), root->needs_redraw()), std::tuple(false, true));
    EXPECT_EQ(frame(), NOTHING);

    // Shown again, and a hide while it runs only turns it round.
    popup->show_animated(true);
    EXPECT_TRUE(popup->visible());
    root->tick(0.1);
    popup->show_animated(false);
    EXPECT_EQ(popup->visibility_animation()->direction(), -1);
    root->tick(0.1);
    EXPECT_EQ(std::tuple(popup->visibility_animation()->running(), popup->visible()), std::tuple(false, false));
    // Where each kind draws a 40 x 20 picture shown at (10, 10) in 60 x 40, some time into showing it.
    struct {
        char const* name;
        double seconds;
        Box expected;
    } const cases[] = { { "scale", 0.1, { 25, 17, 35, 22 } }, { "pop", 0.1, { 6, 8, 54, 32 } },
        { "right", 0.1, { 30, 10, 50, 30 } }, { "bottom", 0.1, { 10, 20, 50, 30 } },
        { "left", 0.1, { 10, 10, 30, 30 } }, { "top", 0.1, { 10, 10, 50, 20 } }, { "flip", 0.15, { 16, 10, 44, 30 } },
        { "flip", 0.05, NOTHING } };
    for (auto const& c : cases) {
        auto animation = VisibilityAnimation::from_name(core::from_utf8(c.name));
        ASSERT_NE(animation, nullptr) << c.name;
        animation->start(1);
        animation->new_picture().recreate({ 40, 20 });
        fill(animation->new_picture(), {}, { 40, 20 }, Color { 255, 255, 255 });
        animation->tick(c.seconds);
        RenderSurface canvas(Point { 60, 40 });
        fill(canvas, {}, { 60, 40 }, Color {});
        animation->draw(canvas, { 10, 10 }, plain_blitter());
        EXPECT_EQ(drawn(canvas), c.expected) << c.name << " at " << c.seconds;
    }
}

// A record shared by many parents describes an immense tree in a few bytes; it is not built.
TEST(ElementBuild, SharedRecordsCannotExplode)
{
    Bytes b = skin_header();
    uint32_t const key = b.text(u"type"), area = b.text(u"node"), name = b.text(u"E");
    b.put32(72, b.size());
    b.put32(84, area);
    b.put32(88, 1);
    // A record with `children` children at `child` and the string "type" = "node".
    auto record = [&](uint32_t at, uint32_t children, uint32_t child) {
        uint32_t const lists = 16 + 4 * children;
        for (int k = 0; k < 7; ++k)
            b.put16(at + 2 * k, k < 4 ? lists : lists + 4);
        b.put16(at + 14, children);
        for (uint32_t i = 0; i < children; ++i)
            b.put32(at + 16 + 4 * i, child);
        b.put32(at + lists, key);
    };
    uint32_t const entry = b.size(), middle = entry + 12 + 16 + 4 * 300 + 4, leaf = middle + 16 + 4 * 300 + 4;
    b.put32(entry, NO_ENTRY);
    b.put32(entry + 4, NO_ENTRY);
    b.put32(entry + 8, name);
    record(entry + 12, 300, middle);
    record(middle, 300, leaf);
    record(leaf, 0, 0);
    std::string const path = fresh_dir("shared") + "/shared.skin";
    write_file(path, b.str());

    SkinFixture skin(path);
    ASSERT_TRUE(skin.loaded);
    EXPECT_EQ(skin.properties.element_count(skin.properties.find_entry(u"E")), 1u + 300u * 301u);
    int64_t const before = Element::live_count();
    Element root(nullptr);
    ASSERT_TRUE(root.reload_from(skin.properties, u"E"));
    EXPECT_EQ(std::tuple(root.child_count(), Element::live_count()), std::tuple(0u, before + 1));
}

} // namespace
