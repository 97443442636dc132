// PICT: version 1 (one-byte opcodes) and version 2 (two-byte opcodes, data
// aligned to 16 bits) pictures after the 512-byte preamble. The bitmap and
// pixmap opcodes (BitsRect, BitsRgn, PackBitsRect, PackBitsRgn, DirectBitsRect,
// DirectBitsRgn) are drawn onto a white canvas of the picture frame's size;
// other drawing opcodes are skipped. QuickTime JPEG data is refused.
#include "Decoders.h"

#include <algorithm>
#include <vector>

namespace imagefile {

namespace {

struct Rect {
    int top = 0, left = 0, bottom = 0, right = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

Rect readRect(ByteSource& src)
{
    Rect r;
    r.top = static_cast<std::int16_t>(src.u16be());
    r.left = static_cast<std::int16_t>(src.u16be());
    r.bottom = static_cast<std::int16_t>(src.u16be());
    r.right = static_cast<std::int16_t>(src.u16be());
    return r;
}

// PackBits: a count byte n < 128 copies n + 1 literal units, n > 128 repeats one
// unit 257 - n times, 128 is a no-op. A unit is 1 or 2 bytes.
void unpackBits(ByteSource& src, std::size_t packedLength, std::uint8_t* out, std::size_t outLength, int unit)
{
    ByteSource packed(src.take(packedLength), packedLength, src.format());
    std::size_t i = 0;
    const std::size_t u = static_cast<std::size_t>(unit);
    while (i < outLength && packed.remaining() > 0) {
        const std::uint8_t n = packed.u8();
        if (n < 128) {
            const std::size_t bytes = (std::size_t{n} + 1) * u;
            const std::uint8_t* p = packed.take(bytes);
            const std::size_t copy = std::min(bytes, outLength - i);
            std::copy(p, p + copy, out + i);
            i += copy;
        } else if (n > 128) {
            const std::uint8_t* p = packed.take(u);
            for (std::size_t k = 0; k < 257u - n && i < outLength; ++k)
                for (std::size_t b = 0; b < u && i < outLength; ++b)
                    out[i++] = p[b];
        }
    }
    if (i < outLength)
        src.fail(7, "a packed row is too short");
}

struct PixMap {
    int rowBytes = 0;
    Rect bounds;
    int packType = 0;
    int pixelSize = 1;
    int componentCount = 1;
    bool isPixMap = false;
    std::uint32_t table[256] = {};
};

void readColourTable(ByteSource& src, PixMap& pm)
{
    src.skip(4);  // seed
    const std::uint16_t flags = src.u16be();
    const int count = static_cast<std::int16_t>(src.u16be()) + 1;
    if (count < 0 || count > 256)
        src.fail(1, "colour table of " + std::to_string(count) + " entries");
    for (int i = 0; i < count; ++i) {
        const std::uint16_t value = src.u16be();
        const std::uint32_t r = src.u16be() >> 8, g = src.u16be() >> 8, b = src.u16be() >> 8;
        // A device table is indexed by position, any other by the stored value.
        const int index = (flags & 0x8000) ? i : (value & 0xFF);
        pm.table[index] = rgb(r, g, b);
    }
}

// The PixMap fields behind rowBytes and bounds.
void readPixMapFields(ByteSource& src, PixMap& pm)
{
    src.skip(2);  // version
    pm.packType = src.u16be();
    src.skip(4 + 4 + 4 + 2);  // packSize, hRes, vRes, pixelType
    pm.pixelSize = src.u16be();
    pm.componentCount = src.u16be();
    src.skip(2 + 4 + 4 + 4);  // componentSize, planeBytes, pmTable, pmReserved
}

// Paints the rows of one pixmap or bitmap from srcRect to dstRect of the canvas
// (nearest neighbour when the rectangles differ in size) as they are decoded,
// so a pixmap never needs more than one row of memory.
class RowPainter {
public:
    RowPainter(PixelBitmap& bitmap, const Rect& frame, const Rect& bounds, const Rect& srcRect, const Rect& dstRect)
        : m_bitmap(bitmap), m_frame(frame), m_bounds(bounds), m_src(srcRect), m_dst(dstRect)
    {
        m_bEmpty = srcRect.width() <= 0 || srcRect.height() <= 0 || dstRect.width() <= 0 || dstRect.height() <= 0;
    }

