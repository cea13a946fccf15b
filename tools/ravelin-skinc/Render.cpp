#include "Render.h"

#include "Preview.h"

#include <charconv>
#include <memory>
#include <skin/BitmapPng.h>
#include <skin/Drawing.h>
#include <skin/Element.h>
#include <skin/ElementTypes.h>
#include <skin/NodeExceptions.h>
#include <skin/NodeRegistry.h>
#include <skin/Properties.h>
#include <skin/RenderSurface.h>

namespace skinc {

namespace {

bool parse_number(std::string_view text, int32_t low, int32_t high, int32_t& value)
{
    auto const [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= low && value <= high;
}

} // namespace

bool parse_size(std::string const& text, RenderRequest& request)
{
    std::string_view rest = text;
    auto const at = rest.find('@');
    if (at != std::string_view::npos) {
        if (!parse_number(rest.substr(at + 1), 1, 9999, request.dpi))
            return false;
        rest = rest.substr(0, at);
    }
    auto const x = rest.find('x');
    return x != std::string_view::npos && parse_number(rest.substr(0, x), 1, skin::Bitmap565::MAX_SIDE, request.width)
        && parse_number(rest.substr(x + 1), 1, skin::Bitmap565::MAX_SIDE, request.height);
}

namespace {

bool render_form(RenderRequest const& request, std::ostream& rects, std::string& error)
{
    Sample sample;
    if (!request.sample.empty() && !read_sample(request.sample, sample, error))
        return false;
    skin::FormHarness harness(core::from_utf8(request.skin), { request.width, request.height }, request.dpi);
    if (!harness.loaded()) {
        error = "cannot be loaded as a skin";
        return false;
    }
    if (!request.lng.empty() && !harness.properties().dictionary().load(core::from_utf8(request.lng))) {
        error = request.lng + " cannot be read";
        return false;
    }
    bool const known = sample.find(request.entry) || harness.properties().find_entry(core::from_utf8(request.entry));
    if (!known) {
        error = "has no entry " + request.entry;
        return false;
    }
    try {
        PreviewScreen screen(harness, sample);
        screen.show(request.entry);
        if (request.rects)
            print_rects(screen.top(), rects);
    } catch (skin::SkinException const& e) {
        error = request.entry + ": " + e.what();
        return false;
    }
    if (!harness.save_png(request.output)) {
        error = "cannot write " + request.output;
        return false;
    }
    return true;
}

} // namespace

bool render_entry(RenderRequest const& request, std::ostream& rects, std::string& error)
{
    if (!request.lng.empty() || !request.sample.empty())
        return render_form(request, rects, error);
    skin::DisplayInfo display;
    display.width = display.width_copy = request.width;
    display.height = display.height_copy = request.height;
    display.dpi_y = request.dpi;
    skin::Properties properties;
    if (!properties.load_skin(core::from_utf8(request.skin), display)) {
        error = "cannot be loaded as a skin";
        return false;
    }
    skin::NodeRegistry registry;
    skin::register_element_types(registry);
    properties.set_node_registry(&registry);
    core::String const entry = core::from_utf8(request.entry);
    skin::ElementRecord const record = properties.find_entry(entry);
    if (!record) {
        error = "has no entry " + request.entry;
        return false;
    }
    try {
        // The root is of the entry's type when it names one, a plain container otherwise.
        core::String const type = properties.lookup_string(record, u"type", u"");
        std::unique_ptr<skin::Element> root(
            type.empty() ? new skin::Element(nullptr) : registry.create_element(type, nullptr));
        root->load(properties, record);
        root->set_geometry_x(0, request.width);
        root->set_geometry_y(0, request.height);
        skin::RenderSurface surface(skin::Point { request.width, request.height });
        if (!surface.bitmap()) {
            error = "no memory for a picture of that size";
            return false;
        }
        skin::fill(surface, {}, surface.size(), skin::Color {});
        root->paint(surface, {});
        if (request.rects)
            print_rects(*root, rects);
        if (!skin::write_png(*surface.bitmap(), request.output)) {
            error = "cannot write " + request.output;
            return false;
        }
    } catch (skin::SkinException const& e) {
        error = request.entry + ": " + e.what();
        return false;
    }
    return true;
}

} // namespace skinc
