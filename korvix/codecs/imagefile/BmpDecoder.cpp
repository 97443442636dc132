// Windows bitmaps: 1, 4 and 8 bits with a colour table (also run-length encoded
// at 4 and 8 bits), 24 and 32 bits. Info headers shorter than 40 bytes (OS/2)
// are refused, as are run-length delta escapes, which skip pixels whose colour
// the file leaves open.
#include "Decoders.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

namespace imagefile {

namespace {

constexpr std::uint32_t BI_RGB = 0;
constexpr std::uint32_t BI_RLE8 = 1;
constexpr std::uint32_t BI_RLE4 = 2;
constexpr std::uint32_t BI_BITFIELDS = 3;

struct BmpInfo {
    std::int64_t width = 0;
    std::int64_t height = 0;  // positive; topDown says the stored order
    bool topDown = false;
    int bits = 0;
    std::uint32_t compression = 0;
    std::uint32_t pixelOffset = 0;
    std::uint32_t masks[4] = {};
};

// Decodes run-length data row by row, handing each finished row of indices (in
// stored order) to putRow. Rows the data leaves out (an early end of line or of
// the bitmap) hold index 0.
template <typename PutRow>
void decodeRle(ByteSource& src, const BmpInfo& info, PutRow putRow)
{
    const std::size_t w = static_cast<std::size_t>(info.width);
    const std::size_t h = static_cast<std::size_t>(info.height);
    const bool four = info.compression == BI_RLE4;
    std::vector<std::uint8_t> row(w, 0);
    std::size_t x = 0;
    std::size_t y = 0;
    const auto finishRow = [&] {
        putRow(y++, row.data());
        std::fill(row.begin(), row.end(), std::uint8_t{0});
        x = 0;
    };
    while (y < h) {
        const std::uint8_t count = src.u8();
        const std::uint8_t value = src.u8();
        if (count > 0) {
            // An encoded run; at 4 bits the two nibbles alternate.
            for (std::size_t i = 0; i < count && x < w; ++i, ++x)
                row[x] = four ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value;
            continue;
        }
        if (value == 0) {  // end of line
            finishRow();
        } else if (value == 1) {  // end of bitmap
            break;
        } else if (value == 2) {
            src.fail(6, "run-length delta escapes are not supported");
        } else {  // an absolute run of value pixels, padded to a 16-bit boundary
            const std::size_t bytes = four ? (value + 1u) / 2 : value;
            const std::uint8_t* p = src.take(bytes + (bytes & 1));
            for (std::size_t i = 0; i < value && x < w; ++i, ++x)
                row[x] = four ? ((i & 1) ? (p[i / 2] & 0x0F) : (p[i / 2] >> 4)) : p[i];
        }
    }
    while (y < h)
        finishRow();
}

// Shift and width of a channel mask, for 32-bit bit fields.
struct MaskField {
    int shift = 0;
    int bits = 0;
    std::uint32_t mask = 0;
    std::uint32_t extract(std::uint32_t v) const
    {
        if (!mask)
            return 0;
        const std::uint32_t raw = (v & mask) >> shift;
        if (bits >= 8)
            return raw >> (bits - 8);
        return bits ? raw * 255 / ((1u << bits) - 1) : 0;
    }
};

MaskField fieldOf(std::uint32_t mask)
{
    MaskField f;
    f.mask = mask;
    if (mask) {
        f.shift = std::countr_zero(mask);
        f.bits = std::popcount(mask);
    }
    return f;
}

}  // namespace

void decodeBmp(ByteSource& src, PixelBitmap& bitmap, const Request& req)
{
    src.seek(0);
    src.skip(10);
    BmpInfo info;
    info.pixelOffset = src.u32le();
    const std::uint32_t infoSize = src.u32le();
    if (infoSize < 40)
        src.fail(2, "info headers of " + std::to_string(infoSize) + " bytes are not supported");
    const std::int32_t width = static_cast<std::int32_t>(src.u32le());
    const std::int32_t height = static_cast<std::int32_t>(src.u32le());
    src.skip(2);  // planes
    info.bits = src.u16le();
    info.compression = src.u32le();
    src.skip(12);  // image size, resolution
    const std::uint32_t coloursUsed = src.u32le();
    info.width = width;
    info.topDown = height < 0;
    info.height = height < 0 ? -std::int64_t{height} : height;

    const bool rle = info.compression == BI_RLE8 || info.compression == BI_RLE4;
    if (rle && ((info.compression == BI_RLE8) != (info.bits == 8) || (info.compression == BI_RLE4) != (info.bits == 4)))
        src.fail(1, "run-length compression does not match the depth");
    if (rle && info.topDown)
        src.fail(1, "run-length bitmaps cannot be stored top-down");
    const bool bitFields = info.compression == BI_BITFIELDS && info.bits == 32;
    if (info.compression != BI_RGB && !rle && !bitFields)
        src.fail(2, "compression " + std::to_string(info.compression) + " is not supported");
    if (info.bits != 1 && info.bits != 4 && info.bits != 8 && info.bits != 24 && info.bits != 32)
        src.fail(2, std::to_string(info.bits) + " bits per pixel are not supported");

    if (bitFields) {
        // The masks follow a 40-byte header, or lie inside a longer one.
        src.seek(14 + 40);
        for (int i = 0; i < (infoSize >= 56 ? 4 : 3); ++i)
            info.masks[i] = src.u32le();
    }

    // Colour table: behind the info header (and the masks of a 40-byte header).
    std::uint32_t table[256];
    for (std::uint32_t& e : table)
        e = 0xFF000000u;
    const bool indexed = info.bits <= 8;
    if (indexed) {
        const std::uint32_t maxEntries = 1u << info.bits;
        const std::uint32_t entries = coloursUsed == 0 || coloursUsed > maxEntries ? maxEntries : coloursUsed;
        src.seek(14 + std::size_t{infoSize});
        const std::size_t available = std::min<std::size_t>(entries, src.remaining() / 4);
        if (available == 0)
            src.fail(1, "the colour table is missing");
        const std::uint8_t* p = src.take(available * 4);
        for (std::size_t i = 0; i < available; ++i)
            table[i] = rgb(p[4 * i + 2], p[4 * i + 1], p[4 * i]);
    }

    // Refuse before allocating when the pixel data cannot cover the image.
    if (info.width <= 0 || info.height <= 0)
        src.fail(1, "image size " + std::to_string(width) + " x " + std::to_string(height) + " is not valid");
    const std::uint64_t stride = ((static_cast<std::uint64_t>(info.width) * info.bits + 31) / 32) * 4;
    src.seek(info.pixelOffset);
    if (!rle && src.remaining() / stride < static_cast<std::uint64_t>(info.height))
        src.truncated();
    if (rle && static_cast<std::uint64_t>(src.remaining()) * 255 < static_cast<std::uint64_t>(info.width))
        src.truncated();

    const bool eightBit = indexed && req.bitsWanted == 0;
    createImage(bitmap, info.width, info.height, eightBit ? 8 : 32, false, "BMP", req);
    if (eightBit)
        std::memcpy(bitmap.colourTable(), table, sizeof table);
    const int w = bitmap.width();
    const int h = bitmap.height();
    const auto imageRow = [&](std::int64_t stored) { return static_cast<int>(info.topDown ? stored : h - 1 - stored); };

    if (rle) {
        decodeRle(src, info, [&](std::size_t stored, const std::uint8_t* indices) {
            putIndexRow(bitmap, imageRow(static_cast<std::int64_t>(stored)), indices, table);
        });
        return;
    }

    std::vector<std::uint8_t> indices(indexed ? static_cast<std::size_t>(w) : 0);
    const MaskField red = fieldOf(info.masks[0]);
    const MaskField green = fieldOf(info.masks[1]);
    const MaskField blue = fieldOf(info.masks[2]);
    for (int s = 0; s < h; ++s) {
        const std::uint8_t* in = src.take(static_cast<std::size_t>(stride));
        const int y = imageRow(s);
        if (indexed) {
            if (info.bits == 8) {
                putIndexRow(bitmap, y, in, table);
                continue;
            }
            const int perByte = 8 / info.bits;
            const std::uint8_t mask = static_cast<std::uint8_t>((1 << info.bits) - 1);
            for (int x = 0; x < w; ++x) {
                const int shift = 8 - info.bits * (x % perByte + 1);
                indices[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>((in[x / perByte] >> shift) & mask);
            }
            putIndexRow(bitmap, y, indices.data(), table);
            continue;
        }
        auto* out = reinterpret_cast<std::uint32_t*>(bitmap.row(y));
        if (info.bits == 24) {
            for (int x = 0; x < w; ++x, in += 3)
                out[x] = rgb(in[2], in[1], in[0]);
        } else if (!bitFields) {
            for (int x = 0; x < w; ++x, in += 4)
                out[x] = rgb(in[2], in[1], in[0]);
        } else {
            for (int x = 0; x < w; ++x, in += 4) {
                const std::uint32_t v = in[0] | (in[1] << 8) | (in[2] << 16) | (std::uint32_t{in[3]} << 24);
                out[x] = rgb(red.extract(v), green.extract(v), blue.extract(v));
            }
        }
    }
}

}  // namespace imagefile
