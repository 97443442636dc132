#pragma once

#include <cstdint>

// The channel and rectangle an image filter works on. Created by the caller,
// attached to the source and the destination of an operation, and outliving
// both. The rectangle is [x, x + width) x [y, y + height), top-left origin;
// the part outside the image is ignored.
struct ProcessRegion {
    enum Channel : std::int32_t { Colour = 0, Blue = 1, Green = 2, Red = 3, Alpha = 4 };

    std::int32_t channel = Colour;
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};
