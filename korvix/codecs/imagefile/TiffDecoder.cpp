// TIFF through libtiff, and the TIFF preview of EPS files. Three paths: palette
// and grey images of at most 8 bits by strips of indices; 8- and 16-bit RGB and
// grey images (with or without alpha) by strips converted directly; everything
// else (tiles, YCbCr, CMYK, odd depths) through libtiff's RGBA reader.
#include "Decoders.h"
#include "TiffHandle.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace imagefile {

namespace {

struct TiffInfo {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t samples = 1;
    std::uint16_t bits = 1;
    std::uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    std::uint16_t planar = PLANARCONFIG_CONTIG;
    std::uint16_t sampleFormat = SAMPLEFORMAT_UINT;
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    bool tiled = false;
    bool alpha = false;
    bool associated = false;
};

TiffInfo readInfo(TIFF* tif)
{
    TiffInfo info;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &info.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &info.height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &info.samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &info.bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &info.planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &info.sampleFormat);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &info.orientation);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &info.photometric))
        info.photometric = info.samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    info.tiled = TIFFIsTiled(tif);
    std::uint16_t extraCount = 0;
    std::uint16_t* extra = nullptr;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) && extraCount > 0) {
        info.alpha = extra[0] == EXTRASAMPLE_ASSOCALPHA || extra[0] == EXTRASAMPLE_UNASSALPHA;
        info.associated = extra[0] == EXTRASAMPLE_ASSOCALPHA;
    }
    return info;
}

[[noreturn]] void fail(ByteSource& src, const TiffHandle& handle, int code, const char* what)
{
    src.fail(code, handle.error().empty() ? std::string(what) : handle.error());
}

// 16-bit to 8-bit with rounding, as v / 257.
inline std::uint32_t scale16(std::uint32_t v)
{
    return (v * 255 + 32767) / 65535;
}

// Un-premultiplies colour stored multiplied by alpha.
inline void unpremultiply(std::uint8_t* p)
{
    const std::uint32_t a = p[3];
    if (a == 0 || a == 255)
        return;
    for (int c = 0; c < 3; ++c) {
        const std::uint32_t v = (p[c] * 255u + a / 2) / a;
        p[c] = static_cast<std::uint8_t>(v > 255 ? 255 : v);
    }
}

// Calls row(y, bytes) for every image row, reading strip by strip.
template <typename RowFn>
void forEachRow(ByteSource& src, const TiffHandle& handle, const TiffInfo& info, RowFn row)
{
    TIFF* tif = handle.tiff();
    std::uint32_t rowsPerStrip = info.height;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    if (rowsPerStrip == 0 || rowsPerStrip > info.height)
        rowsPerStrip = info.height;
    const std::uint64_t lineBytes = TIFFScanlineSize64(tif);
    if (lineBytes == 0)
        fail(src, handle, 1, "bad scanline size");
    std::vector<std::uint8_t> strip(static_cast<std::size_t>(lineBytes * rowsPerStrip));
    for (std::uint32_t y0 = 0, s = 0; y0 < info.height; y0 += rowsPerStrip, ++s) {
        const std::uint32_t rows = std::min(rowsPerStrip, info.height - y0);
        const tmsize_t want = static_cast<tmsize_t>(lineBytes * rows);
        if (TIFFReadEncodedStrip(tif, s, strip.data(), want) < want)
            fail(src, handle, 7, "cannot read a strip");
        for (std::uint32_t r = 0; r < rows; ++r)
            row(static_cast<int>(y0 + r), strip.data() + r * lineBytes);
    }
}

void decodeIndexed(ByteSource& src, const TiffHandle& handle, const TiffInfo& info, PixelBitmap& bitmap, const Request& req)
{
    const bool eightBit = req.bitsWanted == 0;
    TIFF* tif = handle.tiff();
    std::uint32_t table[256];
    const std::uint32_t entries = 1u << info.bits;
    if (info.photometric == PHOTOMETRIC_PALETTE) {
        std::uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
        if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b))
            fail(src, handle, 1, "palette image without a colour map");
        // Some old writers store 8-bit values in the 16-bit map.
        bool eightBitMap = true;
        for (std::uint32_t i = 0; i < entries && eightBitMap; ++i)
            eightBitMap = r[i] < 256 && g[i] < 256 && b[i] < 256;
        for (std::uint32_t i = 0; i < 256; ++i) {
            if (i >= entries)
                table[i] = 0xFF000000u;
            else if (eightBitMap)
                table[i] = rgb(r[i], g[i], b[i]);
            else
                table[i] = rgb(scale16(r[i]), scale16(g[i]), scale16(b[i]));
        }
    } else {
        const bool inverted = info.photometric == PHOTOMETRIC_MINISWHITE;
        for (std::uint32_t i = 0; i < 256; ++i) {
            const std::uint32_t v = i < entries ? i * 255 / (entries - 1) : 0;
            const std::uint32_t grey = inverted ? 255 - v : v;
            table[i] = rgb(grey, grey, grey);
        }
    }
    createImage(bitmap, info.width, info.height, eightBit ? 8 : 32, false, "TIFF", req);
    if (eightBit)
        std::memcpy(bitmap.colourTable(), table, sizeof table);
    std::vector<std::uint8_t> indices(info.width);
    const int bits = info.bits;
    const std::uint8_t mask = static_cast<std::uint8_t>((1u << bits) - 1);
    forEachRow(src, handle, info, [&](int y, const std::uint8_t* in) {
        if (bits == 8) {
            putIndexRow(bitmap, y, in, table);
            return;
        }
        const int perByte = 8 / bits;
        for (std::uint32_t x = 0; x < info.width; ++x) {
            const int shift = 8 - bits * (static_cast<int>(x % perByte) + 1);
            indices[x] = static_cast<std::uint8_t>((in[x / perByte] >> shift) & mask);
        }
        putIndexRow(bitmap, y, indices.data(), table);
    });
}

