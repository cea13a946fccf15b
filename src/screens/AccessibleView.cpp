#include "AccessibleView.h"

#include <platform/text.h>
#include <skin/Form.h>
#include <skin/FormStack.h>
#include <skin/widgets/ButtonElement.h>
#include <skin/widgets/CheckboxElement.h>
#include <skin/widgets/EditElement.h>
#include <skin/widgets/ListRow.h>
#include <skin/widgets/OldTextElement.h>
#include <skin/widgets/ProgressElement.h>
#include <skin/widgets/TextElement.h>
#include <skin/widgets/VListElement.h>

#include <algorithm>
#include <cmath>

namespace screens {

namespace {

using platform::AccessibleNode;
using platform::AccessibleRole;

// Forms that ask a question and wait for the answer.
constexpr core::StringView DIALOGS[] = { u"FormConfirmation", u"FormError", u"FormEdit", u"QuickRecord" };

core::String const* shown_text(skin::Element const& element)
{
    if (auto const* text = dynamic_cast<skin::TextElement const*>(&element))
        return &text->text();
    if (auto const* text = dynamic_cast<skin::OldTextElement const*>(&element))
        return &text->text();
    return nullptr;
}

std::string one_line(core::String const& text)
{
    core::String line;
    for (char16_t c : text)
        line += c == u'\n' || c == u'\r' || c == u'\t' ? u' ' : c;
    return platform::to_utf8(line);
}

// The visible texts below an element, in order, joined as a reader says them.
void collect_texts(skin::Element const& element, std::string& out)
{
    if (!element.visible())
        return;
    if (core::String const* text = shown_text(element); text && !text->empty()) {
        if (!out.empty())
            out += ", ";
        out += one_line(*text);
    }
    for (size_t i = 0; i < element.child_count(); ++i)
        collect_texts(*element.child(i), out);
}

// The part of an id after a prefix such as "btn" or "pb", or empty when it does not start so.
core::StringView suffix_after(core::StringView id, core::StringView prefix)
{
    if (id.size() <= prefix.size() || id.substr(0, prefix.size()) != prefix)
        return {};
    return id.substr(prefix.size());
}

// A slider is a bar "pbX" with a button "btnX" beside it that takes the presses.
skin::ButtonElement const* slider_button(skin::ProgressElement const& bar)
{
    core::StringView const suffix = suffix_after(bar.id(), u"pb");
    skin::Element const* parent = bar.parent();
    if (suffix.empty() || !parent)
        return nullptr;
    core::String const id = u"btn" + core::String(suffix);
    for (size_t i = 0; i < parent->child_count(); ++i)
        if (parent->child(i)->id() == id)
            return dynamic_cast<skin::ButtonElement const*>(parent->child(i));
    return nullptr;
}

bool is_slider_button(skin::ButtonElement const& button)
{
    core::StringView const suffix = suffix_after(button.id(), u"btn");
    skin::Element const* parent = button.parent();
    if (suffix.empty() || !parent)
        return false;
    core::String const id = u"pb" + core::String(suffix);
    for (size_t i = 0; i < parent->child_count(); ++i)
        if (parent->child(i)->id() == id && dynamic_cast<skin::ProgressElement const*>(parent->child(i)))
            return true;
    return false;
}

void place(AccessibleNode& node, skin::Element const& element, skin::Point offset)
{
    node.x = element.position().x + offset.x;
    node.y = element.position().y + offset.y;
    node.width = element.size().x;
    node.height = element.size().y;
}

bool acts(AccessibleRole role)
{
    return role == AccessibleRole::PUSH_BUTTON || role == AccessibleRole::CHECK_BOX || role == AccessibleRole::LIST_ITEM
        || role == AccessibleRole::SLIDER || role == AccessibleRole::TEXT;
}

skin::PenEvent pen(int32_t x, int32_t y, bool down)
{
    skin::PenEvent event;
    event.x = x;
    event.y = y;
    event.down = down ? 1 : 0;
    return event;
}

} // namespace

AccessibleView::AccessibleView(skin::FormStack const& stack, Translate translate)
    : stack_(stack)
    , translate_(std::move(translate))
{
}

core::String AccessibleView::icon_name(core::StringView form, core::StringView id) const
{
    core::StringView const suffix = suffix_after(id, u"btn");
    if (suffix.empty())
        return {};
    for (core::String const& key :
        { u"Button_" + core::String(form) + u"_" + core::String(suffix), u"Button_" + core::String(suffix) }) {
        core::String text = translate_(key);
        if (text != key)
            return text;
    }
    return {};
}

void AccessibleView::walk_list(skin::Element const& element, skin::Point offset, int32_t list, std::string const& key,
    std::vector<Item>& out) const
{
    auto const& vlist = static_cast<skin::VListElement const&>(element);
    for (size_t i = 0; i < vlist.row_count(); ++i) {
        skin::ListRow const* row = vlist.row_at(i);
        double top = 0, height = 0;
        if (!row || !row->visible() || !vlist.row_place(row->index(), top, height) || top + height <= 0
            || top >= vlist.size().y)
            continue;
        Item item;
        item.element = row;
        item.node.key = key + "/row" + std::to_string(row->index());
        item.node.parent = list;
        item.node.role = AccessibleRole::LIST_ITEM;
        collect_texts(*row, item.node.name);
        item.node.x = vlist.position().x + offset.x;
        item.node.y = vlist.position().y + offset.y + static_cast<int32_t>(top);
        item.node.width = vlist.size().x;
        item.node.height = static_cast<int32_t>(std::lround(height));
        // Only the part of a row inside the list can be pressed.
        int32_t const bottom = std::min(item.node.y + item.node.height, vlist.position().y + offset.y + vlist.size().y);
        item.node.y = std::max(item.node.y, vlist.position().y + offset.y);
        item.node.height = bottom - item.node.y;
        item.node.selected = vlist.selected() == row->index();
        item.node.enabled = row->effectively_enabled();
        std::string const row_key = item.node.key;
        auto const row_node = static_cast<int32_t>(out.size());
        out.push_back(std::move(item));
        // The buttons a row holds (the main menu's Help, Minimize and Exit) are buttons of their own
        // inside it, where the list shows them.
        skin::Point const origin { vlist.position().x + offset.x,
            vlist.position().y + offset.y + static_cast<int32_t>(std::lround(top)) };
        int32_t const list_top = vlist.position().y + offset.y;
        auto walk_buttons = [&](auto& self, skin::Element const& element) -> void {
            for (size_t c = 0; c < element.child_count(); ++c) {
                skin::Element const& child = *element.child(c);
                if (!dynamic_cast<skin::ButtonElement const*>(&child)) {
                    self(self, child);
                    continue;
                }
                int32_t const middle = origin.y + child.position().y + child.size().y / 2;
                if (!child.id().empty() && middle >= list_top && middle < list_top + vlist.size().y)
                    walk_element(child, origin, row_node, row_key + "/" + platform::to_utf8(child.id()), out);
            }
        };
        walk_buttons(walk_buttons, *row);
    }
}

void AccessibleView::walk_element(skin::Element const& element, skin::Point offset, int32_t parent,
    std::string const& key, std::vector<Item>& out) const
{
    if (!element.visible())
        return;
    Item item;
    item.element = &element;
    item.node.key = key;
    item.node.parent = parent;
    item.node.enabled = element.effectively_enabled();
    place(item.node, element, offset);
    AccessibleNode& node = item.node;
    bool descend = false;
    if (auto const* button = dynamic_cast<skin::ButtonElement const*>(&element)) {
        if (is_slider_button(*button))
            return;
        node.role = AccessibleRole::PUSH_BUTTON;
        node.name = one_line(button->text());
        if (node.name.empty())
            node.name = platform::to_utf8(icon_name(element.host() ? element.host()->id() : u"", element.id()));
        if (node.name.empty())
            collect_texts(element, node.name);
        if (node.name.empty())
            node.name = platform::to_utf8(element.id());
    } else if (auto const* box = dynamic_cast<skin::CheckboxElement const*>(&element)) {
        node.role = AccessibleRole::CHECK_BOX;
        node.name = one_line(box->text());
        node.checked = box->state() != 0;
    } else if (auto const* bar = dynamic_cast<skin::ProgressElement const*>(&element)) {
        skin::ButtonElement const* button = slider_button(*bar);
        node.role = button ? AccessibleRole::SLIDER : AccessibleRole::PROGRESS_BAR;
        core::StringView const suffix = suffix_after(element.id(), u"pb");
        core::String const name_key = u"Slider_" + core::String(suffix);
        core::String const name = translate_(name_key);
        node.name = platform::to_utf8(name == name_key ? core::String(suffix) : name);
        node.value = bar->value();
        if (button)
            node.enabled = button->effectively_enabled();
    } else if (auto const* edit = dynamic_cast<skin::EditElement const*>(&element)) {
        node.role = AccessibleRole::TEXT;
        node.text = platform::to_utf8(edit->text());
        node.caret = static_cast<int32_t>(edit->caret());
    } else if (core::String const* text = shown_text(element)) {
        if (text->empty())
            return;
        node.role = AccessibleRole::LABEL;
        node.name = one_line(*text);
    } else if (dynamic_cast<skin::VListElement const*>(&element)) {
        node.role = AccessibleRole::LIST;
        // Tab stops on the list: it is named after its screen ("Recordings", "Menu").
        if (skin::Element const* root = element.host()) {
            core::String const key = u"Screen_" + root->id();
            core::String const name = translate_(key);
            node.name = platform::to_utf8(name != key ? name : root->id());
        }
    } else {
        descend = true;
    }
    int32_t index = parent;
    if (!descend) {
        index = static_cast<int32_t>(out.size());
        out.push_back(std::move(item));
    }
    if (!descend && out.back().node.role == AccessibleRole::LIST)
        walk_list(element, offset, index, key, out);
    if (!descend)
        return;
    for (size_t i = 0; i < element.child_count(); ++i) {
        skin::Element const& child = *element.child(i);
        std::string const part = child.id().empty() ? "#" + std::to_string(i) : platform::to_utf8(child.id());
        walk_element(child, offset, parent, key + "/" + part, out);
    }
}

std::vector<AccessibleView::Item> AccessibleView::walk() const
{
    std::vector<Item> out;
    skin::Form const* form = stack_.top();
    if (!form)
        return out;
    std::string const key = platform::to_utf8(form->id());
    for (size_t i = 0; i < form->child_count(); ++i) {
        skin::Element const& child = *form->child(i);
        std::string const part = child.id().empty() ? "#" + std::to_string(i) : platform::to_utf8(child.id());
        walk_element(child, { 0, 0 }, -1, key + "/" + part, out);
    }
    // The edit being typed into, else the form's keyboard focus, else the one a reader chose.
    std::string focus = focused_;
    skin::Element const* held = form->active_edit();
    if (!held)
        held = form->focused();
    if (held)
        for (Item const& item : out)
            if (item.element == held)
                focus = item.node.key;
    for (Item& item : out)
        item.node.focused = !focus.empty() && item.node.key == focus;
    return out;
}

platform::AccessibleTree AccessibleView::snapshot() const
{
    platform::AccessibleTree tree;
    skin::Form const* form = stack_.top();
    if (!form)
        return tree;
    tree.form_key = platform::to_utf8(form->id());
    tree.width = form->size().x;
    tree.height = form->size().y;
    bool const dialog = std::find(std::begin(DIALOGS), std::end(DIALOGS), form->id()) != std::end(DIALOGS);
    tree.form_role = dialog ? AccessibleRole::DIALOG : AccessibleRole::PANEL;
    for (Item& item : walk())
        tree.nodes.push_back(std::move(item.node));
    core::String const key = u"Screen_" + form->id();
    core::String const name = translate_(key);
    if (name != key) {
        tree.form_name = platform::to_utf8(name);
    } else {
        // A question is named by what it asks.
        for (AccessibleNode const& node : tree.nodes)
            if (node.role == AccessibleRole::LABEL) {
                tree.form_name = node.name;
                break;
            }
    }
    return tree;
}

bool AccessibleView::carry_out(platform::AccessibleRequest const& request, Tap const& tap)
{
    std::vector<Item> const items = walk();
    auto const found
        = std::find_if(items.begin(), items.end(), [&](Item const& item) { return item.node.key == request.key; });
    if (found == items.end() || !found->node.enabled)
        return false;
    AccessibleNode const& node = found->node;
    switch (request.kind) {
    case platform::AccessibleRequest::Kind::FOCUS:
        focused_ = node.key;
        // The form takes it too when it can, so that the keys go on from there.
        if (skin::Form* form = stack_.top())
            form->set_focus(const_cast<skin::Element*>(found->element));
        return true;
    case platform::AccessibleRequest::Kind::ACTIVATE: {
        int32_t const x = node.x + node.width / 2;
        int32_t const y = node.y + node.height / 2;
        tap(pen(x, y, true));
        tap(pen(x, y, false));
        return true;
    }
    case platform::AccessibleRequest::Kind::SET_VALUE: {
        auto const* bar = dynamic_cast<skin::ProgressElement const*>(found->element);
        skin::ButtonElement const* button = bar ? slider_button(*bar) : nullptr;
        if (!button || button->size().x < 1)
            return false;
        // The press lands on the pixel nearest to the value; the last pixel stands for the end.
        int32_t const left = button->position().x;
        int32_t const width = button->size().x;
        double const value = std::clamp(request.value, 0.0, 1.0);
        int32_t const x = std::min(left + static_cast<int32_t>(std::lround(value * width)), left + width - 1);
        int32_t const y = button->position().y + button->size().y / 2;
        tap(pen(x, y, true));
        tap(pen(x, y, false));
        return true;
    }
    }
    return false;
}

void AccessibleView::move_focus(int32_t step)
{
    std::vector<Item> const items = walk();
    std::vector<std::string> keys;
    for (Item const& item : items)
        if (acts(item.node.role) && item.node.enabled)
            keys.push_back(item.node.key);
    if (keys.empty())
        return;
    auto const at = std::find(keys.begin(), keys.end(), focused_);
    int32_t const count = static_cast<int32_t>(keys.size());
    int32_t next = step > 0 ? 0 : count - 1;
    if (at != keys.end())
        next = ((static_cast<int32_t>(at - keys.begin()) + step) % count + count) % count;
    focused_ = keys[static_cast<size_t>(next)];
}

} // namespace screens
