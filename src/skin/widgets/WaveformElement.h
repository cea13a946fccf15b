#pragma once

#include "ButtonListener.h"

#include <skin/Color.h>
#include <skin/Element.h>

#include <cstdint>
#include <deque>
#include <vector>

namespace skin {

// "waveform": a recording drawn as bars, each the peak of its stretch of sound. It shows either the whole
// of a recording (`set_peaks`), the part before `played` in the played colour and the part whose peaks
// are still being computed left empty, or a scrolling history of levels (`push_level`) with the newest
// bar at the right edge, the loudest EDGE design pixels short of the top and the bottom (heights are
// scaled to the loudest peak held, by at most MAX_GAIN). Bars are
// "bar_width" wide with "bar_gap" between them (design pixels); at 192
// dpi they get round ends and their heights use every physical row. With a seek listener bound, a press
// or a drag on it reports the pen's point to that listener as a button's drag does; without one it
// takes no input.
// Threads: main thread only.
class WaveformElement : public Element {
public:
    // The peaks' full scale: a peak of this value fills the element's height.
    static constexpr uint8_t FULL = 255;
    static constexpr int32_t MAX_BAR = 16;
    // Design pixels kept free above and below the loudest bar.
    static constexpr int32_t EDGE = 2;
    // The loudest peak held fills the height, but a quiet recording is raised at most this many times, so
    // that hiss does not look like speech.
    static constexpr int32_t MAX_GAIN = 8;

    explicit WaveformElement(Element* parent);
    ~WaveformElement() override;

    void load(PropertiesImpl const& properties, ElementRecord record) override;
    void draw(RenderSurface& surface, Point origin) override;
    bool hit_test(Point point) const override;
    bool on_pen(PenEvent const& event) override;
    void on_pen_move(Point point) override;

    // The whole recording: `peaks` spread over the width, of which the first `known` share is computed
    // (0 to 1; the rest is drawn empty until it arrives).
    void set_peaks(std::vector<uint8_t> peaks, double known);
    // The share of the recording played (0 to 1); bars before it take the played colour.
    void set_played(double played);
    // Scrolls one bar in at the right with the level (0 to 1); the oldest leaves at the left.
    void push_level(double level);
    // Drops the peaks and the history.
    void clear();

    // Null: the element takes no input.
    void set_seek_listener(ButtonListener* listener) { seek_listener_ = listener; }
    bool pressed() const { return pressed_; }

    // The bars that fit the width, and each bar's height (0 to FULL) as drawn.
    int32_t bar_count() const;
    std::vector<uint8_t> bar_peaks() const;
    double played() const { return played_; }
    // The share of the recording whose peaks are set (0 to 1).
    double known() const { return known_; }
    bool scrolling() const { return scrolling_; }
    int32_t bar_width() const { return bar_width_ << shift_; }
    int32_t bar_step() const { return (bar_width_ + bar_gap_) << shift_; }

private:
    // The peak drawn at full height.
    int32_t loudest() const;
    void draw_bar(RenderSurface& surface, Point origin, int32_t x, uint8_t peak, int32_t loudest, Color color) const;

    Color wave_ { 0x3A, 0x46, 0x52, 255 };
    Color played_color_ { 0x3B, 0xA8, 0xE8, 255 };
    Color back_ { 0, 0, 0, 0 };
    Color centre_ { 0x2C, 0x36, 0x40, 255 };
    int32_t bar_width_ = 2;
    int32_t bar_gap_ = 1;
    int32_t shift_ = 0;

    std::vector<uint8_t> peaks_;
    double known_ = 0;
    double played_ = 0;
    std::deque<uint8_t> history_;
    bool scrolling_ = false;

    ButtonListener* seek_listener_ = nullptr;
    bool pressed_ = false;
    Point last_point_;
};

} // namespace skin