    // Row y of the pixmap (0 at bounds.top), bounds.width() pixels.
    void row(int y, const std::uint32_t* in)
    {
        if (m_bEmpty)
            return;
        // Destination rows map to source rows in rising order.
        const int dh = m_dst.height();
        while (m_nNextDy < dh && sourceRow(m_nNextDy) < y)
            ++m_nNextDy;
        for (; m_nNextDy < dh && sourceRow(m_nNextDy) == y; ++m_nNextDy)
            paint(m_nNextDy, in);
    }

private:
    int sourceRow(int dy) const
    {
        return m_src.top + static_cast<int>(std::int64_t{dy} * m_src.height() / m_dst.height()) - m_bounds.top;
    }

    void paint(int dy, const std::uint32_t* in)
    {
        const int cy = m_dst.top + dy - m_frame.top;
        if (cy < 0 || cy >= m_bitmap.height())
            return;
        const int sw = m_src.width(), dw = m_dst.width(), bw = m_bounds.width();
        auto* out = reinterpret_cast<std::uint32_t*>(m_bitmap.row(cy));
        if (sw == dw) {
            // Unscaled: one clipped copy.
            const int x0 = std::max({0, m_frame.left - m_dst.left, m_bounds.left - m_src.left});
            const int x1 = std::min({dw, m_bitmap.width() + m_frame.left - m_dst.left, bw + m_bounds.left - m_src.left});
            if (x1 > x0)
                std::copy(in + m_src.left - m_bounds.left + x0, in + m_src.left - m_bounds.left + x1,
                          out + m_dst.left - m_frame.left + x0);
            return;
        }
        for (int dx = 0; dx < dw; ++dx) {
            const int cx = m_dst.left + dx - m_frame.left;
            const int sx = m_src.left + static_cast<int>(std::int64_t{dx} * sw / dw) - m_bounds.left;
            if (cx >= 0 && cx < m_bitmap.width() && sx >= 0 && sx < bw)
                out[cx] = in[sx];
        }
    }

