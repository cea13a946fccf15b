#pragma once

#include "TextElement.h"

namespace skin {

// "edit": a text that the user edits. Only the active edit of its tree (one at a time, kept by the
// host) takes keys and characters and shows its blinking caret; a press makes an edit active (or, on
// the active one, moves the caret to the pressed point) and moves it to the end of the input list.
// "background_color", when the skin gives it, fills the edit's rectangle under the text. A single line
// longer than the edit is drawn from the left and scrolled sideways so that the caret stays in view.
class EditElement : public TextElement {
public:
    explicit EditElement(Element* parent);
    ~EditElement() override;

    void load(PropertiesImpl const& properties, ElementRecord record) override;
    void tick(double seconds) override;
    // The caret blinks while the edit is active.
    bool wants_tick() const override;
    void draw(RenderSurface& surface, Point origin) override;
    bool on_pen(PenEvent const& event) override;
    bool on_key(KeyEvent const& event) override;
    bool on_char(char16_t character) override;
    void set_text(core::StringView text) override;

    // Becomes the host's active edit (nothing without a host).
    void activate();
    bool active() const;
    // The caret: an index into the text, 0 to its length, never inside a grapheme (it moves, deletes and
    // lands by whole graphemes).
    size_t caret() const { return caret_; }
    void set_caret(size_t caret);
    // Whether the caret is drawn now: the active edit in the first half of each blink second.
    bool caret_shown() const;
    // The caret's top-left corner relative to the element.
    Point caret_point() const;
    // The caret index nearest to a point relative to the element.
    size_t index_at(Point point) const;
    Color background_color() const { return background_; }
    // How far a line longer than the edit is scrolled to the left, in pixels (0 when it fits).
    int32_t scroll_x() const { return scroll_x_; }

private:
    void insert(char16_t character);
    void restart_blink();
    // The grapheme starts around an index (0 and the text's length included).
    size_t grapheme_before(size_t index) const;
    size_t grapheme_after(size_t index) const;
    // The x of a caret before `offset` in a laid-out line, from the line's own shaping.
    int32_t edge_before(core::StringView line, size_t offset) const;
    size_t line_of(size_t prepared) const;
    size_t index_in_line(size_t line, int32_t x) const;
    size_t prepared_index(size_t index) const;
    size_t original_index(size_t prepared) const;
    // A single line wider than the edit (with room for the caret at its end).
    bool overflows() const;
    // Where a line of this width starts inside the element: scrolled when it overflows, else aligned.
    int32_t line_start(int32_t line_width) const;
    // Scrolls the overflowing line the least that shows the caret.
    void follow_caret();
    void draw_scrolled(RenderSurface& surface, Point origin);
    int32_t caret_width() const;

    Color background_;
    bool has_background_ = false;
    size_t caret_ = 0;
    double blink_ = 1.0;
    int32_t scroll_x_ = 0;
};

} // namespace skin
