#include "document/ReducedPicture.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

namespace {

// 1:2, the common case, two rows at a time: every output byte is the rounded
// mean of four, which the compiler turns into vector code.
void halveRows(const PixelBitmap& source, PixelBitmap& out, int fullColumns, int fullRows)
{
    for (int oy = 0; oy < fullRows; ++oy) {
        const std::uint8_t* a = source.row(2 * oy);
        const std::uint8_t* b = source.row(2 * oy + 1);
        std::uint8_t* d = out.row(oy);
        for (int i = 0; i < 4 * fullColumns; ++i) {
            const int x = (i >> 2) * 8 + (i & 3);
            d[i] = static_cast<std::uint8_t>((a[x] + a[x + 4] + b[x] + b[x + 4] + 2) >> 2);
        }
    }
}

}  // namespace

PixelBitmap reducedPicture(const PixelBitmap& source, int factor)
{
    const int w = source.width(), h = source.height();
    const int f = std::max(1, factor);
    const int ow = (w + f - 1) / f, oh = (h + f - 1) / f;
    PixelBitmap out;
    out.create(std::max(1, ow), std::max(1, oh), 32, source.hasAlpha());
    if (w == 0 || h == 0)
        return out;
    // Whole blocks hold f x f pixels; with f a power of two their mean is a shift.
    const bool powerOfTwo = std::has_single_bit(static_cast<unsigned>(f));
    const int shift = powerOfTwo ? 2 * std::countr_zero(static_cast<unsigned>(f)) : 0;
    int firstRow = 0;
    if (f == 2) {
        halveRows(source, out, w / 2, h / 2);
        firstRow = h / 2;  // only a partial last row or column is left
    }
    // One band of source rows at a time is summed per output column into
    // 32-bit totals (16 x 16 x 255 fits many times over), then divided.
    std::vector<std::uint32_t> sums(static_cast<std::size_t>(ow) * 4);
    for (int oy = 0; oy < oh; ++oy) {
        // After the 1:2 rows only the last column is left to do in them.
        const int fromColumn = oy < firstRow ? w / 2 : 0;
        if (fromColumn >= ow)
            continue;
        std::fill(sums.begin(), sums.end(), 0u);
        const int y0 = oy * f, y1 = std::min(h, y0 + f);
        for (int y = y0; y < y1; ++y) {
            const std::uint8_t* s = source.row(y);
            for (int ox = fromColumn; ox < ow; ++ox) {
                const int x0 = ox * f, x1 = std::min(w, x0 + f);
                std::uint32_t b = 0, g = 0, r = 0, a = 0;
                for (const std::uint8_t* p = s + 4 * x0; p < s + 4 * x1; p += 4) {
                    b += p[0];
                    g += p[1];
                    r += p[2];
                    a += p[3];
                }
                std::uint32_t* t = &sums[4 * static_cast<std::size_t>(ox)];
                t[0] += b;
                t[1] += g;
                t[2] += r;
                t[3] += a;
            }
        }
        std::uint8_t* d = out.row(oy);
        for (int ox = fromColumn; ox < ow; ++ox) {
            const std::uint32_t n = static_cast<std::uint32_t>((std::min(w, ox * f + f) - ox * f) * (y1 - y0));
            const std::uint32_t* t = &sums[4 * static_cast<std::size_t>(ox)];
            const bool whole = powerOfTwo && n == static_cast<std::uint32_t>(f * f);
            for (int c = 0; c < 4; ++c)
                d[4 * ox + c] = static_cast<std::uint8_t>(whole ? (t[c] + n / 2) >> shift : (t[c] + n / 2) / n);
        }
    }
    return out;
}
