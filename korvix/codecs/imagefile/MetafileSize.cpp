#include "MetafileSize.h"

#include "Decoders.h"
#include "codecs/imagefile/ImageFile.h"

namespace {

std::int32_t s16(const std::uint8_t* p)
{
    return static_cast<std::int16_t>(p[0] | (p[1] << 8));
}

std::int32_t s32(const std::uint8_t* p)
{
    return static_cast<std::int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24));
}

MetafileSize checked(std::int64_t width, std::int64_t height)
{
    MetafileSize size;
    // Absurd sizes from a damaged header are held to the decoders' limits.
    if (width > 0 && height > 0 && width <= 16384 && height <= 16384) {
        size.width = static_cast<int>(width);
        size.height = static_cast<int>(height);
    }
    return size;
}

}  // namespace

MetafileSize metafileSize(int type, const std::uint8_t* b, std::size_t size, int pixelsPerInch)
{
    if (type == IMAGE_WMF) {
        if (size < 22 || !(b[0] == 0xD7 && b[1] == 0xCD && b[2] == 0xC6 && b[3] == 0x9A))
            return {};
        const std::int64_t unitsPerInch = b[14] | (b[15] << 8);
        if (unitsPerInch == 0)
            return {};
        const std::int64_t w = std::int64_t{s16(b + 10)} - s16(b + 6);
        const std::int64_t h = std::int64_t{s16(b + 12)} - s16(b + 8);
        return checked(w * pixelsPerInch / unitsPerInch, h * pixelsPerInch / unitsPerInch);
    }
    if (size < 88)
        return {};
    // The frame in 0.01 mm; 2540 of them make an inch.
    const std::int64_t w = std::int64_t{s32(b + 32)} - s32(b + 24);
    const std::int64_t h = std::int64_t{s32(b + 36)} - s32(b + 28);
    return checked(w * pixelsPerInch / 2540, h * pixelsPerInch / 2540);
}

void checkMetafileRecords(int type, const std::uint8_t* b, std::size_t size)
{
    const char* format = type == IMAGE_WMF ? "WMF" : "EMF";
    ByteSource src(b, size, format);
    if (type == IMAGE_WMF) {
        if (size >= 4 && b[0] == 0xD7 && b[1] == 0xCD && b[2] == 0xC6 && b[3] == 0x9A)
            src.skip(22);
        const std::size_t start = src.pos();
        src.skip(2);  // type
        const std::uint16_t headerWords = src.u16le();
        if (headerWords != 9)
            src.fail(1, "not a Windows metafile header");
        // The renderer allocates a buffer of the largest record the header
        // names; no record is larger than the file.
        src.seek(start + 12);
        const std::uint64_t maxRecordWords = src.u32le();
        if (maxRecordWords * 2 > size)
            src.fail(1, "the header names a record of " + std::to_string(maxRecordWords) + " words, larger than the file");
        src.seek(start + 18);
        while (true) {
            const std::uint64_t words = src.u32le();
            const std::uint16_t function = src.u16le();
            if (words < 3 || words * 2 - 6 > src.remaining())
                src.fail(1, "record of " + std::to_string(words) + " words does not fit");
            src.skip(static_cast<std::size_t>(words * 2 - 6));
            if (function == 0)
                return;
        }
    }
    if (src.u32le() != 1)
        src.fail(1, "not an enhanced metafile header");
    src.seek(0);
    while (true) {
        const std::size_t start = src.pos();
        const std::uint32_t recordType = src.u32le();
        const std::uint32_t recordSize = src.u32le();
        if (recordSize < 8 || (recordSize & 3) != 0 || recordSize > size - start)
            src.fail(1, "record of " + std::to_string(recordSize) + " bytes does not fit");
        if (start == 0 && (recordSize < 88 || b[40] != ' ' || b[41] != 'E' || b[42] != 'M' || b[43] != 'F'))
            src.fail(1, "not an enhanced metafile header");
        src.seek(start + recordSize);
        if (recordType == 14)
            return;
    }
}
