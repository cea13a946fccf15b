#include "FormTrace.h"

#include <cstdlib>
#include <os/File.h>
#include <os/FileSystem.h>
#include <platform/filesystem.h>
#include <skin/Form.h>
#include <skin/FormStack.h>
#include <skin/widgets/ButtonElement.h>
#include <skin/widgets/ListRow.h>
#include <skin/widgets/OldTextElement.h>
#include <skin/widgets/TextElement.h>
#include <skin/widgets/VListElement.h>

namespace app {

namespace {

core::String const* shown_text(skin::Element const& element)
{
    if (auto const* text = dynamic_cast<skin::TextElement const*>(&element))
        return &text->text();
    if (auto const* text = dynamic_cast<skin::OldTextElement const*>(&element))
        return &text->text();
    if (auto const* button = dynamic_cast<skin::ButtonElement const*>(&element))
        return &button->text();
    return nullptr;
}

void append_number(core::String& out, int64_t number)
{
    out += core::decimal(number);
}

// `offset` turns the element's own position into window pixels (rows are laid out from 0, 0).
void describe_tree(skin::Element const& element, skin::Point offset, core::String& out)
{
    if (!element.visible())
        return;
    if (!element.id().empty()) {
        out += element.id();
        for (int32_t v :
            { element.position().x + offset.x, element.position().y + offset.y, element.size().x, element.size().y }) {
            out += u' ';
            append_number(out, v);
        }
        if (core::String const* text = shown_text(element); text && !text->empty()) {
            out += u'\t';
            for (char16_t c : *text)
                out += c == u'\n' || c == u'\r' || c == u'\t' ? u' ' : c;
        }
        out += u'\n';
    }
    for (size_t i = 0; i < element.child_count(); ++i)
        describe_tree(*element.child(i), offset, out);
    if (auto const* list = dynamic_cast<skin::VListElement const*>(&element)) {
        for (size_t i = 0; i < list->row_count(); ++i) {
            skin::ListRow const* row = list->row_at(i);
            double top = 0, height = 0;
            if (!row || !list->row_place(row->index(), top, height) || top + height <= 0 || top >= list->size().y)
                continue;
            skin::Point const row_offset { list->position().x + offset.x - row->position().x,
                list->position().y + offset.y + static_cast<int32_t>(top) - row->position().y };
            describe_tree(*row, row_offset, out);
        }
    }
}

} // namespace

FormTrace::FormTrace(std::string path)
    : path_(std::move(path))
{
}

std::unique_ptr<FormTrace> FormTrace::from_environment()
{
    char const* path = std::getenv("RAVELIN_TRACE_FORMS");
    if (!path || !*path)
        return nullptr;
    return std::make_unique<FormTrace>(path);
}

core::String FormTrace::describe(skin::FormStack const& stack)
{
    core::String out;
    skin::Form const* form = stack.top();
    if (!form)
        return out;
    out += form->id();
    out += u'\n';
    describe_tree(*form, { 0, 0 }, out);
    // The ring, where keys show it: "focus x y width height", a tab and the focused element's id.
    if (skin::Element const* focused = form->focus_shown() ? form->focused() : nullptr) {
        skin::Form::FocusRing const ring = form->focus_ring(*focused);
        out += u"focus";
        for (int32_t v : { ring.position.x, ring.position.y, ring.size.x, ring.size.y }) {
            out += u' ';
            append_number(out, v);
        }
        out += u'\t';
        out += focused->id();
        out += u'\n';
    }
    return out;
}

void FormTrace::write(skin::FormStack const& stack)
{
    core::String text = describe(stack);
    if (text == last_)
        return;
    last_ = std::move(text);
    std::string const utf8 = core::to_utf8(last_);
    core::String const aside = core::from_utf8(path_ + ".new");
    {
        os::File file(aside, os::FileMode::Write);
        if (!file.is_open() || file.write(utf8.data(), static_cast<uint32_t>(utf8.size())) != utf8.size())
            return;
    }
    // A reader sees the old screen or the new one, never half of one (or, for a moment, no file).
    os::delete_file(core::from_utf8(path_));
    platform::move_file(aside, core::from_utf8(path_));
}

} // namespace app
