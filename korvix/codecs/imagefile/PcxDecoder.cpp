// PCX: run-length encoded scan lines of 1 to 4 planes. 1 bit with 1 to 4 planes
// indexes the header's 16 colours (a single plane is black and white); 2, 4 or 8
// bits with one plane index the header palette, or at 8 bits the 256-colour
// palette at the end of the file; 2, 4 or 8 bits with three planes are red,
// green and blue. Always 32 bits without alpha.
#include "Decoders.h"

#include <algorithm>
#include <vector>

namespace imagefile {

namespace {

// Run-length decoding: a byte above 191 repeats the next byte (byte & 63) times.
// Runs may continue from one scan line into the next.
class PcxRuns {
public:
    explicit PcxRuns(ByteSource& src) : m_src(src) {}

    void line(std::uint8_t* out, std::size_t count)
    {
        std::size_t i = 0;
        while (i < count) {
            if (m_nPending > 0) {
                const std::size_t n = std::min<std::size_t>(m_nPending, count - i);
                std::fill(out + i, out + i + n, m_nValue);
                m_nPending -= n;
                i += n;
                continue;
            }
            const std::uint8_t b = m_src.u8();
            if (b > 191) {
                m_nPending = b & 63;
                m_nValue = m_src.u8();
            } else {
                out[i++] = b;
            }
        }
    }

private:
    ByteSource& m_src;
    std::size_t m_nPending = 0;
    std::uint8_t m_nValue = 0;
};

}  // namespace

void decodePcx(ByteSource& src, PixelBitmap& bitmap, const Request& req)
{
    src.seek(0);
    const std::uint8_t* h = src.take(128);
    const int bits = h[3];
    const int xMin = h[4] | (h[5] << 8), yMin = h[6] | (h[7] << 8);
    const int xMax = h[8] | (h[9] << 8), yMax = h[10] | (h[11] << 8);
    const int planes = h[65];
    const std::size_t bytesPerLine = static_cast<std::size_t>(h[66] | (h[67] << 8));
    const std::int64_t width = std::int64_t{xMax} - xMin + 1;
    const std::int64_t height = std::int64_t{yMax} - yMin + 1;
    if (width <= 0 || height <= 0)
        src.fail(1, "image size " + std::to_string(width) + " x " + std::to_string(height) + " is not valid");

    const bool onePlane = planes == 1 && (bits == 1 || bits == 2 || bits == 4 || bits == 8);
    const bool planar1 = bits == 1 && planes >= 2 && planes <= 4;
    const bool rgbPlanes = planes == 3 && (bits == 2 || bits == 4 || bits == 8);
    if (!onePlane && !planar1 && !rgbPlanes)
        src.fail(2, std::to_string(bits) + " bits with " + std::to_string(planes) + " planes are not supported");
    if (static_cast<std::uint64_t>(bytesPerLine) * 8 < static_cast<std::uint64_t>(width) * bits)
        src.fail(1, "the scan lines are shorter than the image");

    std::uint32_t table[256];
    for (int i = 0; i < 16; ++i)
        table[i] = rgb(h[16 + 3 * i], h[17 + 3 * i], h[18 + 3 * i]);
    for (int i = 16; i < 256; ++i)
        table[i] = 0xFF000000u;
    if (planes == 1 && bits == 1) {
        table[0] = rgb(0, 0, 0);
        table[1] = rgb(255, 255, 255);
    }
    if (planes == 1 && bits == 8) {
        if (src.size() < 128 + 769 || src.data()[src.size() - 769] != 12)
            throw CTextException(7, "bad color map signature.");
        const std::uint8_t* p = src.data() + src.size() - 768;
        for (int i = 0; i < 256; ++i)
            table[i] = rgb(p[3 * i], p[3 * i + 1], p[3 * i + 2]);
    }

    // Every scan line needs at least one byte per 63 decoded bytes.
    const std::uint64_t lineBytes = std::uint64_t{bytesPerLine} * static_cast<std::uint64_t>(planes);
    if (src.remaining() < (lineBytes + 62) / 63 * static_cast<std::uint64_t>(height))
        src.truncated();
    createImage(bitmap, width, height, 32, false, "PCX", req);

    PcxRuns runs(src);
    std::vector<std::uint8_t> line(static_cast<std::size_t>(lineBytes));
    const int w = bitmap.width();
    const std::uint32_t mask = (1u << bits) - 1;
    const auto sampleAt = [&](const std::uint8_t* plane, int x) -> std::uint32_t {
        const int bit = x * bits;
        return (plane[bit >> 3] >> (8 - bits - (bit & 7))) & mask;
    };
    for (int y = 0; y < bitmap.height(); ++y) {
        runs.line(line.data(), line.size());
        auto* out = reinterpret_cast<std::uint32_t*>(bitmap.row(y));
        if (rgbPlanes) {
            const std::uint8_t* r = line.data();
            const std::uint8_t* g = r + bytesPerLine;
            const std::uint8_t* b = g + bytesPerLine;
            if (bits == 8) {
                for (int x = 0; x < w; ++x)
                    out[x] = rgb(r[x], g[x], b[x]);
            } else {
                for (int x = 0; x < w; ++x)
                    out[x] = rgb(sampleAt(r, x) * 255 / mask, sampleAt(g, x) * 255 / mask, sampleAt(b, x) * 255 / mask);
            }
        } else if (planar1) {
            for (int x = 0; x < w; ++x) {
                std::uint32_t index = 0;
                for (int p = 0; p < planes; ++p)
                    index |= sampleAt(line.data() + static_cast<std::size_t>(p) * bytesPerLine, x) << p;
                out[x] = table[index];
            }
        } else if (bits == 8) {
            for (int x = 0; x < w; ++x)
                out[x] = table[line[static_cast<std::size_t>(x)]];
        } else {
            for (int x = 0; x < w; ++x)
                out[x] = table[sampleAt(line.data(), x)];
        }
    }
}

}  // namespace imagefile
