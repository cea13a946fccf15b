// Every entry of a skin built into an element tree through the fifteen element types, laid out at two
// sizes, painted, ticked and hidden through its animation; then shown as a form on a form stack, its
// lists given rows, and driven by pen, key and character events read from the sixteen header words that
// the skin reader leaves alone: no skin and no sequence of events may crash the engine or make it read
// outside a buffer. The structural exceptions are what a broken skin may end in; the fuzzer is the top
// level that catches them.
#include <skin/Drawing.h>
#include <skin/Element.h>
#include <skin/ElementTypes.h>
#include <skin/Form.h>
#include <skin/FormStack.h>
#include <skin/InputEvents.h>
#include <skin/NodeExceptions.h>
#include <skin/NodeRegistry.h>
#include <skin/Properties.h>
#include <skin/widgets/ListModel.h>
#include <skin/widgets/ListRow.h>
#include <skin/widgets/VListElement.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

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

// Rows of changing heights made of the same skin entry; a tap removes its row.
class FuzzModel : public ListModel {
public:
    FuzzModel(Properties const& properties, core::String entry)
        : properties_(properties)
        , entry_(std::move(entry))
    {
    }
    void on_row_clicked(VListElement* list, int32_t index) override { list->remove_row(index); }
    std::unique_ptr<ListRow> create_row(VListElement*, int32_t index) override
    {
        class Row : public ListRow {
        public:
            void bind_row(VListElement*, int32_t) override { }
        };
        auto row = std::make_unique<Row>();
        if (index % 3 == 0)
            row->reload_from(properties_, entry_);
        row->set_design_size({ 0, index % 17 });
        return row;
    }

private:
    Properties const& properties_;
    core::String entry_;
};

void give_models(Element& element, FuzzModel& model)
{
    if (auto* list = dynamic_cast<VListElement*>(&element)) {
        list->set_model(&model);
        list->reset(1000);
    }
    for (size_t i = 0; i < element.child_count(); ++i)
        give_models(*element.child(i), model);
}

void exercise_form(Properties const& properties, core::String const& name, uint8_t const* script, size_t length)
{
    FormStack stack({ 64, 48 });
    FuzzModel model(properties, name);
    Form form, popup;
    form.reload_from(properties, name);
    popup.reload_from(properties, name);
    give_models(form, model);
    stack.show_form(&form, FormMode::FULL_SCREEN);
    RenderSurface screen(Point { 64, 48 });
    uint32_t now = 0;
    for (size_t i = 0; i + 2 < length; i += 3) {
        uint8_t const op = script[i], a = script[i + 1], b = script[i + 2];
        Point const point { a % 80 - 8, b % 60 - 6 };
        now += a;
        Form* top = stack.top();
        PenEvent pen;
        pen.x = point.x;
        pen.y = point.y;
        pen.time = now;
        switch (op % 8) {
        case 0:
            pen.down = 1;
            [[fallthrough]];
        case 1:
            if (top)
                top->on_pen(pen);
            break;
        case 2:
            if (top)
                top->on_pen_move(point, now);
            break;
        case 3:
            if (top)
                top->on_key({ a % 66, (b & 1) != 0 });
            break;
        case 4:
            if (top)
                top->on_char(static_cast<char16_t>(a | b << 8));
            break;
        case 5:
            stack.tick(a / 1000.0);
            stack.paint_frame(screen);
            break;
        case 6:
            if (!stack.close_form(&popup))
                stack.show_form(&popup, (b & 1) ? FormMode::POPUP : FormMode::FULL_SCREEN);
            break;
        default:
            form.set_visible((b & 1) != 0);
            break;
        }
    }
    stack.tick(0.1);
    stack.paint_frame(screen);
}

} // namespace

// fontconfig keeps a few blocks it made while reading its configuration out of LeakSanitizer's sight.
extern "C" char const* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

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
        try {
            exercise_form(properties, name, data + 8, size >= 72 ? 64 : 0);
        } catch (SkinException const&) {
        }
    }
    return 0;
}
