// Every entry of a skin built into an element tree through the fourteen element types, laid out at two
// sizes, painted, ticked and hidden through its animation: no skin may crash the engine or make it read
// outside a buffer. The structural exceptions are what a broken skin may end in; the fuzzer is the top
// level that catches them.
#include <skin/Drawing.h>
#include <skin/Element.h>
#include <skin/ElementTypes.h>
#include <skin/NodeExceptions.h>
#include <skin/NodeRegistry.h>
#include <skin/Properties.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

using namespace skin;

void exercise(Properties const& properties, core::String const& name)
{
    Element root(nullptr);
    root.reload_from(properties, name);
    RenderSurface surface(Point { 64, 48 });
    for (Point size : { Point { 64, 48 }, Point { 23, 300 } }) {
        root.set_geometry_x(0, size.x);
        root.set_geometry_y(0, size.y);
        fill(surface, {}, surface.size(), Color {});
        root.paint(surface, {});
    }
    for (size_t i = 0; i < root.child_count(); ++i)
        root.child(i)->show_animated(false);
    root.tick(0.1);
    root.paint(surface, {});
    root.tick(0.1);
    root.set_enabled(false);
    root.set_text_by_id(u"#text", u"fuzz");
    root.paint(surface, {});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    static std::string const path = "/tmp/ravelin-fuzz-element-tree-" + std::to_string(getpid()) + ".skin";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    NodeRegistry registry;
    register_element_types(registry);
    Properties properties;
    properties.set_node_registry(&registry);
    if (!properties.load_skin(core::from_utf8(path), DisplayInfo {}))
        return 0;
    for (auto const& [name, record] : properties.file()->entries()) {
        try {
            exercise(properties, name);
        } catch (SkinException const&) {
        }
    }
    return 0;
}