    PixelBitmap& m_bitmap;
    Rect m_frame, m_bounds, m_src, m_dst;
    bool m_bEmpty = false;
    int m_nNextDy = 0;
};

// Reads one bitmap or pixmap opcode's data and paints it.
void readBits(ByteSource& src, PixelBitmap& bitmap, const Rect& frame, bool direct, bool region, bool packedOp)
{
    if (direct)
        src.skip(4);  // base address
    PixMap pm;
    const std::uint16_t rowWord = src.u16be();
    pm.isPixMap = rowWord & 0x8000;
    pm.rowBytes = rowWord & 0x3FFF;
    pm.bounds = readRect(src);
    if (pm.isPixMap) {
        readPixMapFields(src, pm);
        if (!direct)
            readColourTable(src, pm);
    } else {
        // A bitmap: one bit per pixel, set bits black.
        if (direct)
            src.fail(1, "direct pixels without a pixmap");
        pm.table[0] = rgb(255, 255, 255);
        pm.table[1] = rgb(0, 0, 0);
    }
    const Rect srcRect = readRect(src);
    const Rect dstRect = readRect(src);
    src.skip(2);  // transfer mode
    if (region)
        src.skip(std::max<std::size_t>(src.u16be(), 2) - 2);

    const int width = pm.bounds.width();
    const int height = pm.bounds.height();
    if (width <= 0 || height <= 0 || width > 32767 || height > 32767)
        src.fail(1, "bad bounds of a pixel map");
    const int size = pm.pixelSize;
    const bool indexed = !direct;
    if (indexed && size != 1 && size != 2 && size != 4 && size != 8)
        src.fail(2, std::to_string(size) + "-bit indexed pixels are not supported");
    if (direct && size != 16 && size != 32)
        src.fail(2, std::to_string(size) + "-bit direct pixels are not supported");
    // Each row costs at least one byte of data.
    if (src.remaining() < static_cast<std::size_t>(height))
        src.truncated();

    // Bytes of one unpacked row, as they come out of the data.
    const int components = pm.componentCount >= 4 ? 4 : 3;
    std::size_t unpackedRow = static_cast<std::size_t>(pm.rowBytes);
    int unit = 1;
    bool packed = pm.rowBytes >= 8 && packedOp;
    bool planar = false;
    if (direct && size == 32) {
        if (pm.packType == 0 || pm.packType == 4) {
            planar = packed;
            unpackedRow = planar ? static_cast<std::size_t>(width) * components : static_cast<std::size_t>(pm.rowBytes);
        } else if (pm.packType == 2) {
            packed = false;
            unpackedRow = static_cast<std::size_t>(width) * 3;
        } else {
            packed = false;
        }
    } else if (direct && size == 16) {
        unit = 2;
        if (pm.packType == 1)
            packed = false;
    }
    if (!packedOp)
        packed = false;
    // What one row must hold for the way it is read below.
    const std::size_t w64 = static_cast<std::size_t>(width);
    std::size_t needed = (w64 * static_cast<std::size_t>(size) + 7) / 8;
    if (planar)
        needed = w64 * static_cast<std::size_t>(components);
    else if (direct && size == 32 && pm.packType == 2)
        needed = w64 * 3;
    if (unpackedRow < needed)
        src.fail(1, "rows are shorter than the pixel map");
    // What the data must hold for its rows: whole rows when they are stored as
    // they are; when packed, a length and at least one two-byte run per 128 units.
    const std::uint64_t rowCost = packed ? (pm.rowBytes > 250 ? 2u : 1u)
            + (unpackedRow + 128u * unit - 1) / (128u * unit) * (1u + static_cast<unsigned>(unit))
                                         : unpackedRow;
    if (rowCost > 0 && src.remaining() / rowCost < static_cast<std::uint64_t>(height))
        src.truncated();

    RowPainter painter(bitmap, frame, pm.bounds, srcRect, dstRect);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width));
    std::vector<std::uint8_t> row(unpackedRow);
    for (int y = 0; y < height; ++y) {
        if (packed) {
            const std::size_t length = pm.rowBytes > 250 ? src.u16be() : src.u8();
            unpackBits(src, length, row.data(), row.size(), unit);
        } else {
            const std::uint8_t* p = src.take(unpackedRow);
            std::copy(p, p + unpackedRow, row.begin());
        }
        std::uint32_t* out = pixels.data();
        if (indexed) {
            const std::uint32_t mask = (1u << size) - 1;
            for (int x = 0; x < width; ++x) {
                const int bit = x * size;
                out[x] = pm.table[(row[static_cast<std::size_t>(bit >> 3)] >> (8 - size - (bit & 7))) & mask];
            }
        } else if (size == 16) {
            for (int x = 0; x < width; ++x) {
                const std::uint32_t v = (row[2 * static_cast<std::size_t>(x)] << 8) | row[2 * static_cast<std::size_t>(x) + 1];
                const std::uint32_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
                out[x] = rgb((r << 3) | (r >> 2), (g << 3) | (g >> 2), (b << 3) | (b >> 2));
            }
        } else if (planar) {
            // Component planes: (alpha,) red, green, blue, each width bytes.
            const std::size_t w = static_cast<std::size_t>(width);
            const std::uint8_t* r = row.data() + (components == 4 ? w : 0);
            for (std::size_t x = 0; x < w; ++x)
                out[x] = rgb(r[x], r[x + w], r[x + 2 * w]);
        } else if (pm.packType == 2) {
            for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x)
                out[x] = rgb(row[3 * x], row[3 * x + 1], row[3 * x + 2]);
        } else {
            for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x)
                out[x] = rgb(row[4 * x + 1], row[4 * x + 2], row[4 * x + 3]);
        }
        painter.row(y, pixels.data());
    }
}

// Data length of the fixed-size opcodes below 0x100; -1 for the ones handled in
// code (variable length or drawn).
int fixedLength(int op)
{
    switch (op) {
    case 0x00: case 0x1C: case 0x1E: case 0x17: case 0x18: case 0x19: return 0;
    case 0x04: return 1;
    case 0x03: case 0x05: case 0x08: case 0x0D: case 0x15: case 0x16: case 0x23: case 0xA0: return 2;
    case 0x06: case 0x07: case 0x0B: case 0x0C: case 0x0E: case 0x0F: case 0x21: return 4;
    case 0x1A: case 0x1B: case 0x1D: case 0x1F: case 0x22: return 6;
    case 0x02: case 0x09: case 0x0A: case 0x10: case 0x20: return 8;
    default: break;
    }
    if (op >= 0x30 && op <= 0x37) return 8;
    if (op >= 0x38 && op <= 0x3F) return 0;
    if (op >= 0x40 && op <= 0x47) return 8;
    if (op >= 0x48 && op <= 0x4F) return 0;
    if (op >= 0x50 && op <= 0x57) return 8;
    if (op >= 0x58 && op <= 0x5F) return 0;
    if (op >= 0x60 && op <= 0x67) return 12;
    if (op >= 0x68 && op <= 0x6F) return 4;
    if (op >= 0x78 && op <= 0x7F) return 0;
    if (op >= 0x88 && op <= 0x8F) return 0;
    if (op >= 0xB0 && op <= 0xCF) return 0;
    return -1;
}

}  // namespace

