// PNG through libpng. Palette and grey images keep their indices or grey
// levels at 8 bits; everything else becomes blue-green-red-alpha, with alpha
// only for grey-alpha and RGBA images (a tRNS chunk does not make an image
// transparent here). 16-bit samples are scaled, not truncated. libpng reports
// errors by longjmp; the frame it jumps back into holds no objects with destructors.
#include "Decoders.h"

#include <csetjmp>
#include <cstring>
#include <vector>

#include <png.h>

namespace imagefile {

namespace {

struct PngReader {
    ByteSource* src;
    char text[200];
};

void onError(png_structp png, png_const_charp message)
{
    auto* reader = static_cast<PngReader*>(png_get_error_ptr(png));
    std::snprintf(reader->text, sizeof reader->text, "%s", message);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

void onRead(png_structp png, png_bytep out, png_size_t length)
{
    auto* reader = static_cast<PngReader*>(png_get_io_ptr(png));
    if (!reader->src->has(length))
        png_error(png, "unexpected end of data");
    std::memcpy(out, reader->src->take(length), length);
}

// 0 success, 1 libpng error (text in reader), 2 size refused, 3 data too short.
int runDecoder(png_structp png, png_infop info, PngReader& reader, PixelBitmap& bitmap, const Request& req,
               std::vector<png_bytep>& rows)
{
    if (setjmp(png_jmpbuf(png)))
        return 1;
    png_set_read_fn(png, &reader, onRead);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int depth = 0, colourType = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colourType, nullptr, nullptr, nullptr);
    if (width > MAX_SIDE || height > MAX_SIDE || std::int64_t{width} * height > MAX_PIXELS) {
        std::snprintf(reader.text, sizeof reader.text, "image size %u x %u is too large", width, height);
        return 2;
    }
    // Palette images and grey images of any depth (16 bits scaled) keep 8 bits.
    // Deflate expands at most 1032-fold: a file too short for its rows is cut
    // off, and is refused before the image is allocated.
    const std::uint64_t rowBytes = (std::uint64_t{width} * png_get_channels(png, info) * static_cast<unsigned>(depth) + 7) / 8;
    if (std::uint64_t{height} * (rowBytes + 1) / 1032 > reader.src->size()) {
        std::snprintf(reader.text, sizeof reader.text, "%u x %u pixels cannot fit in %zu bytes", width, height,
                      reader.src->size());
        return 3;
    }
    const bool indexed = colourType == PNG_COLOR_TYPE_PALETTE || colourType == PNG_COLOR_TYPE_GRAY;
    const bool eightBit = indexed && req.bitsWanted == 0;
    const bool alpha = colourType & PNG_COLOR_MASK_ALPHA;

    if (depth == 16)
        png_set_scale_16(png);
    if (eightBit) {
        if (colourType == PNG_COLOR_TYPE_PALETTE)
            png_set_packing(png);
        else
            png_set_expand_gray_1_2_4_to_8(png);
    } else {
        if (colourType == PNG_COLOR_TYPE_PALETTE)
            png_set_palette_to_rgb(png);
        if (!(colourType & PNG_COLOR_MASK_COLOR)) {
            png_set_expand_gray_1_2_4_to_8(png);
            png_set_gray_to_rgb(png);
        }
        png_set_bgr(png);
        if (!alpha) {
            // Expanding a palette brings in tRNS as alpha; drop it, then fill.
            png_set_strip_alpha(png);
            png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
        }
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    createImage(bitmap, width, height, eightBit ? 8 : 32, alpha, "PNG", req);
    if (eightBit && colourType == PNG_COLOR_TYPE_PALETTE) {
        png_colorp palette = nullptr;
        int count = 0;
        png_get_PLTE(png, info, &palette, &count);
        std::uint32_t* table = bitmap.colourTable();
        for (int i = 0; i < 256; ++i)
            table[i] = i < count ? rgb(palette[i].red, palette[i].green, palette[i].blue) : 0xFF000000u;
    }
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        rows[y] = bitmap.row(static_cast<int>(y));
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    return 0;
}

}  // namespace

void decodePng(ByteSource& src, PixelBitmap& bitmap, const Request& req)
{
    PngReader reader{&src, {}};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reader, onError, onWarning);
    if (!png)
        src.fail(10, "out of memory");
    png_infop info = png_create_info_struct(png);
    struct Destroyer {
        png_structp* png;
        png_infop* info;
        ~Destroyer() { png_destroy_read_struct(png, info, nullptr); }
    } destroyer{&png, &info};
    if (!info)
        src.fail(10, "out of memory");
    // Our own limits apply; libpng's user limits stay at their defaults.
    std::vector<png_bytep> rows;
    const int result = runDecoder(png, info, reader, bitmap, req, rows);
    if (result == 1)
        src.fail(7, reader.text);
    if (result == 2)
        src.fail(10, reader.text);
    if (result == 3)
        src.fail(1, reader.text);
}

}  // namespace imagefile
