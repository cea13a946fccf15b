#include "ElementTestSupport.h"

#include <gtest/gtest.h>
#include <skin/Blitter.h>
#include <skin/Drawing.h>
#include <skin/NodeExceptions.h>
#include <skin/VisibilityAnimation.h>
#include <skin/widgets/ButtonElement.h>
#include <skin/widgets/CheckboxElement.h>
#include <skin/widgets/ClipElement.h>
#include <skin/widgets/ColorElement.h>
#include <skin/widgets/EditElement.h>
#include <skin/widgets/HTableElement.h>
#include <skin/widgets/ImageElement.h>
#include <skin/widgets/LabelEditElement.h>
#include <skin/widgets/OldTextElement.h>
#include <skin/widgets/ProgressElement.h>
#include <skin/widgets/TextElement.h>
#include <skin/widgets/VListElement.h>
#include <skin/widgets/VTableElement.h>

using namespace skin;
using namespace skin_testing;

namespace {

template <typename Type> bool made_as(NodeRegistry const& registry, core::StringView name)
{
    Element root(nullptr);
    return dynamic_cast<Type*>(registry.create_element(name, &root)) != nullptr;
}

TEST(ElementTypes, FourteenTypesRegisteredOnce)
{
    NodeRegistry registry;
    register_element_types(registry);
    EXPECT_EQ(registry.size(), ELEMENT_TYPES.size());
    for (auto type : ELEMENT_TYPES)
        EXPECT_TRUE(registry.contains(type)) << core::to_utf8(type);
    EXPECT_TRUE(made_as<TextElement>(registry, u"text"));
    EXPECT_TRUE(made_as<EditElement>(registry, u"edit"));
    EXPECT_TRUE(made_as<HTableElement>(registry, u"htable"));
    EXPECT_TRUE(made_as<VTableElement>(registry, u"vtable"));
    EXPECT_TRUE(made_as<ButtonElement>(registry, u"button"));
    EXPECT_TRUE(made_as<VListElement>(registry, u"vlist"));
    EXPECT_TRUE(made_as<CheckboxElement>(registry, u"checkbox"));
    EXPECT_TRUE(made_as<ProgressElement>(registry, u"progress"));
    EXPECT_TRUE(made_as<OldTextElement>(registry, u"oldtext"));
    EXPECT_TRUE(made_as<LabelEditElement>(registry, u"label_edit"));
    EXPECT_TRUE(made_as<ClipElement>(registry, u"clip"));
    EXPECT_TRUE(made_as<ColorElement>(registry, u"color"));
    EXPECT_TRUE(made_as<ImageElement>(registry, u"image"));
    EXPECT_THROW(register_element_types(registry), NodeAlreadyRegistered);
}

class ElementTree : public testing::Test {
protected:
    SkinFixture skin { "widgets.skin" };
};

// Direct children first, then each child's subtree in order.
TEST_F(ElementTree, FindChildLooksAtEachLevelFirst)
{
    ASSERT_TRUE(skin.loaded);
    auto root = skin.build(u"Tree");
    EXPECT_EQ(root->id(), u"root");
    EXPECT_NE(dynamic_cast<VListElement*>(root->find_child(u"b")), nullptr);
    EXPECT_EQ(root->find_child(u"deep")->parent()->id(), u"a");
    EXPECT_EQ(root->find_child(u"nothing"), nullptr);
    EXPECT_EQ(root->find_child(u"deep")->host(), root.get());
}

TEST_F(ElementTree, ReloadRebuildsTheChildren)
{
    int64_t const before = Element::live_count();
    {
        auto root = skin.build(u"Tree");
        EXPECT_EQ(Element::live_count(), before + 5);
        Element* const old_child = root->child(0);
        EXPECT_TRUE(root->reload_from(skin.properties, u"Pop"));
        EXPECT_EQ(root->child_count(), 1u);
        EXPECT_NE(root->child(0), old_child);
        EXPECT_TRUE(root->layout_pending());
        EXPECT_FALSE(root->reload_from(skin.properties, u"NoSuchForm"));
        EXPECT_EQ(root->child_count(), 1u);
        EXPECT_EQ(Element::live_count(), before + 2);
    }
    EXPECT_EQ(Element::live_count(), before);
}

TEST_F(ElementTree, UnregisteredTypeThrowsWithItsName)
{
    TestHost root;
    try {
        root.reload_from(skin.properties, u"Unregistered");
        FAIL() << "no exception";
    } catch (NodeNotRegistered const& e) {
        EXPECT_EQ(e.type_name(), u"widget");
    }
}

TEST_F(ElementTree, DumpWritesTheTree)
{
    auto root = skin.build(u"Pop", 100, 50);
    LogCapture log;
    root->dump(0);
    EXPECT_EQ(log.utf8(),
        "{} position=(0, 0) size=(100, 50) design_size=(0, 0) rs.size=(0, 0)\n"
        "\t{popup} position=(40, 20) size=(20, 10) design_size=(20, 10) rs.size=(0, 0)\n");
}

// Interactive elements join the host's input list as they are made, in document order, and leave it as
// they go; a root that takes no input gives them none.
TEST_F(ElementTree, InteractiveElementsJoinTheInputList)
{
    auto root = skin.build(u"Buttons");
    auto* full = root->find_child(u"btnFull");
    auto* plain = root->find_child(u"btnPlain");
    EXPECT_EQ(root->inputs, (std::vector<Element*> { full, plain }));
    EXPECT_EQ(full->input_host(), root.get());
    root->remove_child(full);
    EXPECT_EQ(root->inputs, (std::vector<Element*> { plain }));

    auto edits = skin.build(u"Edits");
    EXPECT_EQ(edits->inputs.size(), 2u);
    EXPECT_TRUE(edits->reload_from(skin.properties, u"Tree"));
    EXPECT_EQ(edits->inputs, (std::vector<Element*> { edits->find_child(u"b") }));

    Element plain_root(nullptr);
    ASSERT_TRUE(plain_root.reload_from(skin.properties, u"Buttons"));
    EXPECT_EQ(plain_root.input_host(), nullptr);
}

TEST_F(ElementTree, VisibilityAndEnabledPropagate)
{
    auto root = skin.build(u"Buttons");
    auto* full = find<ButtonElement>(*root, u"btnFull");
    Element* normal = root->find_child(u"#normal");
    root->set_visible(false);
    EXPECT_TRUE(full->visible());
    EXPECT_FALSE(full->effectively_visible());
    EXPECT_FALSE(normal->effectively_visible());
    root->set_visible(true);
    EXPECT_TRUE(normal->effectively_visible());

    root->set_enabled(false);
    EXPECT_FALSE(full->effectively_enabled());
    EXPECT_EQ(full->shown_state()->id(), u"#disabled");
    EXPECT_FALSE(normal->visible());
    root->set_enabled(true);
    EXPECT_EQ(full->shown_state(), normal);
    EXPECT_TRUE(normal->visible());
}

// A probe that counts how often it is drawn.
class Probe : public Element {
public:
    explicit Probe(Element* parent)
        : Element(parent)
    {
    }
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
    EXPECT_EQ(probe->draws, 1);
    EXPECT_EQ(panel->cache().size(), (Point { 30, 20 }));
    EXPECT_FALSE(panel->needs_redraw());
    uint16_t const back = Color { 0x20, 0x40, 0x60 }.to_565();
    EXPECT_EQ(screen.bitmap()->at(1, 1), back);

