#include "document/PixelDelta.h"

#include <zstd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// A band of about this many bytes stays in the second-level cache between
// its difference and its compression, or its decompression and its addition.
constexpr std::size_t BAND_BYTES = std::size_t{256} << 10;
// zstd's fastest levels lose a third of the ratio on the differences of value
// tables (gamma, contrast) and gain little speed; the higher ones cost several
// times the time for a few per cent.
constexpr int LEVEL = 1;

struct CompressorFree {
    void operator()(ZSTD_CCtx* c) const { ZSTD_freeCCtx(c); }
};
struct DecompressorFree {
    void operator()(ZSTD_DCtx* d) const { ZSTD_freeDCtx(d); }
};

// One context per thread, kept: making one costs its tables each time.
ZSTD_CCtx* compressor()
{
    thread_local std::unique_ptr<ZSTD_CCtx, CompressorFree> context(ZSTD_createCCtx());
    if (!context)
        throw std::bad_alloc();
    return context.get();
}

ZSTD_DCtx* decompressor()
{
    thread_local std::unique_ptr<ZSTD_DCtx, DecompressorFree> context(ZSTD_createDCtx());
    if (!context)
        throw std::bad_alloc();
    return context.get();
}

// out = a - b bytewise (modulo 256); whether any byte differs.
bool difference(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* out, std::size_t n)
{
    std::size_t i = 0;
    std::uint8_t any = 0;
#if defined(__SSE2__)
    __m128i anyV = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i d = _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i)),
                                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i)));
        anyV = _mm_or_si128(anyV, d);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), d);
    }
    any = _mm_movemask_epi8(_mm_cmpeq_epi8(anyV, _mm_setzero_si128())) != 0xFFFF;
#endif
    for (; i < n; ++i) {
        out[i] = static_cast<std::uint8_t>(a[i] - b[i]);
        any |= out[i];
    }
    return any != 0;
}

// p += d (add) or p -= d bytewise, modulo 256.
void addOrSubtract(std::uint8_t* p, const std::uint8_t* d, std::size_t n, bool add)
{
    std::size_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), add ? _mm_add_epi8(v, dv) : _mm_sub_epi8(v, dv));
    }
#endif
    for (; i < n; ++i)
        p[i] = static_cast<std::uint8_t>(add ? p[i] + d[i] : p[i] - d[i]);
}

}  // namespace

template <typename OldRow>
PixelDelta PixelDelta::build(OldRow oldRow, int y0, int rows, const PixelBitmap& after)
{
    PixelDelta delta;
    delta.m_nWidth = after.width();
    delta.m_nHeight = after.height();
    delta.m_nRowBytes = after.bytesPerLine();
    const std::size_t rowBytes = static_cast<std::size_t>(delta.m_nRowBytes);
    if (rowBytes == 0 || rows <= 0)
        return delta;
    const int bandRows = static_cast<int>(std::max<std::size_t>(1, BAND_BYTES / rowBytes));
    std::vector<std::uint8_t> band(static_cast<std::size_t>(bandRows) * rowBytes);
    std::vector<std::uint8_t> packed(ZSTD_compressBound(band.size()));
    ZSTD_CCtx* context = compressor();
    for (int y = y0; y < y0 + rows; y += bandRows) {
        const int n = std::min(bandRows, y0 + rows - y);
        bool changed = false;
        for (int r = 0; r < n; ++r)
            changed |= difference(oldRow(y + r), after.row(y + r), band.data() + static_cast<std::size_t>(r) * rowBytes,
                                  rowBytes);
        Band b{y, n, delta.m_data.size(), 0};
        if (changed) {
            const std::size_t size = ZSTD_compressCCtx(context, packed.data(), packed.size(), band.data(),
                                                       static_cast<std::size_t>(n) * rowBytes, LEVEL);
            if (ZSTD_isError(size))
                throw std::bad_alloc();  // the only way it fails with a buffer of compressBound
            delta.m_data.insert(delta.m_data.end(), packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(size));
            b.size = size;
            ++delta.m_nChangedBands;
        }
        delta.m_bands.push_back(b);
    }
    delta.m_data.shrink_to_fit();
    return delta;
}

PixelDelta PixelDelta::between(const PixelBitmap& before, const PixelBitmap& after)
{
    if (before.width() != after.width() || before.height() != after.height()
        || before.bitsPerPixel() != after.bitsPerPixel())
        throw std::invalid_argument("PixelDelta: pictures of different sizes");
    return build([&](int y) { return before.row(y); }, 0, after.height(), after);
}

PixelDelta PixelDelta::between(const std::uint8_t* beforeRows, int y0, int rows, const PixelBitmap& after)
{
    y0 = std::clamp(y0, 0, after.height());
    rows = std::clamp(rows, 0, after.height() - y0);
    const std::size_t rowBytes = static_cast<std::size_t>(after.bytesPerLine());
    return build([&](int y) { return beforeRows + static_cast<std::size_t>(y - y0) * rowBytes; }, y0, rows, after);
}

void PixelDelta::apply(PixelBitmap& picture, bool add) const
{
    if (m_nChangedBands == 0)
        return;
    if (picture.width() != m_nWidth || picture.height() != m_nHeight || picture.bytesPerLine() != m_nRowBytes)
        throw std::invalid_argument("PixelDelta: applied to a picture of another size");
    const std::size_t rowBytes = static_cast<std::size_t>(m_nRowBytes);
    int most = 0;
    for (const Band& b : m_bands)
        most = std::max(most, b.rows);
    std::vector<std::uint8_t> band(static_cast<std::size_t>(most) * rowBytes);
    ZSTD_DCtx* context = decompressor();
    for (const Band& b : m_bands) {
        if (b.size == 0)
            continue;
        const std::size_t expected = static_cast<std::size_t>(b.rows) * rowBytes;
        const std::size_t got = ZSTD_decompressDCtx(context, band.data(), expected, m_data.data() + b.offset, b.size);
        // The data never left this object: a failure here is a broken program.
        if (ZSTD_isError(got) || got != expected)
            throw std::logic_error("PixelDelta: a band does not decompress");
        for (int r = 0; r < b.rows; ++r)
            addOrSubtract(picture.row(b.y0 + r), band.data() + static_cast<std::size_t>(r) * rowBytes, rowBytes, add);
    }
}

void PixelDelta::restore(PixelBitmap& picture) const
{
    apply(picture, true);
}

void PixelDelta::reapply(PixelBitmap& picture) const
{
    apply(picture, false);
}

std::size_t PixelDelta::bytes() const
{
    return m_data.capacity() + m_bands.capacity() * sizeof(Band) + sizeof(*this);
}
