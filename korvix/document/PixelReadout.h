// What the picture view reports about the pixel under the mouse; the info pane
// copies the record when it receives it. The entry under the mouse has its own
// record, EntryReadout.
#pragma once

#include "codecs/PixelBitmap.h"

#include <array>
#include <cstdint>
#include <string>

struct PixelReadout {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t reserved1 = 0;
    std::int32_t reserved2 = 0;
    std::int32_t red = 0;
    std::int32_t green = 0;
    std::int32_t blue = 0;
    std::int32_t alpha = 0;

    bool operator==(const PixelReadout&) const = default;
};
static_assert(sizeof(PixelReadout) == 32);

// Reads pixel (x, y) of a 32-bit map, top-down coordinates. Red and blue of 254
// read as 255 (the RGBA view divides by 256, so opaque white shows as 254 and
// would otherwise be reported so); green is reported as stored. A map without
// alpha reports 255 whatever its fourth byte holds.
PixelReadout readPixel(const PixelBitmap& map, int x, int y);
