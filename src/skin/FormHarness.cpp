#include "FormHarness.h"

#include "BitmapPng.h"
#include "ElementTypes.h"
#include "FormBinding.h"
#include "InputEvents.h"

#include <algorithm>

namespace skin {

FormHarness::FormHarness(core::StringView skin_path, Point screen_size, int32_t dpi)
    : stack_(screen_size)
    , screen_(screen_size)
{
    register_element_types(registry_);
    properties_.set_node_registry(&registry_);
    DisplayInfo display;
    display.width = display.width_copy = screen_size.x;
    display.height = display.height_copy = screen_size.y;
    display.dpi_y = dpi;
    loaded_ = properties_.load_skin(skin_path, display);
    stack_.set_clock([this] { return now_; });
}

FormHarness::~FormHarness() = default;

std::unique_ptr<Form> FormHarness::make_form(core::StringView name)
{
    auto form = std::make_unique<Form>();
    load_entry(*form, properties_, name);
    return form;
}

bool FormHarness::pen_down(Point point)
{
    Form* form = stack_.top();
    PenEvent event;
    event.x = point.x;
    event.y = point.y;
    event.time = now_;
    event.down = 1;
    return form && form->on_pen(event);
}

void FormHarness::pen_move(Point point)
{
    if (Form* form = stack_.top())
        form->on_pen_move(point, now_);
}

bool FormHarness::pen_up(Point point)
{
    Form* form = stack_.top();
    PenEvent event;
    event.x = point.x;
    event.y = point.y;
    event.time = now_;
    return form && form->on_pen(event);
}

bool FormHarness::key(int32_t code, bool down)
{
    Form* form = stack_.top();
    return form && form->on_key({ code, down });
}

bool FormHarness::character(char16_t character)
{
    Form* form = stack_.top();
    return form && form->on_char(character);
}

void FormHarness::advance(uint32_t milliseconds, uint32_t frame_ms)
{
    frame_ms = std::max<uint32_t>(frame_ms, 1);
    while (milliseconds > 0) {
        uint32_t const step = std::min(milliseconds, frame_ms);
        now_ += step;
        milliseconds -= step;
        stack_.tick(step / 1000.0);
        paint();
    }
}

void FormHarness::paint()
{
    stack_.paint_frame(screen_);
}

void FormHarness::resize(Point size)
{
    screen_.recreate(size);
    stack_.set_window_size(size);
}

uint16_t FormHarness::pixel(Point point) const
{
    Bitmap565 const* bitmap = screen_.bitmap();
    if (!bitmap || point.x < 0 || point.y < 0 || point.x >= bitmap->width() || point.y >= bitmap->height())
        return 0;
    return bitmap->at(point.x, point.y);
}

bool FormHarness::save_png(std::string const& path) const
{
    Bitmap565 const* bitmap = screen_.bitmap();
    return bitmap && write_png(*bitmap, path);
}

} // namespace skin