    // The cache holds the picture: a frame painted over the screen comes back from it.
    fill(screen, {}, { 60, 40 }, Color {});
    root->mark_redraw();
    panel->paint(screen, {});
    EXPECT_EQ(probe->draws, 1);
    EXPECT_EQ(screen.bitmap()->at(1, 1), back);

    find<TextElement>(*root, u"label")->set_text(u"B");
    EXPECT_TRUE(panel->needs_redraw());
    root->paint(screen, {});
    root->paint(screen, {});
    EXPECT_EQ(probe->draws, 2);

    panel->set_visible(false);
    EXPECT_EQ(panel->cache().size(), (Point { 0, 0 }));
}

// The bounding box of the pixels that are not black.
struct Box {
    int32_t x0 = INT32_MAX, y0 = INT32_MAX, x1 = -1, y1 = -1;
    bool empty() const { return x1 < 0; }
};

Box drawn(RenderSurface const& surface)
{
    Box box;
    Bitmap565 const& b = *surface.bitmap();
    for (int32_t y = 0; y < b.height(); ++y)
        for (int32_t x = 0; x < b.width(); ++x)
            if (b.at(x, y) != 0) {
                box = { std::min(box.x0, x), std::min(box.y0, y), std::max(box.x1, x + 1), std::max(box.y1, y + 1) };
            }
    return box;
}

TEST(ElementAnimation, PopHidePaintsForTwoTenthsThenNothing)
{
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
    EXPECT_FALSE(frame().empty());
    popup->show_animated(false);
    EXPECT_FALSE(popup->visible());
    EXPECT_FALSE(root->measure_valid(Axis::X));
    Box const start = frame();
    EXPECT_EQ(start.x0, 40);
    EXPECT_EQ(start.x1, 60);
    root->tick(0.1);
    // Half way the picture overshoots its rectangle.
    Box const middle = frame();
    EXPECT_LT(middle.x0, 40);
    EXPECT_GT(middle.x1, 60);
    root->tick(0.05);
    EXPECT_FALSE(frame().empty());
    root->tick(0.05);
    EXPECT_FALSE(popup->visibility_animation()->running());
    EXPECT_TRUE(root->needs_redraw());
    EXPECT_TRUE(frame().empty());

    // Shown again, and a hide while it runs only turns it round.
    popup->show_animated(true);
    EXPECT_TRUE(popup->visible());
    root->tick(0.1);
    popup->show_animated(false);
    EXPECT_EQ(popup->visibility_animation()->direction(), -1);
    root->tick(0.1);
    EXPECT_FALSE(popup->visibility_animation()->running());
    EXPECT_FALSE(popup->visible());
}

struct FrameCase {
    char const* name;
    double seconds; // of showing
    Box expected; // of a 40 x 20 picture shown at (10, 10) in 60 x 40
};

class AnimationFrame : public testing::TestWithParam<FrameCase> { };

TEST_P(AnimationFrame, Geometry)
{
    auto animation = VisibilityAnimation::from_name(core::from_utf8(GetParam().name));
    ASSERT_NE(animation, nullptr);
    animation->start(1);
    animation->new_picture().recreate({ 40, 20 });
    fill(animation->new_picture(), {}, { 40, 20 }, Color { 255, 255, 255 });
    animation->tick(GetParam().seconds);
    RenderSurface screen(Point { 60, 40 });
    fill(screen, {}, { 60, 40 }, Color {});
    animation->draw(screen, { 10, 10 }, plain_blitter());
    Box const box = drawn(screen);
    Box const& e = GetParam().expected;
    EXPECT_EQ(std::tie(box.x0, box.y0, box.x1, box.y1), std::tie(e.x0, e.y0, e.x1, e.y1));
}

INSTANTIATE_TEST_SUITE_P(Kinds, AnimationFrame,
    testing::Values(FrameCase { "scale", 0.1, { 25, 17, 35, 22 } }, FrameCase { "pop", 0.1, { 6, 8, 54, 32 } },
        FrameCase { "right", 0.1, { 30, 10, 50, 30 } }, FrameCase { "bottom", 0.1, { 10, 20, 50, 30 } },
        FrameCase { "left", 0.1, { 10, 10, 30, 30 } }, FrameCase { "top", 0.1, { 10, 10, 50, 20 } },
        FrameCase { "flip", 0.15, { 16, 10, 44, 30 } }, FrameCase { "flip", 0.05, Box {} }),
    [](auto const& info) { return std::string(info.param.name) + "_" + std::to_string(info.index); });

TEST(ElementAnimation, UnknownNamesGiveNone)
{
    EXPECT_EQ(VisibilityAnimation::from_name(u"Pop"), nullptr);
    EXPECT_EQ(VisibilityAnimation::from_name(u""), nullptr);
}

// A record shared by many parents describes an immense tree in a few bytes; it is not built.
TEST(ElementBuild, SharedRecordsCannotExplode)
{
    std::vector<uint8_t> b(92, 0);
    auto put16 = [&](size_t at, uint32_t v) {
        if (b.size() < at + 2)
            b.resize(at + 2);
        b[at] = static_cast<uint8_t>(v);
        b[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    auto put32 = [&](size_t at, uint32_t v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    auto text = [&](core::StringView s) {
        size_t const at = b.size();
        for (char16_t c : s)
            put16(b.size(), c);
        put16(b.size(), 0);
        return static_cast<uint32_t>(at);
    };
    static constexpr uint16_t magic[] = { 0x0421, 0x043A, 0x0438, 0x043D };
    for (int i = 0; i < 4; ++i)
        put16(2 * i, magic[i]);
    uint32_t const key = text(u"type");
    uint32_t const area = text(u"node");
    uint32_t const name = text(u"E");
    put32(72, static_cast<uint32_t>(b.size()));
    put32(84, area);
    put32(88, 1);
    // A record with `children` children at `child` and the string "type" = "node".
    auto record = [&](uint32_t at, uint32_t children, uint32_t child) {
        uint32_t const lists = 16 + 4 * children;
        for (int k = 0; k < 4; ++k)
            put16(at + 2 * k, lists);
        for (int k = 4; k < 7; ++k)
            put16(at + 2 * k, lists + 4);
        put16(at + 14, children);
        for (uint32_t i = 0; i < children; ++i)
            put32(at + 16 + 4 * i, child);
        put16(at + lists, key);
        put16(at + lists + 2, 0);
        return at + lists + 4;
    };
    uint32_t const entry = static_cast<uint32_t>(b.size());
    put32(entry, NO_ENTRY);
    put32(entry + 4, NO_ENTRY);
    put32(entry + 8, name);
    uint32_t const middle = entry + 12 + 16 + 4 * 300 + 4;
    uint32_t const leaf = middle + 16 + 4 * 300 + 4;
    record(entry + 12, 300, middle);
    record(middle, 300, leaf);
    record(leaf, 0, 0);
    std::string const path = testing_support::fresh_dir("shared") + "/shared.skin";
    testing_support::write_file(path, std::string(b.begin(), b.end()));

    NodeRegistry registry;
    register_element_types(registry);
    Properties properties;
    properties.set_node_registry(&registry);
    ASSERT_TRUE(properties.load_skin(core::from_utf8(path), DisplayInfo {}));
    EXPECT_EQ(properties.element_count(properties.find_entry(u"E")), 1u + 300u * 301u);
    LogCapture log;
    int64_t const before = Element::live_count();
    Element root(nullptr);
    ASSERT_TRUE(root.reload_from(properties, u"E"));
    EXPECT_EQ(root.child_count(), 0u);
    EXPECT_EQ(Element::live_count(), before + 1);
    EXPECT_TRUE(log.contains(std::string("no children built")));
}

} // namespace
