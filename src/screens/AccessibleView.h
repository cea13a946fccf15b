#pragma once

#include <core/Strings.h>
#include <platform/a11y/accessible_tree.h>
#include <skin/InputEvents.h>

#include <functional>
#include <vector>

namespace skin {
class Element;
class FormStack;
} // namespace skin

namespace screens {

// The top form as a screen reader sees it: buttons named by their text or, for an icon, by the language
// file ("Button_Record" ...), sliders with their value, the list with one item per visible row named by
// its texts, text fields, labels, and the form itself as a panel or, for a question, a dialog. A reader's
// request is carried out as the tap a person would give.
//
// The focused element is the active edit, else the form's keyboard focus (skin::Form::focused), else the
// element a reader moved it to; a reader's focus request moves the form's focus too where it can.
// Threads: main thread only.
class AccessibleView {
public:
    using Translate = std::function<core::String(core::StringView)>;
    using Tap = std::function<void(skin::PenEvent const&)>;

    AccessibleView(skin::FormStack const& stack, Translate translate);

    platform::AccessibleTree snapshot() const;
    // Carries out the request through `tap`; false when its element is no longer shown or cannot do it.
    bool carry_out(platform::AccessibleRequest const& request, Tap const& tap);
    // Moves the focus to the next (`step` 1) or previous (-1) element a person can act on, round the form.
    void move_focus(int32_t step);

    // One element of the walk: its node and the element it came from.
    struct Item {
        platform::AccessibleNode node;
        skin::Element const* element = nullptr;
    };

private:
    std::vector<Item> walk() const;
    // The element's name when it is an icon (no text of its own): "Button_<form>_<id>" or "Button_<id>"
    // in the language file, the "btn" taken off the id.
    core::String icon_name(core::StringView form, core::StringView id) const;
    void walk_element(skin::Element const& element, skin::Point offset, int32_t parent, std::string const& key,
        std::vector<Item>& out) const;
    void walk_list(skin::Element const& element, skin::Point offset, int32_t list, std::string const& key,
        std::vector<Item>& out) const;

    skin::FormStack const& stack_;
    Translate translate_;
    std::string focused_;
};

} // namespace screens
