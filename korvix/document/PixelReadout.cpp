#include "document/PixelReadout.h"

PixelReadout readPixel(const PixelBitmap& map, int x, int y)
{
    const std::uint32_t v = map.pixelAt(x, y);
    auto lift = [](std::int32_t c) { return c == 254 ? 255 : c; };
    PixelReadout r;
    r.x = x;
    r.y = y;
    r.red = lift(static_cast<std::int32_t>((v >> 16) & 0xFF));
    r.green = static_cast<std::int32_t>((v >> 8) & 0xFF);
    r.blue = lift(static_cast<std::int32_t>(v & 0xFF));
    r.alpha = map.hasAlpha() ? static_cast<std::int32_t>(v >> 24) : 255;
    return r;
}
