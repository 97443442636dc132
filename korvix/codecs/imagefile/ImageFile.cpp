#include "codecs/imagefile/ImageFile.h"

#include "Decoders.h"
#include "MetafileSize.h"
#include "codecs/CTextException.h"
#include "common/PixelMemory.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <stdexcept>

namespace {

bool startsWith(const std::uint8_t* b, std::size_t size, std::initializer_list<std::uint8_t> prefix)
{
    return size >= prefix.size() && std::equal(prefix.begin(), prefix.end(), b);
}

std::uint32_t le32(const std::uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24);
}

bool isTga(const std::uint8_t* b, std::size_t size)
{
    if (size < 18)
        return false;
    const auto oneOf = [](std::uint8_t v, std::initializer_list<std::uint8_t> set) {
        return std::find(set.begin(), set.end(), v) != set.end();
    };
    return b[1] <= 1 && (b[2] <= 3 || (b[2] >= 9 && b[2] <= 11)) && oneOf(b[7], {0, 8, 15, 16, 24, 32})
        && oneOf(b[16], {8, 15, 16, 24, 32});
}

bool isPict(const std::uint8_t* b, std::size_t size)
{
    if (size <= 540)
        return false;
    const std::uint8_t* p = b + 522;
    return (p[0] == 0x00 && p[1] == 0x11 && p[2] == 0x02 && p[3] == 0xFF) || (p[0] == 0x00 && p[1] == 0x11 && p[2] == 0x01)
        || (p[0] == 0x11 && p[1] == 0x01 && p[2] == 0x01 && p[3] == 0x00);
}

bool isEps(const std::uint8_t* b, std::size_t size)
{
    if (size < 28)
        return false;
    const bool magic = startsWith(b, size, {0xC5, 0xD0, 0xD3, 0xC6}) || startsWith(b, size, {0xC6, 0xD3, 0xD0, 0xC5});
    return magic && le32(b + 20) != 0 && le32(b + 24) != 0;
}

int metafileTypeOfName(const std::string& path)
{
    std::string upper = path;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    if (upper.find(".WMF") != std::string::npos)
        return IMAGE_WMF;
    if (upper.find(".EMF") != std::string::npos)
        return IMAGE_EMF;
    return IMAGE_NONE;
}

std::mutex& rendererMutex()
{
    static std::mutex m;
    return m;
}

std::shared_ptr<MetafileRenderer>& rendererSlot()
{
    static std::shared_ptr<MetafileRenderer> slot;
    return slot;
}

void checkBitsWanted(int bitsWanted)
{
    if (bitsWanted != 0 && bitsWanted != 32)
        throw CTextException(2, "bitsWanted must be 0 or 32, not " + std::to_string(bitsWanted));
}

void decodeTypedUnchecked(int type, const std::uint8_t* bytes, std::size_t size, PixelBitmap& bitmap,
                          const imagefile::Request& req)
{
    using namespace imagefile;
    switch (type) {
    case IMAGE_BMP: { ByteSource s(bytes, size, "BMP"); decodeBmp(s, bitmap, req); return; }
    case IMAGE_TGA: { ByteSource s(bytes, size, "TGA"); decodeTga(s, bitmap, req); return; }
    case IMAGE_TIFF: { ByteSource s(bytes, size, "TIFF"); decodeTiff(s, bitmap, req); return; }
    case IMAGE_EPS: { ByteSource s(bytes, size, "EPS"); decodeEps(s, bitmap, req); return; }
    case IMAGE_JPEG: { ByteSource s(bytes, size, "JPEG"); decodeJpeg(s, bitmap, req); return; }
    case IMAGE_PNG: { ByteSource s(bytes, size, "PNG"); decodePng(s, bitmap, req); return; }
    case IMAGE_PCX: { ByteSource s(bytes, size, "PCX"); decodePcx(s, bitmap, req); return; }
    case IMAGE_PGM: { ByteSource s(bytes, size, "PGM"); decodePgm(s, bitmap, req); return; }
    case IMAGE_PICT: { ByteSource s(bytes, size, "PICT"); decodePict(s, bitmap, req); return; }
    case IMAGE_WMF:
    case IMAGE_EMF: {
        // The frame is known from the header; a renderer is asked only for a
        // picture within the limits.
        const char* format = type == IMAGE_WMF ? "WMF" : "EMF";
        const MetafileSize px = metafileSize(type, bytes, size);
        if (req.probe) {
            // The renderers refuse a damaged record chain; so does the probe.
            checkMetafileRecords(type, bytes, size);
            checkDecodeLimits(px.width, px.height, req.limits, format);
            *req.probe = ImageHeader{type, px.width, px.height, 32, true};
            throw ProbeDone{};
        }
        const std::shared_ptr<MetafileRenderer> renderer = metafileRenderer();
        if (!renderer)
            throw CTextException(6, "No metafile renderer is available.");
        checkDecodeLimits(px.width, px.height, req.limits, format);
        renderer->render(type, bytes, size, bitmap, req.limits);
        return;
    }
    case IMAGE_GIF:
        throw CTextException(6, "GIF files are not supported.");
    default:
        throw CTextException(8, "Unknown file type.");
    }
}

