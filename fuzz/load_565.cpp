// The BMP loader, then a nine-grid drawing of what it loaded with corners, scale and size taken from the
// input: neither may crash or read outside a bitmap.
#include <skin/Blitter.h>
#include <skin/Drawing.h>
#include <skin/PictureRef.h>
#include <skin/RenderSurface.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    using namespace skin;
    constexpr size_t PLAN = 12;
    if (size < PLAN)
        return 0;
    auto bitmap = decode_bmp565(data + PLAN, size - PLAN, u"fuzz");
    if (!bitmap)
        return 0;
    uint32_t sum = 0;
    for (int32_t y = 0; y < bitmap->height(); ++y)
        for (int32_t x = 0; x < bitmap->width(); ++x)
            sum += bitmap->at(x, y);
    PictureRef ref;
    ref.scale_shift = data[0] & 1;
    for (int i = 0; i < 4; ++i)
        ref.corners[i] = { (data[1 + i] % 24) << ref.scale_shift, (data[5 + i] % 24) << ref.scale_shift };
    ref.picture = std::make_shared<PictureHolder const>(u"fuzz", std::move(bitmap));
    RenderSurface surface(Point { 48, 40 });
    Point const origin { int32_t(data[9] % 64) - 16, int32_t(data[10] % 64) - 16 };
    Point const extent { int32_t(data[11] % 80), int32_t(data[11] / 3 % 80) };
    draw_picture(surface, origin, extent, ref, alpha_blitter(data[9]));
    blit(surface, origin, extent, ref.picture->bitmap(), { data[1] % 8, data[2] % 8 }, keyed_blitter());
    stretch_blit(surface, origin, extent, ref.picture->bitmap(), { 0, 0 }, ref.picture->size(), plain_blitter());
    return static_cast<int>(sum & 0);
}
