#include "WaveformElement.h"

#include <skin/Drawing.h>
#include <skin/InputEvents.h>
#include <skin/InputHost.h>
#include <skin/PropertiesImpl.h>

#include <algorithm>
#include <cmath>
#include <core/Log.h>

namespace skin {

namespace {

// The scrolling history keeps more bars than any screen is wide, so a wider layout after a rotation
// still finds them.
constexpr size_t HISTORY = 2048;

uint8_t to_peak(double level)
{
    level = std::isnan(level) ? 0.0 : std::clamp(level, 0.0, 1.0);
    return static_cast<uint8_t>(std::lround(level * WaveformElement::FULL));
}

} // namespace

WaveformElement::WaveformElement(Element* parent)
    : Element(parent)
{
    if (InputHost* host = input_host())
        host->add_input(this);
}

WaveformElement::~WaveformElement()
{
    if (InputHost* host = input_host())
        host->remove_input(this);
}

void WaveformElement::load(PropertiesImpl const& properties, ElementRecord record)
{
    Element::load(properties, record);
    wave_ = properties.lookup_color(record, u"color_wave", wave_);
    played_color_ = properties.lookup_color(record, u"color_played", played_color_);
    back_ = properties.lookup_color(record, u"color_back", back_);
    centre_ = properties.lookup_color(record, u"color_centre", centre_);
    shift_ = properties.scale_shift();
    int32_t const width = properties.lookup_int(record, u"bar_width", 2);
    int32_t const gap = properties.lookup_int(record, u"bar_gap", 1);
    // The compiler refuses these; a file made otherwise falls back rather than drawing nonsense.
    if (width < 1 || width > MAX_BAR || gap < 0 || gap > MAX_BAR) {
        core::log() << u"WaveformElement::load {" << id() << u"} bar_width " << width << u" bar_gap " << gap
                    << u" out of range; 2 and 1 used\n";
        bar_width_ = 2;
        bar_gap_ = 1;
    } else {
        bar_width_ = width;
        bar_gap_ = gap;
    }
}

void WaveformElement::set_peaks(std::vector<uint8_t> peaks, double known)
{
    known = std::isnan(known) ? 0.0 : std::clamp(known, 0.0, 1.0);
    if (scrolling_ || known != known_ || peaks != peaks_) {
        peaks_ = std::move(peaks);
        known_ = known;
        scrolling_ = false;
        mark_redraw();
    }
}

void WaveformElement::set_played(double played)
{
    played = std::isnan(played) ? 0.0 : std::clamp(played, 0.0, 1.0);
    if (played == played_)
        return;
    // Only a change that moves the colour over a bar needs a new picture.
    int32_t const n = bar_count();
    bool const moved = std::lround(played * n) != std::lround(played_ * n);
    played_ = played;
    if (moved)
        mark_redraw();
}

void WaveformElement::push_level(double level)
{
    if (!scrolling_) {
        peaks_.clear();
        known_ = 0;
        scrolling_ = true;
    }
    history_.push_back(to_peak(level));
    if (history_.size() > HISTORY)
        history_.pop_front();
    mark_redraw();
}

void WaveformElement::clear()
{
    peaks_.clear();
    history_.clear();
    known_ = 0;
    played_ = 0;
    mark_redraw();
}

int32_t WaveformElement::bar_count() const
{
    int32_t const step = bar_step();
    // A last bar narrower than the others is left out, so both edges look alike.
    return size().x > 0 ? (size().x + (bar_gap_ << shift_)) / step : 0;
}

std::vector<uint8_t> WaveformElement::bar_peaks() const
{
    size_t const n = static_cast<size_t>(bar_count());
    std::vector<uint8_t> bars(n, 0);
    if (scrolling_) {
        size_t const shown = std::min(n, history_.size());
        std::copy(
            history_.end() - static_cast<ptrdiff_t>(shown), history_.end(), bars.end() - static_cast<ptrdiff_t>(shown));
        return bars;
    }
    size_t const total = peaks_.size();
    if (total == 0)
        return bars;
    for (size_t i = 0; i < n; ++i) {
        // A bar past what is known stays empty: it fills in as the peaks arrive.
        if (double(i) / double(n) >= known_)
            break;
        size_t const begin = i * total / n;
        size_t const end = std::max(begin + 1, (i + 1) * total / n);
        bars[i] = *std::max_element(peaks_.begin() + static_cast<ptrdiff_t>(begin),
            peaks_.begin() + static_cast<ptrdiff_t>(std::min(end, total)));
    }
    return bars;
}

int32_t WaveformElement::loudest() const
{
    // Over everything held, not only the bars in sight, so that the scale stays put while bars scroll.
    uint8_t const most = scrolling_ ? (history_.empty() ? 0 : *std::max_element(history_.begin(), history_.end()))
                                    : (peaks_.empty() ? 0 : *std::max_element(peaks_.begin(), peaks_.end()));
    return std::max<int32_t>(most, FULL / MAX_GAIN);
}

void WaveformElement::draw_bar(
    RenderSurface& surface, Point origin, int32_t x, uint8_t peak, int32_t loudest, Color color) const
{
    int32_t const height = size().y;
    int32_t const width = bar_width();
    // The loudest bar stops short of the edges, so that it never touches what lies above or below.
    int32_t const room = std::max(0, height - 2 * (EDGE << shift_));
    // Heights in physical rows, so that a 192-dpi bar is not two coarse rows per step; a peak above
    // silence shows at least as a dot.
    int32_t h = static_cast<int32_t>(std::lround(double(std::min<int32_t>(peak, loudest)) * room / loudest));
    if (peak > 0)
        h = std::max(h, std::min(room, 1 << shift_));
    if (h <= 0)
        return;
    int32_t const top = (height - h) / 2;
    if (shift_ > 0 && width >= 3 && h >= 3) {
        // Round ends: the corner pixels of the bar stay off.
        fill(surface, origin + Point { x + 1, top }, { width - 2, h }, color);
        fill(surface, origin + Point { x, top + 1 }, { width, h - 2 }, color);
    } else {
        fill(surface, origin + Point { x, top }, { width, h }, color);
    }
}

void WaveformElement::draw(RenderSurface& surface, Point origin)
{
    if (back_.alpha != 0)
        fill(surface, origin, size(), back_);
    // The centre line: one physical row at every scale.
    fill(surface, origin + Point { 0, size().y / 2 }, { size().x, 1 }, centre_);
    std::vector<uint8_t> const bars = bar_peaks();
    int32_t const n = static_cast<int32_t>(bars.size());
    int32_t const played_bars = scrolling_ ? n : static_cast<int32_t>(std::lround(played_ * n));
    // The bars as a group keep the element's centre: the spare pixels split between both edges.
    int32_t const spare = size().x - (n > 0 ? n * bar_step() - (bar_gap_ << shift_) : 0);
    int32_t const left = spare / 2;
    int32_t const most = loudest();
    for (int32_t i = 0; i < n; ++i)
        draw_bar(surface, origin, left + i * bar_step(), bars[static_cast<size_t>(i)], most,
            i < played_bars ? played_color_ : wave_);
}

bool WaveformElement::hit_test(Point point) const
{
    return seek_listener_ && Element::hit_test(point);
}

bool WaveformElement::on_pen(PenEvent const& event)
{
    bool const was = pressed_;
    pressed_ = event.down != 0 && !event.cancel && seek_listener_;
    last_point_ = event.point();
    if (pressed_ && seek_listener_) {
        DragEvent drag { last_point_, {}, 0, 0 };
        seek_listener_->on_drag(this, drag);
    }
    if (was != pressed_ && seek_listener_)
        seek_listener_->on_press_changed(this, { last_point_, event.cancel != 0 });
    return true;
}

void WaveformElement::on_pen_move(Point point)
{
    if (!pressed_ || !seek_listener_)
        return;
    DragEvent drag { point, point - last_point_, 0, 0 };
    last_point_ = point;
    seek_listener_->on_drag(this, drag);
}

} // namespace skin
