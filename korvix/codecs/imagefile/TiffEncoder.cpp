// Uncompressed TIFF output through libtiff: RGB for a 32-bit bitmap (alpha
// dropped), palette for an 8-bit one, rows from the top, into the fixed output
// buffer.
#include "codecs/imagefile/ImageFile.h"

#include "EncodedOutput.h"
#include "TiffHandle.h"
#include "codecs/CTextException.h"

#include <vector>

void encodeTiff(const std::string& path, const PixelBitmap& bitmap)
{
    if (bitmap.width() <= 0 || bitmap.height() <= 0)
        throw CTextException(2, "TIFF: the image size is not supported");
    imagefile::EncodedOutput output(bitmap);
    TiffHandle handle(output.data(), output.capacity());
    TIFF* tif = handle.tiff();
    if (!tif)
        throw CTextException(10, "TIFF: " + handle.error());

    const bool palette = bitmap.bitsPerPixel() == 8;
    const std::uint32_t w = static_cast<std::uint32_t>(bitmap.width());
    const std::uint32_t h = static_cast<std::uint32_t>(bitmap.height());
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, palette ? 1 : 3);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, palette ? PHOTOMETRIC_PALETTE : PHOTOMETRIC_RGB);
    std::vector<std::uint16_t> map(palette ? 3 * 256 : 0);
    if (palette) {
        const std::uint32_t* table = bitmap.colourTable();
        for (int i = 0; i < 256; ++i) {
            map[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(((table[i] >> 16) & 0xFF) * 257);
            map[256 + static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(((table[i] >> 8) & 0xFF) * 257);
            map[512 + static_cast<std::size_t>(i)] = static_cast<std::uint16_t>((table[i] & 0xFF) * 257);
        }
        TIFFSetField(tif, TIFFTAG_COLORMAP, map.data(), map.data() + 256, map.data() + 512);
    }

    std::vector<std::uint8_t> line(static_cast<std::size_t>(w) * 3);
    for (std::uint32_t y = 0; y < h; ++y) {
        const std::uint8_t* in = bitmap.row(static_cast<int>(y));
        void* out = const_cast<std::uint8_t*>(in);
        if (!palette) {
            std::uint8_t* p = line.data();
            for (std::uint32_t x = 0; x < w; ++x, in += 4, p += 3) {
                p[0] = in[2];
                p[1] = in[1];
                p[2] = in[0];
            }
            out = line.data();
        }
        if (TIFFWriteScanline(tif, out, y, 0) != 1)
            break;
    }
    const bool closed = handle.close();
    if (handle.overflowed())
        imagefile::EncodedOutput::overflow();
    if (!closed || !handle.error().empty())
        throw CTextException(2, "TIFF: " + (handle.error().empty() ? std::string("encoding failed") : handle.error()));
    output.save(path, handle.written());
}
