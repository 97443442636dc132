// The RGBA view's blend of a picture over the grey background pattern.
#pragma once

#include <cstddef>
#include <cstdint>

class PixelBitmap;

namespace backgroundblend {

// One row of `count` pixels: each colour byte of `out` becomes
// ((255 - a) * g + v * a) >> 8, with v the byte of `in`, a the pixel's alpha
// and g the pixel's background value in `grey`; the alpha bytes of `out` are
// left as they are. Both products and their sum fit 16 bits.
using RowBlend = void (*)(const std::uint8_t* in, std::uint8_t* out, const std::uint8_t* grey, int count);

void rowScalar(const std::uint8_t* in, std::uint8_t* out, const std::uint8_t* grey, int count);
#if defined(__x86_64__) || defined(__i386__)
void rowSse2(const std::uint8_t* in, std::uint8_t* out, const std::uint8_t* grey, int count);
void rowAvx2(const std::uint8_t* in, std::uint8_t* out, const std::uint8_t* grey, int count);
#endif
// The row blend for this machine (the widest vector unit it has).
RowBlend bestRow();
// Whether the machine runs rowAvx2.
bool hasAvx2();

// Rows y0 ... y1 - 1 of `src` into the same rows of `dst` (of the same size);
// background row y starts at background + y * backgroundStride.
void blendRows(const PixelBitmap& src, PixelBitmap& dst, const std::uint8_t* background, std::size_t backgroundStride,
               int y0, int y1);

}  // namespace backgroundblend
