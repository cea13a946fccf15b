#include "SkinSource.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <fstream>
#include <pugixml.hpp>
#include <sstream>

namespace skinc {

namespace {

// Line numbers for messages: pugixml reports byte offsets.
class Lines {
public:
    explicit Lines(std::string const& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        text_ = text.str();
    }
    int at(ptrdiff_t offset) const
    {
        if (offset < 0)
            return 0;
        auto const end = text_.begin() + std::min<ptrdiff_t>(offset, static_cast<ptrdiff_t>(text_.size()));
        return 1 + static_cast<int>(std::count(text_.begin(), end, '\n'));
    }

private:
    std::string text_;
};

[[noreturn]] void fail(int line, std::string const& message)
{
    throw CompileError("line " + std::to_string(line) + ": " + message);
}

class Reader {
public:
    explicit Reader(Lines const& lines)
        : lines_(lines)
    {
    }

    SourceElement element(pugi::xml_node node, bool top)
    {
        SourceElement e;
        e.line = line(node);
        for (auto attribute : node.attributes()) {
            std::string const name = attribute.name();
            if (name == "name" && top)
                e.name = core::from_utf8(attribute.value());
            else // type="button", id="btnRecord": shorthand for string properties
                e.strings.push_back({ core::from_utf8(name), core::from_utf8(attribute.value()) });
        }
        if (top && e.name.empty())
            fail(e.line, "a top-level element needs a name");
        for (auto child : node.children()) {
            if (child.type() != pugi::node_element)
                continue;
            std::string const kind = child.name();
            if (kind == "element")
                e.children.push_back(element(child, false));
            else
                property(e, child, kind);
        }
        return e;
    }

private:
    int line(pugi::xml_node node) const { return lines_.at(node.offset_debug()); }

    std::string text(pugi::xml_node node, char const* name, bool required = true) const
    {
        auto const a = node.attribute(name);
        if (!a && required)
            fail(line(node), std::string("<") + node.name() + "> needs the attribute \"" + name + "\"");
        return a.value();
    }

    int64_t number(pugi::xml_node node, std::string const& text, int64_t low, int64_t high) const
    {
        int64_t value = 0;
        char const* begin = text.data();
        char const* end = begin + text.size();
        if (begin != end && *begin == '+')
            ++begin;
        auto const [ptr, ec] = std::from_chars(begin, end, value);
        if (ec != std::errc() || ptr != end || begin == end)
            fail(line(node), "\"" + text + "\" is not a number");
        if (value < low || value > high)
            fail(line(node), "\"" + text + "\" is out of range " + std::to_string(low) + ".." + std::to_string(high));
        return value;
    }

    template <size_t N>
    std::array<int64_t, N> numbers(pugi::xml_node node, std::string const& text, int64_t low, int64_t high) const
    {
        std::array<int64_t, N> values {};
        std::istringstream in(text);
        std::string word;
        size_t n = 0;
        while (in >> word) {
            if (n == N)
                fail(line(node), "\"" + text + "\" has more than " + std::to_string(N) + " numbers");
            values[n++] = number(node, word, low, high);
        }
        if (n != N)
            fail(line(node), "\"" + text + "\" needs " + std::to_string(N) + " numbers");
        return values;
    }

    void property(SourceElement& e, pugi::xml_node node, std::string const& kind)
    {
        core::String const key = core::from_utf8(text(node, "key"));
        if (key.empty())
            fail(line(node), "an empty key");
        if (kind == "int") {
            e.ints.push_back({ key, static_cast<int32_t>(number(node, text(node, "value"), INT32_MIN, INT32_MAX)) });
        } else if (kind == "point") {
            e.points.push_back({ key, static_cast<int16_t>(number(node, text(node, "x"), INT16_MIN, INT16_MAX)),
                static_cast<int16_t>(number(node, text(node, "y"), INT16_MIN, INT16_MAX)) });
        } else if (kind == "string") {
            e.strings.push_back({ key, core::from_utf8(text(node, "value")) });
        } else if (kind == "color") {
            e.colors.push_back(color(node, key));
        } else if (kind == "font") {
            e.fonts.push_back({ key, font(node) });
        } else if (kind == "picture") {
            e.pictures.push_back(picture(node, key));
        } else {
            fail(line(node), "unknown property kind <" + kind + ">");
        }
    }

