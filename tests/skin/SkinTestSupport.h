#pragma once

#include <core/Log.h>
#include <os/LogFile.h>
#include <skin/Bitmap565.h>
#include <skin/RenderSurface.h>
#include <support/TestSupport.h>

#include <memory>
#include <string>

namespace skin_testing {

// Captures the log in memory while it lives; the registry-driven log is back afterwards.
class LogCapture final : public core::LogSource {
public:
    LogCapture() { core::set_log_source(this); }
    ~LogCapture() override { os::install_log(); }

    bool logging_on() override { return true; }
    std::unique_ptr<core::TextSink> open_file() override { return std::make_unique<Sink>(text_); }
    core::String const& text() const { return *text_; }
    bool contains(core::StringView piece) const { return text_->find(piece) != core::String::npos; }

private:
    struct Sink final : core::TextSink {
        explicit Sink(std::shared_ptr<core::String> text)
            : text(std::move(text))
        {
        }
        void write(char16_t const* data, size_t count) override { text->append(data, count); }
        void flush() override { }
        std::shared_ptr<core::String> text;
    };
    std::shared_ptr<core::String> text_ = std::make_shared<core::String>();
};

// The folder of the test skins compiled at build time.
inline std::string compiled_skins()
{
    return std::string(RAVELIN_TEST_DATA_DIR) + "/skin/data";
}

inline void fill_bitmap(skin::Bitmap565& bitmap, uint16_t pixel)
{
    for (int32_t y = 0; y < bitmap.height(); ++y)
        for (int32_t x = 0; x < bitmap.width(); ++x)
            bitmap.at(x, y) = pixel;
}

// The pixel of grid.png at (x, y) as the skin compiler converts it: red 20x, green 20y, opaque.
inline uint16_t grid_pixel(int32_t x, int32_t y)
{
    return static_cast<uint16_t>((((20 * x) & 0xF8) << 8) | (((20 * y) & 0xFC) << 3) | 0x0020);
}

} // namespace skin_testing