void decodeDirect(ByteSource& src, const TiffHandle& handle, const TiffInfo& info, PixelBitmap& bitmap, const Request& req)
{
    createImage(bitmap, info.width, info.height, 32, info.alpha, "TIFF", req);
    const bool colour = info.photometric == PHOTOMETRIC_RGB;
    const bool inverted = info.photometric == PHOTOMETRIC_MINISWHITE;
    const int n = info.samples;
    const int alphaIndex = colour ? 3 : 1;
    const bool alpha = info.alpha && n > alphaIndex;
    const bool wide = info.bits == 16;
    forEachRow(src, handle, info, [&](int y, const std::uint8_t* in) {
        std::uint8_t* out = bitmap.row(y);
        const auto* in16 = reinterpret_cast<const std::uint16_t*>(in);
        for (std::uint32_t x = 0; x < info.width; ++x, out += 4) {
            const std::size_t i = static_cast<std::size_t>(x) * static_cast<std::size_t>(n);
            const auto sample = [&](int c) -> std::uint32_t { return wide ? scale16(in16[i + c]) : in[i + c]; };
            if (colour) {
                out[0] = static_cast<std::uint8_t>(sample(2));
                out[1] = static_cast<std::uint8_t>(sample(1));
                out[2] = static_cast<std::uint8_t>(sample(0));
            } else {
                const std::uint32_t g = inverted ? 255 - sample(0) : sample(0);
                out[0] = out[1] = out[2] = static_cast<std::uint8_t>(g);
            }
            out[3] = alpha ? static_cast<std::uint8_t>(sample(alphaIndex)) : 255;
            if (alpha && info.associated)
                unpremultiply(out);
        }
    });
}

void decodeRgba(ByteSource& src, const TiffHandle& handle, const TiffInfo& info, PixelBitmap& bitmap, const Request& req)
{
    createImage(bitmap, info.width, info.height, 32, info.alpha, "TIFF", req);
    char message[1024] = {};
    if (!TIFFRGBAImageOK(handle.tiff(), message))
        src.fail(2, message);
    // The rows of a bitmap are contiguous bottom-up, which is the RGBA reader's
    // native orientation: it fills pixels() as one raster.
    auto* raster = reinterpret_cast<std::uint32_t*>(bitmap.pixels());
    if (!TIFFReadRGBAImageOriented(handle.tiff(), info.width, info.height, raster, ORIENTATION_BOTLEFT, 0))
        fail(src, handle, 7, "cannot read the image");
    // The reader gives 0xAABBGGRR and premultiplies alpha; turn it into ours.
    const std::size_t count = static_cast<std::size_t>(info.width) * info.height;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t v = raster[i];
        raster[i] = (v & 0xFF00FF00u) | ((v & 0xFF) << 16) | ((v >> 16) & 0xFF);
        if (info.alpha)
            unpremultiply(reinterpret_cast<std::uint8_t*>(raster + i));
    }
}

}  // namespace

void decodeTiff(ByteSource& src, PixelBitmap& bitmap, const Request& req)
{
    TiffHandle handle(src.data(), src.size(), workingBytes(req));
    if (!handle.tiff())
        fail(src, handle, 1, "not a readable TIFF");
    const TiffInfo info = readInfo(handle.tiff());
    if (info.width == 0 || info.height == 0 || info.width > MAX_SIDE || info.height > MAX_SIDE
        || std::int64_t{info.width} * info.height > MAX_PIXELS)
        src.fail(info.width && info.height ? 10 : 1,
                 "image size " + std::to_string(info.width) + " x " + std::to_string(info.height) + " is not supported");

    // Rows in another order than top-down (rare) go through the RGBA reader, which turns them.
    const bool plain = !info.tiled && info.sampleFormat == SAMPLEFORMAT_UINT && info.orientation == ORIENTATION_TOPLEFT
        && (info.planar == PLANARCONFIG_CONTIG || info.samples == 1);
    const bool grey = info.photometric == PHOTOMETRIC_MINISBLACK || info.photometric == PHOTOMETRIC_MINISWHITE;
    const bool indexed = plain && info.samples == 1 && info.bits <= 8 && (info.bits & (info.bits - 1)) == 0
        && (grey || info.photometric == PHOTOMETRIC_PALETTE);
    const bool direct = plain && (info.bits == 8 || info.bits == 16)
        && ((info.photometric == PHOTOMETRIC_RGB && info.samples >= 3) || grey);

    if (indexed)
        decodeIndexed(src, handle, info, bitmap, req);
    else if (direct)
        decodeDirect(src, handle, info, bitmap, req);
    else
        decodeRgba(src, handle, info, bitmap, req);
}

void decodeEps(ByteSource& src, PixelBitmap& bitmap, const Request& req)
{
    src.seek(20);
    const std::uint32_t start = src.u32le();
    const std::uint32_t length = src.u32le();
    if (start > src.size() || length > src.size() - start)
        src.fail(1, "the TIFF preview lies outside the file");
    ByteSource tiff(src.data() + start, length, "EPS preview");
    decodeTiff(tiff, bitmap, req);
}

}  // namespace imagefile