// A decoder's working buffers are bounded by the image size limits, yet may
// still not fit; that is reported like any other failure.
void decodeTyped(int type, const std::uint8_t* bytes, std::size_t size, PixelBitmap& bitmap,
                 const imagefile::Request& req)
{
    try {
        decodeTypedUnchecked(type, bytes, size, bitmap, req);
    } catch (const std::bad_alloc&) {
        throw CTextException(10, "out of memory while decoding");
    } catch (const std::length_error&) {
        throw CTextException(10, "out of memory while decoding");
    }
}

// The whole file in one block of pixel memory: read once, without per-row reads.
PixelMemory readWholeFile(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        throw CTextException(errno, "Opening " + path + " failed");
    struct Closer {
        std::FILE* f;
        ~Closer() { std::fclose(f); }
    } closer{f};
    if (std::fseek(f, 0, SEEK_END) != 0)
        throw CTextException(errno, "Reading " + path + " failed");
    const long length = std::ftell(f);
    if (length < 0 || std::fseek(f, 0, SEEK_SET) != 0)
        throw CTextException(errno, "Reading " + path + " failed");
    PixelMemory out;
    try {
        out = PixelMemory(static_cast<std::size_t>(length));
    } catch (const std::bad_alloc&) {
        throw CTextException(10, "Reading " + path + " failed: out of memory");
    }
    if (!out.empty() && std::fread(out.data(), 1, out.size(), f) != out.size())
        throw CTextException(errno ? errno : 5, "Reading " + path + " failed");
    return out;
}

}  // namespace

int detectImageType(const std::uint8_t* b, std::size_t size)
{
    if (!b)
        return IMAGE_NONE;
    if (startsWith(b, size, {'B', 'M'}))
        return IMAGE_BMP;
    if (isTga(b, size))
        return IMAGE_TGA;
    if (startsWith(b, size, {'G', 'I', 'F', '8'}))
        return IMAGE_GIF;
    if (startsWith(b, size, {'I', 'I', 0x2A, 0x00}) || startsWith(b, size, {'M', 'M', 0x00, 0x2A}))
        return IMAGE_TIFF;
    if (isPict(b, size))
        return IMAGE_PICT;
    if (startsWith(b, size, {0xFF, 0xD8, 0xFF}))
        return IMAGE_JPEG;
    if (startsWith(b, size, {0x89, 'P', 'N', 'G'}))
        return IMAGE_PNG;
    if (isEps(b, size))
        return IMAGE_EPS;
    if (size >= 3 && b[0] == 10 && b[2] == 1)
        return IMAGE_PCX;
    if (size >= 2 && b[0] == 'P' && (b[1] == '2' || b[1] == '5'))
        return IMAGE_PGM;
    return IMAGE_NONE;
}

