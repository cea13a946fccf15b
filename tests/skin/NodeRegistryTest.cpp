#include <gtest/gtest.h>
#include <skin/NodeExceptions.h>
#include <skin/NodeRegistry.h>

using namespace skin;

namespace {

// Stand-in factories: the element classes come later; the registry only hands the parent through.
TEST(NodeRegistry, CreatesThroughTheRegisteredFactory)
{
    NodeRegistry registry;
    std::vector<core::String> made;
    for (auto type : ELEMENT_TYPES)
        registry.register_type(type, [&made, type](Element* parent) {
            made.emplace_back(type);
            return parent;
        });
    EXPECT_EQ(registry.size(), 14u);
    auto* const parent = reinterpret_cast<Element*>(&made);
    EXPECT_EQ(registry.create_element(u"vlist", parent), parent);
    EXPECT_EQ(registry.create_element(u"label_edit", nullptr), nullptr);
    EXPECT_EQ(made, (std::vector<core::String> { u"vlist", u"label_edit" }));
}

TEST(NodeRegistry, TwiceRegisteredThrowsAndKeepsTheFirst)
{
    NodeRegistry registry;
    int first = 0, second = 0;
    registry.register_type(u"text", [&](Element*) { return (++first, nullptr); });
    try {
        registry.register_type(u"text", [&](Element*) { return (++second, nullptr); });
        FAIL() << "no exception";
    } catch (NodeAlreadyRegistered const& e) {
        EXPECT_EQ(e.type_name(), u"text");
    }
    registry.create_element(u"text", nullptr);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
}

TEST(NodeRegistry, UnknownTypeThrowsWithItsName)
{
    NodeRegistry registry;
    registry.register_type(u"node", [](Element*) { return nullptr; });
    for (core::StringView name : { u"Node", u"", u"button" }) {
        try {
            registry.create_element(name, nullptr);
            FAIL() << "no exception for " << core::to_utf8(name);
        } catch (NodeNotRegistered const& e) {
            EXPECT_EQ(e.type_name(), name);
        }
    }
}

} // namespace
