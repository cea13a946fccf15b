#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What a screen reader is shown of the top form: plain data in UTF-8, made on the main thread from the
// form's elements and handed whole to the accessibility bridge, which reads it on its own thread.
namespace platform {

enum class AccessibleRole { PANEL, DIALOG, PUSH_BUTTON, CHECK_BOX, LABEL, LIST, LIST_ITEM, SLIDER, PROGRESS_BAR, TEXT };

struct AccessibleNode {
    // Stays the same for the same element while its form is shown, so that a reader keeps its place.
    std::string key;
    // Index of the parent node; -1 for a child of the form itself.
    int32_t parent = -1;
    AccessibleRole role = AccessibleRole::LABEL;
    std::string name;
    int32_t x = 0, y = 0, width = 0, height = 0;
    bool enabled = true;
    bool focused = false;
    bool checked = false;
    bool selected = false;
    // Sliders and bars: the value within 0 to 1.
    double value = 0;
    // Text fields: the text and the caret (a character index).
    std::string text;
    int32_t caret = 0;

    bool operator==(AccessibleNode const&) const = default;
};

struct AccessibleTree {
    std::string form_key;
    AccessibleRole form_role = AccessibleRole::PANEL;
    std::string form_name;
    int32_t width = 0, height = 0;
    std::vector<AccessibleNode> nodes;

    bool operator==(AccessibleTree const&) const = default;
};

// What an assistive technology asks of an element, carried out on the main thread.
struct AccessibleRequest {
    enum class Kind { ACTIVATE, SET_VALUE, FOCUS };
    Kind kind = Kind::ACTIVATE;
    std::string key;
    double value = 0;
};

} // namespace platform
