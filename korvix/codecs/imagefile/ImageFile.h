// The image-file layer: reading ordinary image files into a PixelBitmap and
// writing a PixelBitmap as TGA, BMP, TIFF, JPEG or PNG.
//
// Reading. decodeFile and decodeMemory find the type (detectImageType; the
// metafile types by file name only) and re-create the given bitmap with the
// image's size, depth and alpha flag, rows top to bottom. bitsWanted is 32 (every
// decoder produces 32 bits, blue-green-red-alpha) or 0 (palette and grey sources
// of at most 8 bits give an 8-bit bitmap with a colour table; PCX, PICT and the
// metafiles always give 32 bits). Any other value is refused.
//
// Failures throw CTextException with one of these codes:
//   1 not the expected format, truncated or malformed data
//   2 a variant of the format that is not decoded
//   6 a recognised but refused type (GIF, metafiles without a renderer, PICT with JPEG data, BMP delta escapes)
//   7 corrupt compressed data
//   8 unknown file type
//   10 out of memory or an image too large to hold
//   11 encoder output larger than the output buffer
//   12 an image larger than the caller's DecodeLimits (nothing was allocated)
// A file that cannot be opened throws with its errno and "Opening <path> failed".
// After a failure the bitmap's content is undefined; discard it.
//
// Thread safety: all functions are reentrant; the metafile renderer registry is
// meant to be set once at start-up, before any decoding.
#pragma once

#include "codecs/PixelBitmap.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

enum ImageType : int {
    IMAGE_NONE = 0,
    IMAGE_BMP = 1,
    IMAGE_PICT = 2,
    IMAGE_TGA = 3,
    IMAGE_TIFF = 4,
    IMAGE_JPEG = 5,
    IMAGE_PNG = 6,
    IMAGE_EPS = 7,
    IMAGE_WMF = 8,
    IMAGE_EMF = 9,
    IMAGE_PCX = 10,
    IMAGE_PGM = 11,
    IMAGE_GIF = 12,
};

// The type of the data from its first bytes (a few hundred bytes are enough;
// PICT needs more than 540). Metafiles are never detected from bytes.
int detectImageType(const std::uint8_t* bytes, std::size_t size);
// The type decodeFile would use for this file name and these first bytes.
int detectImageFileType(const std::string& path, const std::uint8_t* bytes, std::size_t size);

// What a caller lets one decode create. An image whose declared size exceeds
// the limits is refused with code 12 after its header is read and before its
// pixels are allocated; a metafile is refused before it is rendered. The
// defaults are the decoders' own ceilings (2^28 pixels, 2^20 on a side), beyond
// which an image is refused with code 10 whatever the limits say.
struct DecodeLimits {
    std::int64_t maxPixels = std::int64_t{1} << 28;
    std::int64_t maxSide = std::int64_t{1} << 20;
};

// Both return the type they decoded (ImageType).
int decodeFile(const std::string& path, PixelBitmap& bitmap, int bitsWanted, const DecodeLimits& limits = {});
int decodeMemory(const std::uint8_t* bytes, std::size_t size, PixelBitmap& bitmap, int bitsWanted,
                 const DecodeLimits& limits = {});

// What decoding would create, learnt from the header alone: the same checks
// run as in decodeMemory up to the point where the pixels would be allocated,
// so a file the decoder refuses from its header is refused here too, and the
// size and alpha flag are the ones decoding gives. No pixel is decoded.
struct ImageHeader {
    int type = IMAGE_NONE;
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    bool hasAlpha = false;
};
// type is what detectImageFileType gives (metafiles included). Throws
// CTextException like decoding does; no renderer is needed for metafiles.
ImageHeader probeImage(int type, const std::uint8_t* bytes, std::size_t size, int bitsWanted = 32);

// Throws code 12 when width x height exceeds the limits (format names the
// image type in the message), code 1 when a side is not positive.
void checkDecodeLimits(std::int64_t width, std::int64_t height, const DecodeLimits& limits, const char* format);