    ColorProperty color(pugi::xml_node node, core::String const& key) const
    {
        std::string const value = text(node, "value");
        ColorProperty c { key };
        if (!value.empty() && value[0] == '#') {
            uint32_t rgb = 0;
            auto const [ptr, ec] = std::from_chars(value.data() + 1, value.data() + value.size(), rgb, 16);
            if (value.size() != 7 || ec != std::errc() || ptr != value.data() + value.size())
                fail(line(node), "colour \"" + value + "\" is not #RRGGBB");
            c.red = static_cast<uint8_t>(rgb >> 16);
            c.green = static_cast<uint8_t>(rgb >> 8);
            c.blue = static_cast<uint8_t>(rgb);
        } else {
            auto const rgb = numbers<3>(node, value, 0, 255);
            c.red = static_cast<uint8_t>(rgb[0]);
            c.green = static_cast<uint8_t>(rgb[1]);
            c.blue = static_cast<uint8_t>(rgb[2]);
        }
        return c;
    }

    core::String font(pugi::xml_node node) const
    {
        if (node.attribute("desc"))
            return core::from_utf8(node.attribute("desc").value());
        int64_t const size = number(node, text(node, "size"), INT32_MIN, INT32_MAX);
        auto flag = [&](char const* name) {
            return node.attribute(name) ? number(node, node.attribute(name).value(), 0, 1) : 0;
        };
        std::string face = node.attribute("face") ? node.attribute("face").value() : "Tahoma";
        if (face.empty())
            fail(line(node), "an empty face name");
        std::string const desc = std::to_string(size) + " " + std::to_string(flag("bold")) + " "
            + std::to_string(flag("italic")) + " " + std::to_string(flag("underline")) + " " + face;
        return core::from_utf8(desc);
    }

    PictureProperty picture(pugi::xml_node node, core::String const& key) const
    {
        PictureProperty p;
        p.key = key;
        p.line = line(node);
        p.source = text(node, "src");
        if (node.attribute("corners")) {
            p.has_corners = true;
            p.corners = numbers<8>(node, node.attribute("corners").value(), 0, 65535);
        }
        if (node.attribute("area")) {
            p.has_area = true;
            p.area = numbers<4>(node, node.attribute("area").value(), 0, 65535);
        }
        if (node.attribute("border"))
            p.border = numbers<4>(node, node.attribute("border").value(), 0, 65535);
        if (p.has_corners && (p.has_area || node.attribute("border")))
            fail(p.line, "a picture takes either corners or area and border");
        if (node.attribute("flag"))
            p.flag = static_cast<uint8_t>(number(node, node.attribute("flag").value(), 0, 255));
        return p;
    }

    Lines const& lines_;
};

} // namespace

SkinSource read_source(std::string const& path)
{
    pugi::xml_document document;
    auto const result = document.load_file(path.c_str());
    Lines const lines(path);
    if (!result)
        fail(lines.at(result.offset), result.description());
    auto const root = document.child("skin");
    if (!root)
        fail(1, "the root element must be <skin>");
    SkinSource source;
    Reader reader(lines);
    for (auto node : root.children()) {
        if (node.type() != pugi::node_element)
            continue;
        if (std::strcmp(node.name(), "element") != 0)
            fail(lines.at(node.offset_debug()), std::string("<") + node.name() + "> where <element> was expected");
        source.entries.push_back(reader.element(node, true));
    }
    return source;
}

} // namespace skinc
