#pragma once

#include "Color.h"

#include <core/Strings.h>

#include <array>
#include <cstdint>
#include <memory>

namespace skin {

class FontRep;
class RenderSurface;

// What the form stack shows over every frame while the process-wide diagnostic flag is set (it is clear
// at start): a 150 x 20 box at the top left, half dark, with the average time between frames, in
// brackets when the frame was redrawn, and the pixels held by all render surfaces, in a colour that goes
// from green (under 20 ms) through yellow to red (60 ms and more).
// Threads: main thread only (the flag may be read from anywhere).
class DiagnosticOverlay {
public:
    static constexpr int32_t WIDTH = 150;
    static constexpr int32_t HEIGHT = 20;
    // Frames averaged over.
    static constexpr size_t FRAMES = 16;

    DiagnosticOverlay();
    ~DiagnosticOverlay();
    DiagnosticOverlay(DiagnosticOverlay const&) = delete;
    DiagnosticOverlay& operator=(DiagnosticOverlay const&) = delete;

    static void set_enabled(bool enabled);
    static bool enabled();

    // A frame painted at `now` (tick count in milliseconds).
    void count_frame(uint32_t now);
    // Milliseconds between the last frames (0 before the second frame).
    double average_ms() const;

    // "[12.3 ms] 345 Kp": whole milliseconds, tenths, the brackets only for a redrawn frame, and the
    // render surfaces' pixels in thousands.
    static core::String text(double average_ms, bool redrawn, int64_t pixels);
    static Color text_color(double average_ms);

    void draw(RenderSurface& surface, bool redrawn);

private:
    std::array<uint32_t, FRAMES> intervals_ {};
    size_t count_ = 0;
    size_t next_ = 0;
    uint32_t last_ = 0;
    bool started_ = false;
    std::unique_ptr<FontRep> font_;
};

} // namespace skin