void decodePict(ByteSource& src, PixelBitmap& bitmap, const Request& req)
{
    src.seek(512);
    src.skip(2);  // the picture's size, unreliable beyond 32 KB
    const Rect frame = readRect(src);
    const std::int64_t width = frame.width();
    const std::int64_t height = frame.height();
    if (width <= 0 || height <= 0)
        src.fail(1, "bad picture frame");

    // Version: 0x11 0x01 (one-byte opcodes) or 0x0011 0x02FF.
    bool v2 = false;
    if (src.has(4) && src.data()[src.pos()] == 0x00 && src.data()[src.pos() + 1] == 0x11) {
        v2 = src.data()[src.pos() + 2] == 0x02;
        src.skip(v2 ? 4 : 3);
    } else if (src.has(2) && src.data()[src.pos()] == 0x11) {
        src.skip(2);
    } else {
        src.fail(1, "no version opcode");
    }

    createImage(bitmap, width, height, 32, false, "PICT", req);
    for (int y = 0; y < bitmap.height(); ++y)
        std::fill_n(reinterpret_cast<std::uint32_t*>(bitmap.row(y)), bitmap.width(), 0xFFFFFFFFu);

    for (;;) {
        if (v2 && (src.pos() & 1))
            src.skip(1);
        const int op = v2 ? src.u16be() : src.u8();
        if (op == 0xFF || (v2 && op == 0xFFFF))
            return;
        const int length = op < 0x100 ? fixedLength(op) : -1;
        if (length >= 0) {
            src.skip(static_cast<std::size_t>(length));
            continue;
        }
        switch (op) {
        case 0x01:  // clip region
        case 0x70: case 0x71: case 0x72: case 0x73: case 0x74: case 0x75: case 0x76: case 0x77:  // polygons
        case 0x80: case 0x81: case 0x82: case 0x83: case 0x84: case 0x85: case 0x86: case 0x87:  // regions
            src.skip(std::max<std::size_t>(src.u16be(), 2) - 2);
            continue;
        case 0x11:  // version inside the picture
            src.skip(v2 ? 2 : 1);
            continue;
        case 0x28:  // long text: point, count, text
            src.skip(4);
            src.skip(src.u8());
            continue;
        case 0x29: case 0x2A:  // DH or DV text
            src.skip(1);
            src.skip(src.u8());
            continue;
        case 0x2B:  // DHDV text
            src.skip(2);
            src.skip(src.u8());
            continue;
        case 0x90: readBits(src, bitmap, frame, false, false, false); continue;
        case 0x91: readBits(src, bitmap, frame, false, true, false); continue;
        case 0x98: readBits(src, bitmap, frame, false, false, true); continue;
        case 0x99: readBits(src, bitmap, frame, false, true, true); continue;
        case 0x9A: readBits(src, bitmap, frame, true, false, true); continue;
        case 0x9B: readBits(src, bitmap, frame, true, true, true); continue;
        case 0xA1:  // long comment: kind, then data with its length
            src.skip(2);
            src.skip(src.u16be());
            continue;
        case 0x12: case 0x13: case 0x14:
            src.fail(2, "pixel patterns are not supported");
        default:
            break;
        }
        if (!v2)
            src.fail(2, "opcode " + std::to_string(op) + " in a version 1 picture");
        if (op == 0x8200)
            src.fail(6, "pictures with JPEG data are not supported");
        if ((op >= 0x24 && op <= 0x2F) || (op >= 0x92 && op <= 0x97) || (op >= 0x9C && op <= 0x9F)
            || (op >= 0xA2 && op <= 0xAF))
            src.skip(src.u16be());  // reserved, with a 16-bit length
        else if (op >= 0xD0 && op <= 0xFE)
            src.skip(src.u32be());
        else if (op >= 0x100 && op <= 0x7FFF)
            src.skip(static_cast<std::size_t>(op >> 8) * 2);
        else if (op >= 0x8000 && op <= 0x80FF)
            continue;
        else if (op >= 0x8100)
            src.skip(src.u32be());
        else
            src.fail(2, "opcode " + std::to_string(op) + " is not supported");
    }
}

}  // namespace imagefile
