#include "EditElement.h"

#include <algorithm>
#include <cstdlib>
#include <skin/Drawing.h>
#include <skin/InputEvents.h>
#include <skin/InputHost.h>
#include <skin/KeyNames.h>
#include <skin/PropertiesImpl.h>

namespace skin {

namespace {

constexpr double BLINK_HALF = 0.5;
constexpr double BLINK_PERIOD = 1.0;
constexpr int32_t TAB_WIDTH = 4;

} // namespace

EditElement::EditElement(Element* parent)
    : TextElement(parent)
{
    if (InputHost* host = input_host())
        host->add_input(this);
}

EditElement::~EditElement()
{
    if (InputHost* host = input_host()) {
        if (host->active_edit() == this)
            host->set_active_edit(nullptr);
        host->remove_input(this);
    }
}

void EditElement::load(PropertiesImpl const& properties, ElementRecord record)
{
    TextElement::load(properties, record);
    // The colour stays black by default; only a colour the skin gives is painted.
    Color const absent { 0, 0, 0, 0 };
    Color const given = properties.lookup_color(record, u"background_color", absent);
    has_background_ = given != absent;
    background_ = has_background_ ? given : Color {};
    caret_ = std::min(caret_, text().size());
}

bool EditElement::active() const
{
    InputHost* host = input_host();
    return host && host->active_edit() == this;
}

void EditElement::activate()
{
    if (InputHost* host = input_host())
        host->set_active_edit(this);
    restart_blink();
}

bool EditElement::caret_shown() const
{
    return active() && blink_ < BLINK_HALF;
}

void EditElement::restart_blink()
{
    blink_ = 0;
    mark_redraw();
}

void EditElement::set_caret(size_t caret)
{
    caret_ = grapheme_before(std::min(caret, text().size()) + 1);
    follow_caret();
    mark_redraw();
}

void EditElement::set_text(core::StringView text)
{
    TextElement::set_text(text);
    caret_ = grapheme_before(std::min(caret_, this->text().size()) + 1);
    follow_caret();
}

int32_t EditElement::caret_width() const
{
    return font() ? font()->description().scale : 1;
}

bool EditElement::overflows() const
{
    return !style().wrap && font() && lines().size() == 1 && lines().front().width + caret_width() > size().x;
}

int32_t EditElement::line_start(int32_t line_width) const
{
    return overflows() ? -scroll_x_ : line_left(line_width);
}

void EditElement::follow_caret()
{
    if (!overflows()) {
        scroll_x_ = 0;
        return;
    }
    auto const& line = lines().front();
    int32_t const caret_x = edge_before(line.text, prepared_index(caret_));
    int32_t const room = std::max(size().x - caret_width(), 0);
    if (caret_x - scroll_x_ > room)
        scroll_x_ = caret_x - room;
    if (caret_x < scroll_x_)
        scroll_x_ = caret_x;
    scroll_x_ = std::clamp(scroll_x_, 0, std::max(line.width + caret_width() - size().x, 0));
}

void EditElement::tick(double seconds)
{
    if (!active()) {
        if (blink_ != BLINK_PERIOD) {
            blink_ = BLINK_PERIOD;
            mark_redraw();
        }
    } else {
        double const before = blink_;
        blink_ += seconds;
        if (before < BLINK_HALF && blink_ >= BLINK_HALF)
            mark_redraw();
        if (blink_ >= BLINK_PERIOD) {
            blink_ = 0;
            mark_redraw();
        }
    }
    TextElement::tick(seconds);
}

bool EditElement::wants_tick() const
{
    return active() || TextElement::wants_tick();
}

bool EditElement::on_pen(PenEvent const& event)
{
    if (!event.down)
        return true;
    if (InputHost* host = input_host()) {
        host->remove_input(this);
        host->add_input(this);
    }
    if (active()) {
        caret_ = index_at(event.point() - position());
        follow_caret();
    } else
        activate();
    restart_blink();
    return true;
}

bool EditElement::on_key(KeyEvent const& event)
{
    if (!event.down || !active())
        return false;
    switch (event.code) {
    case KEY_BACKSPACE:
        if (caret_ > 0 && !text().empty()) {
            size_t const start = grapheme_before(caret_);
            core::String edited = text();
            edited.erase(start, caret_ - start);
            caret_ = start;
            set_text(edited);
        }
        break;
    case KEY_ENTER:
        on_char(u'\n');
        break;
    case KEY_LEFT:
        caret_ = grapheme_before(caret_);
        break;
    case KEY_RIGHT:
        caret_ = grapheme_after(caret_);
        break;
    case KEY_UP:
    case KEY_DOWN: {
        if (!style().wrap)
            return false;
        size_t const line = line_of(prepared_index(caret_));
        size_t const count = lines().size();
        bool const up = event.code == KEY_UP;
        if ((up && line > 0) || (!up && line + 1 < count))
            caret_ = index_in_line(up ? line - 1 : line + 1, caret_point().x);
        break;
    }
    default:
        return false;
    }
    follow_caret();
    restart_blink();
    return true;
}

bool EditElement::on_char(char16_t character)
{
    if (!active())
        return false;
    // Control characters other than line feed and tab are keys, not text.
    if (character < u' ' && character != u'\n' && character != u'\t')
        return false;
    insert(character);
    restart_blink();
    return true;
}

void EditElement::insert(char16_t character)
{
    core::String edited = text();
    edited.insert(edited.begin() + static_cast<ptrdiff_t>(caret_), character);
    ++caret_;
    set_text(edited);
}

size_t EditElement::grapheme_before(size_t index) const
{
    if (index == 0)
        return 0;
    if (!font())
        return index - 1;
    std::vector<uint8_t> const starts = font()->grapheme_starts(text());
    size_t i = std::min(index - 1, starts.size());
    while (i > 0 && i < starts.size() && !starts[i])
        --i;
    return i;
}

size_t EditElement::grapheme_after(size_t index) const
{
    size_t const size = text().size();
    if (index >= size)
        return size;
    if (!font())
        return index + 1;
    std::vector<uint8_t> const starts = font()->grapheme_starts(text());
    size_t i = index + 1;
    while (i < size && !starts[i])
        ++i;
    return i;
}

int32_t EditElement::edge_before(core::StringView line, size_t offset) const
{
    offset = std::min(offset, line.size());
    if (offset == 0)
        return 0;
    std::vector<int32_t> edges;
    font()->measure(line, 0, &edges);
    return edges[offset - 1];
}

size_t EditElement::prepared_index(size_t index) const
{
    auto const& t = text();
    index = std::min(index, t.size());
    size_t tabs = static_cast<size_t>(std::count(t.begin(), t.begin() + static_cast<ptrdiff_t>(index), u'\t'));
    return index + tabs * (TAB_WIDTH - 1);
}

size_t EditElement::original_index(size_t prepared) const
{
    auto const& t = text();
    size_t i = 0;
    for (size_t q = 0; i < t.size() && q < prepared; ++i)
        q += t[i] == u'\t' ? TAB_WIDTH : 1;
    return i;
}

size_t EditElement::line_of(size_t prepared) const
{
    auto const& all = lines();
    size_t line = 0;
    for (size_t k = 1; k < all.size() && all[k].start <= prepared; ++k)
        line = k;
    return line;
}

Point EditElement::caret_point() const
{
    if (!font() || lines().empty())
        return {};
    size_t const p = prepared_index(caret_);
    size_t const k = line_of(p);
    auto const& line = lines()[k];
    size_t const offset = p > line.start ? p - line.start : 0;
    int32_t const x = line_start(line.width) + edge_before(line.text, offset);
    return { x, block_top() + static_cast<int32_t>(k) * font()->height() };
}

size_t EditElement::index_in_line(size_t k, int32_t x) const
{
    auto const& line = lines()[k];
    int32_t const relative = x - line_start(line.width);
    std::vector<int32_t> edges;
    font()->measure(line.text, 0, &edges);
    std::vector<uint8_t> const starts = font()->grapheme_starts(line.text);
    // The grapheme boundary nearest to x: before the first character, or after character j - 1.
    size_t best = 0;
    int64_t best_distance = std::abs(int64_t(relative));
    for (size_t j = 0; j < edges.size(); ++j) {
        if (j + 1 < starts.size() && !starts[j + 1])
            continue;
        int64_t const distance = std::abs(int64_t(relative) - edges[j]);
        if (distance < best_distance) {
            best = j + 1;
            best_distance = distance;
        }
    }
    return original_index(line.start + best);
}

size_t EditElement::index_at(Point point) const
{
    if (!font() || lines().empty())
        return 0;
    int32_t const height = std::max(font()->height(), 1);
    int64_t const row = (int64_t(point.y) - block_top()) / height;
    size_t const k = static_cast<size_t>(std::clamp<int64_t>(row, 0, int64_t(lines().size()) - 1));
    return index_in_line(k, point.x);
}

void EditElement::draw(RenderSurface& surface, Point origin)
{
    if (has_background_)
        fill(surface, origin, size(), background_);
    follow_caret();
    if (overflows())
        draw_scrolled(surface, origin);
    else
        TextElement::draw(surface, origin);
    if (caret_shown() && font()) {
        ClipGuard const clip(surface, origin, size());
        fill(surface, origin + caret_point(), { font()->description().scale, font()->height() }, style().color);
    }
}

void EditElement::draw_scrolled(RenderSurface& surface, Point origin)
{
    ClipGuard const clip(surface, origin, size());
    core::String const& line = lines().front().text;
    // The highlight (a selection) in the prepared text's indices, as its three runs.
    size_t const start = std::min(prepared_index(highlight_start()), line.size());
    size_t const end = std::min(prepared_index(highlight_start() + highlight_length()), line.size());
    core::StringView const all = line;
    core::StringView const runs[] = { all.substr(0, start), all.substr(start, end - start), all.substr(end) };
    TextStyle run_style { style().color, HAlign::LEFT, VAlign::TOP, false };
    int32_t x = origin.x - scroll_x_;
    int32_t const y = origin.y + block_top();
    for (size_t i = 0; i < 3; ++i) {
        if (runs[i].empty())
            continue;
        int32_t const width = font()->measure(runs[i]).width;
        run_style.color = i == 1 && highlight_length() > 0 ? highlight_color() : style().color;
        font()->draw_text(surface, runs[i], { x, y }, { width + caret_width(), font()->height() }, run_style);
        x += width;
    }
    Element::draw(surface, origin);
}

} // namespace skin