int detectImageFileType(const std::string& path, const std::uint8_t* bytes, std::size_t size)
{
    const int byName = metafileTypeOfName(path);
    return byName != IMAGE_NONE ? byName : detectImageType(bytes, size);
}

int decodeFile(const std::string& path, PixelBitmap& bitmap, int bitsWanted, const DecodeLimits& limits)
{
    checkBitsWanted(bitsWanted);
    const PixelMemory file = readWholeFile(path);
    const int type = detectImageFileType(path, file.data(), file.size());
    decodeTyped(type, file.data(), file.size(), bitmap, {bitsWanted, limits, nullptr});
    return type;
}

int decodeMemory(const std::uint8_t* bytes, std::size_t size, PixelBitmap& bitmap, int bitsWanted,
                 const DecodeLimits& limits)
{
    checkBitsWanted(bitsWanted);
    if (!bytes && size > 0) {
        char text[64];
        std::snprintf(text, sizeof text, "Reading from memory at %p failed", static_cast<const void*>(bytes));
        throw CTextException(1, text);
    }
    const int type = detectImageType(bytes, size);
    decodeTyped(type, bytes, size, bitmap, {bitsWanted, limits, nullptr});
    return type;
}

ImageHeader probeImage(int type, const std::uint8_t* bytes, std::size_t size, int bitsWanted)
{
    checkBitsWanted(bitsWanted);
    if (!bytes && size > 0)
        throw CTextException(1, "no bytes to read");
    ImageHeader header;
    PixelBitmap unused;
    try {
        decodeTyped(type, bytes, size, unused, {bitsWanted, DecodeLimits{}, &header});
    } catch (const imagefile::ProbeDone&) {
        header.type = type;
        return header;
    }
    // Every decoder creates its image before it returns.
    throw CTextException(1, "the header gives no image");
}

void checkDecodeLimits(std::int64_t width, std::int64_t height, const DecodeLimits& limits, const char* format)
{
    if (width <= 0 || height <= 0)
        throw CTextException(1, std::string(format) + ": image size " + std::to_string(width) + " x "
                                    + std::to_string(height) + " is not valid");
    if (width > limits.maxSide || height > limits.maxSide)
        throw CTextException(12, std::string(format) + ": image size " + std::to_string(width) + " x "
                                     + std::to_string(height) + " exceeds the limit of " + std::to_string(limits.maxSide)
                                     + " pixels a side");
    if (width * height > limits.maxPixels)
        throw CTextException(12, std::string(format) + ": image size " + std::to_string(width) + " x "
                                     + std::to_string(height) + " (" + std::to_string(width * height)
                                     + " pixels) exceeds the limit of " + std::to_string(limits.maxPixels) + " pixels");
}

void setMetafileRenderer(std::shared_ptr<MetafileRenderer> renderer)
{
    const std::lock_guard lock(rendererMutex());
    rendererSlot() = std::move(renderer);
}

std::shared_ptr<MetafileRenderer> metafileRenderer()
{
    const std::lock_guard lock(rendererMutex());
    return rendererSlot();
}

namespace imagefile {

void createImage(PixelBitmap& bitmap, std::int64_t width, std::int64_t height, int bitsPerPixel, bool hasAlpha,
                 const char* format, const Request& req)
{
    if (width <= 0 || height <= 0)
        throw CTextException(1, std::string(format) + ": image size " + std::to_string(width) + " x "
                                    + std::to_string(height) + " is not valid");
    if (width > MAX_SIDE || height > MAX_SIDE || width * height > MAX_PIXELS)
        throw CTextException(10, std::string(format) + ": image size " + std::to_string(width) + " x "
                                     + std::to_string(height) + " is too large");
    checkDecodeLimits(width, height, req.limits, format);
    if (req.probe) {
        *req.probe = ImageHeader{IMAGE_NONE, static_cast<int>(width), static_cast<int>(height), bitsPerPixel, hasAlpha};
        throw ProbeDone{};
    }
    bitmap.create(static_cast<int>(width), static_cast<int>(height), bitsPerPixel, hasAlpha);
}

}  // namespace imagefile
