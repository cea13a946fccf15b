#pragma once

#include <core/Strings.h>

#include <array>
#include <functional>
#include <map>

namespace skin {

class Element;

// Makes an element of one type as a child of `parent` (null for a root); the new element appends
// itself to its parent's children while it is constructed, so the parent owns it.
using ElementFactory = std::function<Element*(Element* parent)>;

// The fifteen type keywords of the skin, in the order the application registers them.
inline constexpr std::array<core::StringView, 15> ELEMENT_TYPES
    = { u"node", u"text", u"color", u"image", u"edit", u"htable", u"vtable", u"button", u"vlist", u"checkbox",
          u"progress", u"oldtext", u"label_edit", u"clip", u"waveform" };

// Maps the skin's type keywords to element factories; filled once when the application starts.
// Threads: main thread only.
class NodeRegistry {
public:
    // Throws NodeAlreadyRegistered (the registry unchanged) when the name is present.
    void register_type(core::StringView type_name, ElementFactory factory);
    // Throws NodeNotRegistered for a name never registered.
    Element* create_element(core::StringView type_name, Element* parent) const;
    bool contains(core::StringView type_name) const { return factories_.find(type_name) != factories_.end(); }
    size_t size() const { return factories_.size(); }

private:
    // Ordered by UTF-16 code unit, as the skin file orders its names.
    std::map<core::String, ElementFactory, std::less<>> factories_;
};

} // namespace skin
