// JPEG through libjpeg, decompressing straight into the bitmap's rows as
// blue-green-red-alpha (or grey at 8 bits). libjpeg reports errors by longjmp;
// the frames it jumps over hold no objects with destructors.
#include "Decoders.h"

#include <csetjmp>
#include <cstdio>
#include <string>

#include <jpeglib.h>
#include <jerror.h>

namespace imagefile {

namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char text[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<JpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->text);
    std::longjmp(err->jump, 1);
}

// Warnings are ignored, except a premature end: a cut-off file is refused rather
// than shown with its missing part filled in.
void onMessage(j_common_ptr cinfo, int level)
{
    if (level == -1 && cinfo->err->msg_code == JWRN_JPEG_EOF)
        onError(cinfo);
}

// Returns 0 on success; on failure the message is in err.text. Adobe CMYK data
// is stored inverted, which the conversion below undoes.
int runDecoder(jpeg_decompress_struct& cinfo, JpegError& err, ByteSource& src, PixelBitmap& bitmap, const Request& req,
               bool& cmyk)
{
    if (setjmp(err.jump))
        return 1;
    jpeg_mem_src(&cinfo, src.data(), static_cast<unsigned long>(src.size()));
    jpeg_read_header(&cinfo, TRUE);
    const bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    if (cmyk)
        cinfo.out_color_space = JCS_CMYK;
    else if (grey && req.bitsWanted == 0)
        cinfo.out_color_space = JCS_GRAYSCALE;
    else
        cinfo.out_color_space = JCS_EXT_BGRA;
    jpeg_calc_output_dimensions(&cinfo);
    if (cinfo.output_width == 0 || cinfo.output_height == 0 || cinfo.output_width > MAX_SIDE
        || cinfo.output_height > MAX_SIDE
        || std::int64_t{cinfo.output_width} * cinfo.output_height > MAX_PIXELS) {
        std::snprintf(err.text, sizeof err.text, "image size %u x %u is not supported", cinfo.output_width,
                      cinfo.output_height);
        return 2;
    }
    // Every 8 x 8 block costs at least one bit: a file too short for its size
    // is refused before the image is allocated.
    if (std::uint64_t{cinfo.output_width} * cinfo.output_height / 512 > src.size()) {
        std::snprintf(err.text, sizeof err.text, "%u x %u pixels cannot fit in %zu bytes", cinfo.output_width,
                      cinfo.output_height, src.size());
        return 3;
    }
    // Bitmap creation may throw; nothing of ours lives in this frame.
    createImage(bitmap, cinfo.output_width, cinfo.output_height, cinfo.out_color_space == JCS_GRAYSCALE ? 8 : 32,
                false, "JPEG", req);
    // A progressive or multi-scan file keeps every coefficient of the image;
    // beyond the request's working memory libjpeg stops with an error, as it
    // has no backing store.
    cinfo.mem->max_memory_to_use = static_cast<long>(workingBytes(req));
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[1] = {bitmap.row(static_cast<int>(cinfo.output_scanline))};
        jpeg_read_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_decompress(&cinfo);
    return 0;
}

}  // namespace

void decodeJpeg(ByteSource& src, PixelBitmap& bitmap, const Request& req)
{
    jpeg_decompress_struct cinfo{};
    JpegError err{};
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = onError;
    err.mgr.emit_message = onMessage;
    jpeg_create_decompress(&cinfo);
    struct Destroyer {
        jpeg_decompress_struct* c;
        ~Destroyer() { jpeg_destroy_decompress(c); }
    } destroyer{&cinfo};

    bool cmyk = false;
    const int result = runDecoder(cinfo, err, src, bitmap, req, cmyk);
    if (result == 1)
        src.fail(7, err.text);
    if (result == 2)
        src.fail(10, err.text);
    if (result == 3)
        src.fail(1, err.text);
    if (cmyk) {
        // CMYK rows were written in place as C, M, Y, K; turn them into BGRA.
        for (int y = 0; y < bitmap.height(); ++y) {
            std::uint8_t* p = bitmap.row(y);
            for (int x = 0; x < bitmap.width(); ++x, p += 4) {
                unsigned c = p[0], m = p[1], ye = p[2], k = p[3];
                if (cinfo.saw_Adobe_marker) {
                    c = 255 - c; m = 255 - m; ye = 255 - ye; k = 255 - k;
                }
                const auto mix = [k](unsigned v) { return static_cast<std::uint8_t>((255 - v) * (255 - k) / 255); };
                const std::uint8_t r = mix(c), g = mix(m), b = mix(ye);
                p[0] = b; p[1] = g; p[2] = r; p[3] = 255;
            }
        }
    }
}

}  // namespace imagefile
