// The decoders behind decodeFile and decodeMemory, one per file, and the helpers
// they share. Each reads from the source it is given and re-creates the bitmap.
#pragma once

#include "ByteSource.h"
#include "codecs/imagefile/ImageFile.h"
#include "codecs/PixelBitmap.h"

#include <cstdint>

namespace imagefile {

// What one decode is asked for: the depth (0 or 32), the caller's limits, and,
// when only the header is wanted, where it goes. A probe stops in createImage,
// where the pixels would be allocated.
struct Request {
    int bitsWanted = 32;
    DecodeLimits limits;
    ImageHeader* probe = nullptr;
};

// Thrown by createImage when a probe has its header; caught by probeImage only.
struct ProbeDone {};

void decodeBmp(ByteSource& src, PixelBitmap& bitmap, const Request& req);
void decodeTga(ByteSource& src, PixelBitmap& bitmap, const Request& req);
void decodeTiff(ByteSource& src, PixelBitmap& bitmap, const Request& req);
void decodeEps(ByteSource& src, PixelBitmap& bitmap, const Request& req);
void decodeJpeg(ByteSource& src, PixelBitmap& bitmap, const Request& req);
void decodePng(ByteSource& src, PixelBitmap& bitmap, const Request& req);
void decodePcx(ByteSource& src, PixelBitmap& bitmap, const Request& req);
void decodePgm(ByteSource& src, PixelBitmap& bitmap, const Request& req);
void decodePict(ByteSource& src, PixelBitmap& bitmap, const Request& req);

// Largest image a decoder creates: 2^28 pixels (1 GiB at 32 bits) and 2^20 on a side.
constexpr std::int64_t MAX_PIXELS = DecodeLimits{}.maxPixels;
constexpr std::int64_t MAX_SIDE = DecodeLimits{}.maxSide;

// The most working memory a codec library may take for one request: eight
// bytes per pixel the request allows (a progressive JPEG's coefficients, a
// 16-bit TIFF strip) and a little over for tables.
constexpr std::uint64_t workingBytes(const Request& req)
{
    const std::int64_t pixels = req.limits.maxPixels < MAX_PIXELS ? req.limits.maxPixels : MAX_PIXELS;
    return static_cast<std::uint64_t>(pixels > 0 ? pixels : 0) * 8 + (std::uint64_t{16} << 20);
}

// Checks the size (positive, within the ceilings above and the request's
// limits), then creates the bitmap, or for a probe records the header and
// throws ProbeDone.
void createImage(PixelBitmap& bitmap, std::int64_t width, std::int64_t height, int bitsPerPixel, bool hasAlpha,
                 const char* format, const Request& req);

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
