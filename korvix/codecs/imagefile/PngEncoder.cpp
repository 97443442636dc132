// PNG output through libpng: RGBA when the bitmap has alpha, RGB otherwise, a
// palette image for an 8-bit bitmap. Lossless; no output limit.
#include "codecs/imagefile/ImageFile.h"

#include "EncodedOutput.h"
#include "codecs/CTextException.h"
#include "common/AtomicFile.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

#include <png.h>

namespace {

struct PngWriter {
    std::vector<std::uint8_t>* out;
    char text[200];
};

void onError(png_structp png, png_const_charp message)
{
    auto* w = static_cast<PngWriter*>(png_get_error_ptr(png));
    std::snprintf(w->text, sizeof w->text, "%s", message);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

void onWrite(png_structp png, png_bytep data, png_size_t length)
{
    auto* w = static_cast<PngWriter*>(png_get_io_ptr(png));
    try {
        w->out->insert(w->out->end(), data, data + length);
    } catch (const std::bad_alloc&) {
        png_error(png, "out of memory");
    }
}

void onFlush(png_structp) {}

int runEncoder(png_structp png, png_infop info, PngWriter& writer, const PixelBitmap& bitmap, png_color* palette)
{
    if (setjmp(png_jmpbuf(png)))
        return 1;
    png_set_write_fn(png, &writer, onWrite, onFlush);
    const bool indexed = bitmap.bitsPerPixel() == 8;
    const int colourType = indexed ? PNG_COLOR_TYPE_PALETTE : bitmap.hasAlpha() ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB;
    png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap.width()), static_cast<png_uint_32>(bitmap.height()), 8,
                 colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (indexed) {
        const std::uint32_t* table = bitmap.colourTable();
        for (int i = 0; i < 256; ++i)
            palette[i] = {static_cast<png_byte>(table[i] >> 16), static_cast<png_byte>(table[i] >> 8),
                          static_cast<png_byte>(table[i])};
        png_set_PLTE(png, info, palette, 256);
    }
    png_write_info(png, info);
    if (!indexed) {
        png_set_bgr(png);
        if (!bitmap.hasAlpha())
            png_set_filler(png, 0, PNG_FILLER_AFTER);  // drops the fourth byte
    }
    for (int y = 0; y < bitmap.height(); ++y)
        png_write_row(png, const_cast<png_bytep>(bitmap.row(y)));
    png_write_end(png, info);
    return 0;
}

}  // namespace

void encodePng(const std::string& path, const PixelBitmap& bitmap)
{
    if (bitmap.width() <= 0 || bitmap.height() <= 0)
        throw CTextException(2, "PNG: the image size is not supported");
    std::vector<std::uint8_t> out;
    out.reserve(bitmap.memoryUsed() / 2);
    PngWriter writer{&out, {}};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &writer, onError, onWarning);
    if (!png)
        throw CTextException(10, "PNG: out of memory");
    png_infop info = png_create_info_struct(png);
    struct Destroyer {
        png_structp* png;
        png_infop* info;
        ~Destroyer() { png_destroy_write_struct(png, info); }
    } destroyer{&png, &info};
    if (!info)
        throw CTextException(10, "PNG: out of memory");
    png_color palette[256];
    if (runEncoder(png, info, writer, bitmap, palette) != 0)
        throw CTextException(2, std::string("PNG: ") + writer.text);
    try {
        AtomicFile file(path);
        file.write(out.data(), out.size());
        file.commit();
    } catch (const std::runtime_error& e) {
        throw CTextException(5, e.what());
    }
}