// Renders Windows metafiles (type 8) and enhanced metafiles (type 9) onto a white
// background at 32 bits with hasAlpha set. The application registers one at
// start-up; without one, decoding a metafile is refused with code 6.
class MetafileRenderer {
public:
    virtual ~MetafileRenderer() = default;
    // type is IMAGE_WMF or IMAGE_EMF; throws CTextException. A frame larger
    // than the limits is refused (code 12, see checkDecodeLimits) before rendering.
    virtual void render(int type, const std::uint8_t* bytes, std::size_t size, PixelBitmap& bitmap,
                        const DecodeLimits& limits) = 0;
};
// A renderer may live in a module loaded at run time: the module exports, with C
// linkage, a function of this name and type that sets its argument to a new
// renderer.
inline constexpr char METAFILE_MODULE_ENTRY[] = "korvix_metafile_renderer";
using MetafileModuleEntry = void (*)(std::shared_ptr<MetafileRenderer>&);

// Installs the renderer decodeFile uses for metafiles (null removes it).
void setMetafileRenderer(std::shared_ptr<MetafileRenderer> renderer);
std::shared_ptr<MetafileRenderer> metafileRenderer();

// A simple top-down image block for TGA output: samples red, green, blue (and
// alpha) per pixel, rows of bytesPerRow bytes without gaps.
struct RawImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t reserved0 = 0;
    std::int32_t reserved1 = 0;
    std::int32_t sampleType = 0;  // 1, 2, 3, 4: 1-, 8-, 16-, 32-bit samples
    std::int32_t orientation = 0;
    std::int32_t channels = 0;
    std::int32_t bitsPerSample = 0;
    std::int32_t bytesPerRow = 0;
    std::unique_ptr<std::uint8_t[]> data;

    std::uint8_t* row(int y) { return data.get() + static_cast<std::size_t>(y) * static_cast<std::size_t>(bytesPerRow); }
    const std::uint8_t* row(int y) const
    {
        return data.get() + static_cast<std::size_t>(y) * static_cast<std::size_t>(bytesPerRow);
    }
};

// A zero-filled RawImage, or null when sampleType and bitsPerSample disagree, a
// size is not positive, or memory is short.
std::unique_ptr<RawImage> createRawImage(int width, int height, int channels, int sampleType, int bitsPerSample);
// The RawImage of a 32-bit bitmap: 4 channels when it has alpha, else 3; null
// when memory is short.
std::unique_ptr<RawImage> rawImageFromBitmap(const PixelBitmap& bitmap);
// The same with the alpha channel chosen by the caller.
std::unique_ptr<RawImage> rawImageFromBitmap(const PixelBitmap& bitmap, bool withAlpha);

// Writes an uncompressed TGA (18-byte header, rows bottom-up, TGA 2.0 footer).
// Only 8-bit samples with 3 or 4 channels are accepted. Returns 0 on success, 1
// on failure; a failure leaves no file and an existing file untouched.
int writeTga(const RawImage& image, const std::string& path);

// JPEG quality: 1 (smallest file) to 100 (best picture); 75 is libjpeg's default.
constexpr int MIN_JPEG_QUALITY = 1;
constexpr int MAX_JPEG_QUALITY = 100;
constexpr int DEFAULT_JPEG_QUALITY = 75;

// JPEG (libjpeg defaults at `quality`, baseline tables, floating-point DCT, colour only), uncompressed TIFF
// (RGB, or palette for an 8-bit bitmap) and PNG (lossless, RGBA when the bitmap
// has alpha). The encoded data goes into a buffer of memoryUsed() x 1.2 bytes
// (memoryUsed() + 4096 for small bitmaps; PNG: unlimited), then to the file
// through a temporary file beside it. Throws CTextException.
// A quality outside 1 ... 100 is refused (code 2).
void encodeJpeg(const std::string& path, const PixelBitmap& bitmap, int quality = DEFAULT_JPEG_QUALITY);
void encodeTiff(const std::string& path, const PixelBitmap& bitmap);
void encodePng(const std::string& path, const PixelBitmap& bitmap);

// Writes the bitmap in the format its extension names (case-insensitive): .tga
// (4 channels when the bitmap has alpha, else 3), .bmp, .tif/.tiff, .jpg/.jpeg,
// .png; `jpegQuality` applies to JPEG only. Throws CTextException (code 2 for any
// other extension); a failure leaves no file and an existing file untouched.
void writeImageFile(const std::string& path, const PixelBitmap& bitmap, int jpegQuality = DEFAULT_JPEG_QUALITY);
// Whether writeImageFile knows the extension of path.
bool isWritableImageName(const std::string& path);
