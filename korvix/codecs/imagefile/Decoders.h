// The decoders behind decodeFile and decodeMemory, one per file, and the helpers
// they share. Each reads from the source it is given and re-creates the bitmap.
#pragma once

#include "ByteSource.h"
#include "codecs/PixelBitmap.h"

#include <cstdint>

namespace imagefile {

void decodeBmp(ByteSource& src, PixelBitmap& bitmap, int bitsWanted);
void decodeTga(ByteSource& src, PixelBitmap& bitmap, int bitsWanted);
void decodeTiff(ByteSource& src, PixelBitmap& bitmap, int bitsWanted);
void decodeEps(ByteSource& src, PixelBitmap& bitmap, int bitsWanted);
void decodeJpeg(ByteSource& src, PixelBitmap& bitmap, int bitsWanted);
void decodePng(ByteSource& src, PixelBitmap& bitmap, int bitsWanted);
void decodePcx(ByteSource& src, PixelBitmap& bitmap);
void decodePgm(ByteSource& src, PixelBitmap& bitmap, int bitsWanted);
void decodePict(ByteSource& src, PixelBitmap& bitmap);

// Largest image a decoder creates: 2^28 pixels (1 GiB at 32 bits) and 2^20 on a side.
constexpr std::int64_t MAX_PIXELS = std::int64_t{1} << 28;
constexpr std::int64_t MAX_SIDE = std::int64_t{1} << 20;

// Checks the size (positive, within the limits above) before creating the bitmap.
void createImage(PixelBitmap& bitmap, std::int64_t width, std::int64_t height, int bitsPerPixel, bool hasAlpha,
                 const char* format);

// Opaque 0xAARRGGBB from red, green, blue.
constexpr std::uint32_t rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b)
{
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

// Writes one row of colour-table indices: as indices into an 8-bit bitmap, or
// looked up in table (256 entries) into a 32-bit one.
inline void putIndexRow(PixelBitmap& bitmap, int y, const std::uint8_t* indices, const std::uint32_t* table)
{
    std::uint8_t* out = bitmap.row(y);
    const int w = bitmap.width();
    if (bitmap.bitsPerPixel() == 8) {
        for (int x = 0; x < w; ++x)
            out[x] = indices[x];
        return;
    }
    auto* px = reinterpret_cast<std::uint32_t*>(out);
    for (int x = 0; x < w; ++x)
        px[x] = table[indices[x]];
}

}  // namespace imagefile
