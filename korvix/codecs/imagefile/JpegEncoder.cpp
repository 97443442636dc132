// JPEG output through libjpeg: libjpeg's default parameters, the floating-point
// DCT, colour only (alpha is dropped), into the fixed output buffer.
#include "codecs/imagefile/ImageFile.h"

#include "EncodedOutput.h"
#include "codecs/CTextException.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    bool overflow;
    char text[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<JpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->text);
    std::longjmp(err->jump, 1);
}

void onMessage(j_common_ptr, int) {}

void initDestination(j_compress_ptr) {}

// The buffer is full: the encoder's output does not fit.
boolean emptyBuffer(j_compress_ptr cinfo)
{
    auto* err = reinterpret_cast<JpegError*>(cinfo->err);
    err->overflow = true;
    std::longjmp(err->jump, 1);
}

void termDestination(j_compress_ptr) {}

int runEncoder(jpeg_compress_struct& cinfo, JpegError& err, const PixelBitmap& bitmap, std::uint32_t* line, int quality)
{
    if (setjmp(err.jump))
        return 1;
    cinfo.image_width = static_cast<JDIMENSION>(bitmap.width());
    cinfo.image_height = static_cast<JDIMENSION>(bitmap.height());
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&cinfo);
    // Baseline tables, so that every decoder reads the file at any quality.
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.dct_method = JDCT_FLOAT;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = static_cast<int>(cinfo.next_scanline);
        JSAMPROW row[1];
        if (bitmap.bitsPerPixel() == 32) {
            row[0] = const_cast<JSAMPROW>(bitmap.row(y));
        } else {
            imagefile::bitmapRowBgrx(bitmap, y, line);
            row[0] = reinterpret_cast<JSAMPROW>(line);
        }
        jpeg_write_scanlines(&cinfo, row, 1);
    }
    jpeg_finish_compress(&cinfo);
    return 0;
}

}  // namespace

void encodeJpeg(const std::string& path, const PixelBitmap& bitmap, int quality)
{
    if (quality < MIN_JPEG_QUALITY || quality > MAX_JPEG_QUALITY)
        throw CTextException(2, "JPEG: the quality must be from 1 to 100, not " + std::to_string(quality));
    if (bitmap.width() <= 0 || bitmap.height() <= 0 || bitmap.width() > JPEG_MAX_DIMENSION
        || bitmap.height() > JPEG_MAX_DIMENSION)
        throw CTextException(2, "JPEG: the image size is not supported");
    imagefile::EncodedOutput output(bitmap);
    std::vector<std::uint32_t> line(static_cast<std::size_t>(bitmap.width()));

    jpeg_compress_struct cinfo{};
    JpegError err{};
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = onError;
    err.mgr.emit_message = onMessage;
    jpeg_create_compress(&cinfo);
    struct Destroyer {
        jpeg_compress_struct* c;
        ~Destroyer() { jpeg_destroy_compress(c); }
    } destroyer{&cinfo};
    jpeg_destination_mgr destination{};
    destination.next_output_byte = output.data();
    destination.free_in_buffer = output.capacity();
    destination.init_destination = initDestination;
    destination.empty_output_buffer = emptyBuffer;
    destination.term_destination = termDestination;
    cinfo.dest = &destination;

    if (runEncoder(cinfo, err, bitmap, line.data(), quality) != 0) {
        if (err.overflow)
            imagefile::EncodedOutput::overflow();
        throw CTextException(2, std::string("JPEG: ") + err.text);
    }
    output.save(path, output.capacity() - destination.free_in_buffer);
}
