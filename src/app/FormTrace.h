#pragma once

#include <core/Strings.h>

#include <memory>
#include <string>

namespace skin {
class Element;
class FormStack;
} // namespace skin

namespace app {

// What is on screen, for tests and skin authors (RAVELIN_TRACE_FORMS=FILE): the top form's name, then
// one line per visible element that has an id, list rows included: "id x y width height" in window
// pixels, and for an element that shows a text a tab and that text; where keys show the focus ring, a last
// line "focus x y width height", a tab and the focused element's id. The file is replaced whole
// (written aside, then renamed) each time the settled screen differs from the one last written.
// Threads: main thread only.
class FormTrace {
public:
    explicit FormTrace(std::string path);
    // The trace that RAVELIN_TRACE_FORMS asks for, or none.
    static std::unique_ptr<FormTrace> from_environment();

    // The text of the stack's screen as it is now.
    static core::String describe(skin::FormStack const& stack);
    // Writes the file when the description changed.
    void write(skin::FormStack const& stack);

private:
    std::string path_;
    core::String last_;
};

} // namespace app
