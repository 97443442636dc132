#include "filters/ImageFilters.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <iostream>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

struct ErrorState {
    FilterError last = FilterError::None;
    bool silent = false;
    FilterReportFn report = nullptr;
};

ErrorState& errorState()
{
    thread_local ErrorState state;
    return state;
}

void fail(FilterError error, const char* operation)
{
    ErrorState& s = errorState();
    s.last = error;
    if (s.silent)
        return;
    if (s.report)
        s.report(error, operation);
    else
        std::cerr << "image filter " << operation << ": error " << static_cast<int>(error) << '\n';
}

// What one operation touches: a rectangle of the destination and a channel mask
// (bit c for byte c of a pixel).
struct Area {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    unsigned mask = 0;

    int width() const { return x1 - x0; }
    bool empty() const { return x0 >= x1 || y0 >= y1; }
};

bool areaOf(const FilterImage& src, const FilterImage& dst, bool allChannels, Area& area, const char* op)
{
    const ProcessRegion* r = dst.region() ? dst.region() : src.region();
    area = {0, 0, dst.width(), dst.height(), 0x7};
    if (r) {
        if (r->channel < 0 || r->channel > 4) {
            fail(FilterError::BadArgument, op);
            return false;
        }
        area.mask = r->channel == 0 ? 0x7u : 1u << (r->channel - 1);
        const std::int64_t x1 = std::int64_t{r->x} + std::max(0, r->width);
        const std::int64_t y1 = std::int64_t{r->y} + std::max(0, r->height);
        area.x0 = std::clamp(r->x, 0, dst.width());
        area.y0 = std::clamp(r->y, 0, dst.height());
        area.x1 = static_cast<int>(std::clamp<std::int64_t>(x1, area.x0, dst.width()));
        area.y1 = static_cast<int>(std::clamp<std::int64_t>(y1, area.y0, dst.height()));
    }
    if (allChannels)
        area.mask = 0xF;
    return true;
}

bool sameSize(const FilterImage& a, const FilterImage& b, const char* op)
{
    if (a.width() == b.width() && a.height() == b.height())
        return true;
    fail(FilterError::SizeMismatch, op);
    return false;
}

// Stores `count` computed pixels into `out`, only the channels in `mask`: a
// word-wide blend that keeps the other bytes.
void storeMasked(const std::uint8_t* computed, std::uint8_t* out, int count, unsigned mask)
{
    const std::size_t n = static_cast<std::size_t>(count) * 4;
    if (mask == 0xF) {
        std::memcpy(out, computed, n);
        return;
    }
    std::uint8_t takeBytes[4];
    for (unsigned c = 0; c < 4; ++c)
        takeBytes[c] = (mask >> c & 1) ? 0xFF : 0x00;
    std::uint32_t take;
    std::memcpy(&take, takeBytes, 4);
    for (std::size_t i = 0; i < n; i += 4) {
        std::uint32_t a, b;
        std::memcpy(&a, computed + i, 4);
        std::memcpy(&b, out + i, 4);
        b = (b & ~take) | (a & take);
        std::memcpy(out + i, &b, 4);
    }
}

// Source row k (clamped to the image) with columns from - pad ... from + count + pad - 1,
// where columns outside the image repeat the edge pixel.
void paddedRow(const FilterImage& img, int k, int from, int count, int padLeft, int padRight, std::uint8_t* out)
{
    const std::uint8_t* row = img.row(std::clamp(k, 0, img.height() - 1));
    const int first = from - padLeft, last = from + count + padRight;  // [first, last)
    const int inFirst = std::clamp(first, 0, img.width()), inLast = std::clamp(last, 0, img.width());
    int i = 0;
    for (; i < inFirst - first && i < last - first; ++i)
        std::memcpy(out + 4 * i, row, 4);
    if (inLast > inFirst) {
        std::memcpy(out + 4 * i, row + 4 * static_cast<std::size_t>(inFirst), 4 * static_cast<std::size_t>(inLast - inFirst));
        i += inLast - inFirst;
    }
    for (; i < last - first; ++i)
        std::memcpy(out + 4 * i, row + 4 * static_cast<std::size_t>(img.width() - 1), 4);
}

// A source that is also the destination is read from a copy.
const FilterImage* readable(const FilterImage& src, const FilterImage& dst, std::unique_ptr<FilterImage>& copy)
{
    if (&src != &dst)
        return &src;
    copy = cloneImage(src);
    return copy.get();
}

// Exact rounded division (x + d / 2) / d for x <= 255 * d, d < 256, in 32 bits.
struct RoundedDivider {
    explicit RoundedDivider(std::uint32_t divisor)
        : d(divisor), half(divisor / 2), m(static_cast<std::uint32_t>(((std::uint64_t{1} << 24) + divisor - 1) / divisor))
    {
    }
    std::uint32_t operator()(std::uint32_t x) const { return ((x + half) * m) >> 24; }
    std::uint32_t d;
    std::uint32_t half;
    std::uint32_t m;
};

// Rounded means of 16-bit sums of d values, a row at a time. For d up to 64 the
// quotient is a 16-bit high multiply and a shift, exact for every sum up to 255 d:
// with s = floor(log2 d) and m = ceil(2^(16 + s) / d) < 2^16 the error of
// (x * m) >> (16 + s) stays below 255.5 d / 2^(16 + s) < 1 / d.
class BlockDivider {
public:
    explicit BlockDivider(std::uint32_t d) : m_exact(d), m_half(static_cast<std::uint16_t>(d / 2))
    {
        while ((2u << m_shift) <= d)
            ++m_shift;
        m_high = d <= 64 && !std::has_single_bit(d);
        if (m_high)
            m_multiplier = static_cast<std::uint16_t>(((1u << (16 + m_shift)) + d - 1) / d);
    }

    void operator()(const std::uint16_t* sums, std::uint8_t* out, std::size_t count) const
    {
        std::size_t i = 0;
        if (std::has_single_bit(m_exact.d)) {
            for (; i < count; ++i)
                out[i] = static_cast<std::uint8_t>((sums[i] + m_half) >> m_shift);
            return;
        }
#if defined(__SSE2__)
        if (m_high) {
            const __m128i half = _mm_set1_epi16(static_cast<short>(m_half));
            const __m128i m = _mm_set1_epi16(static_cast<short>(m_multiplier));
            const __m128i shift = _mm_cvtsi32_si128(m_shift);
            for (; i + 16 <= count; i += 16) {
                const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + i));
                const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + i + 8));
                const __m128i qa = _mm_srl_epi16(_mm_mulhi_epu16(_mm_add_epi16(a, half), m), shift);
                const __m128i qb = _mm_srl_epi16(_mm_mulhi_epu16(_mm_add_epi16(b, half), m), shift);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(qa, qb));
            }
        }
#endif
        for (; i < count; ++i)
            out[i] = static_cast<std::uint8_t>(m_exact(sums[i]));
    }

private:
    RoundedDivider m_exact;
    std::uint16_t m_half;
    int m_shift = 0;
    bool m_high = false;
    std::uint16_t m_multiplier = 0;
};

// out[4 x + c] = the sum of in[4 (x + k) + c] for k = 0 ... n - 1: a running sum per
// channel, the four channels of a pixel handled together.
#if defined(__GNUC__)
using Sum4 = std::uint16_t __attribute__((vector_size(8)));
void slidingSums(const std::uint16_t* in, std::uint16_t* out, int count, int n)
{
    Sum4 s = {0, 0, 0, 0}, add, sub;
    for (int k = 0; k < n; ++k) {
        std::memcpy(&add, in + 4 * k, 8);
        s += add;
    }
    std::memcpy(out, &s, 8);
    for (int x = 1; x < count; ++x) {
        std::memcpy(&add, in + 4 * (x + n - 1), 8);
        std::memcpy(&sub, in + 4 * (x - 1), 8);
        s += add - sub;
        std::memcpy(out + 4 * x, &s, 8);
    }
}
#else
void slidingSums(const std::uint16_t* in, std::uint16_t* out, int count, int n)
{
    for (int c = 0; c < 4; ++c) {
        std::uint16_t s = 0;
        for (int k = 0; k < n; ++k)
            s = static_cast<std::uint16_t>(s + in[4 * k + c]);
        out[c] = s;
        for (int x = 1; x < count; ++x) {
            s = static_cast<std::uint16_t>(s + in[4 * (x + n - 1) + c] - in[4 * (x - 1) + c]);
            out[4 * x + c] = s;
        }
    }
}
#endif

}  // namespace

void setFilterSilentMode(bool silent, FilterReportFn report)
{
    errorState().silent = silent;
    errorState().report = report;
}

FilterError lastFilterError()
{
    return errorState().last;
}

void clearFilterError()
{
    errorState().last = FilterError::None;
}

void recordFilterError(FilterError error, const char* operation)
{
    fail(error, operation);
}

std::unique_ptr<FilterImage> newBgraImage(int width, int height)
{
    if (width < 0 || height < 0) {
        fail(FilterError::BadArgument, "newBgraImage");
        return nullptr;
    }
    try {
        return std::make_unique<FilterImage>(width, height);
    } catch (const std::bad_alloc&) {
        fail(FilterError::OutOfMemory, "newBgraImage");
        return nullptr;
    }
}

std::unique_ptr<FilterImage> cloneImage(const FilterImage& image)
{
    auto copy = newBgraImage(image.width(), image.height());
    if (copy) {
        for (int y = 0; y < image.height(); ++y)
            std::memcpy(copy->row(y), image.row(y), image.stride());
        copy->setEdgeMode(image.edgeMode());
    }
    return copy;
}

void releaseImage(std::unique_ptr<FilterImage>& image)
{
    image.reset();
}

void setEdgeReplicate(FilterImage& image)
{
    image.setEdgeMode(FilterImage::EdgeMode::Replicate);
}

void boxBlur(const FilterImage& src, FilterImage& dst, int n, int anchor)
{
    const char* op = "boxBlur";
    Area area;
    if (!sameSize(src, dst, op) || !areaOf(src, dst, false, area, op))
        return;
    if (n < 1 || n > 15 || anchor < 0 || anchor >= n) {
        fail(FilterError::BadArgument, op);
        return;
    }
    if (area.empty())
        return;
    try {
        const int rw = area.width();
        const int padded = rw + n - 1;
        const std::size_t paddedValues = static_cast<std::size_t>(padded) * 4;
        const std::size_t rowValues = static_cast<std::size_t>(rw) * 4;

        // The n source rows under the window, kept as they were read: a row
        // leaves the window after the rows above it were written, so the
        // destination may be the source itself. Every buffer is taken before
        // the first pixel is written.
        std::vector<std::uint8_t> window(paddedValues * static_cast<std::size_t>(n));
        std::vector<std::uint16_t> columns(paddedValues, 0);
        std::vector<std::uint16_t> sums(rowValues);
        std::vector<std::uint8_t> result(rowValues);
        const auto slot = [&](int k) { return window.data() + paddedValues * static_cast<std::size_t>(k % n); };
        const auto fetch = [&](int k) {
            std::uint8_t* buffer = slot(k - (area.y0 - anchor));
            paddedRow(src, k, area.x0, rw, anchor, n - 1 - anchor, buffer);
            return buffer;
        };
        // Column sums of the window over the padded columns, slid down one row
        // at a time: one row enters, one leaves, whatever n is.
        for (int k = area.y0 - anchor; k < area.y0 - anchor + n; ++k) {
            const std::uint8_t* entering = fetch(k);
            for (std::size_t i = 0; i < paddedValues; ++i)
                columns[i] = static_cast<std::uint16_t>(columns[i] + entering[i]);
        }

        const BlockDivider divide(static_cast<std::uint32_t>(n * n));
        for (int y = area.y0;; ++y) {
            // Sliding sums of n columns along the row; four channels side by side.
            slidingSums(columns.data(), sums.data(), rw, n);
            divide(sums.data(), result.data(), rowValues);
            storeMasked(result.data(), dst.row(y) + 4 * static_cast<std::size_t>(area.x0), rw, area.mask);
            if (y + 1 == area.y1)
                break;
            // The leaving row's slot takes the entering row.
            const std::uint8_t* leaving = slot(y - area.y0);
            for (std::size_t i = 0; i < paddedValues; ++i)
                columns[i] = static_cast<std::uint16_t>(columns[i] - leaving[i]);
            const std::uint8_t* entering = fetch(y - anchor + n);
            for (std::size_t i = 0; i < paddedValues; ++i)
                columns[i] = static_cast<std::uint16_t>(columns[i] + entering[i]);
        }
    } catch (const std::bad_alloc&) {
        fail(FilterError::OutOfMemory, op);
    }
}

void sharpen3x3(const FilterImage& src, FilterImage& dst)
{
    const char* op = "sharpen3x3";
    Area area;
    if (!sameSize(src, dst, op) || !areaOf(src, dst, false, area, op) || area.empty())
        return;
    try {
        const int rw = area.width();
        const std::size_t padded = static_cast<std::size_t>(rw + 2) * 4;
        const std::size_t rowValues = static_cast<std::size_t>(rw) * 4;
        // Rows above, at and below the one computed, as they were read: the
        // row below is read before its turn, so the destination may be the
        // source itself.
        std::vector<std::uint8_t> r0(padded), r1(padded), r2(padded);
        std::vector<std::int16_t> columns(padded);
        std::vector<std::uint8_t> result(rowValues);
        paddedRow(src, area.y0 - 1, area.x0, rw, 1, 1, r0.data());
        paddedRow(src, area.y0, area.x0, rw, 1, 1, r1.data());
        for (int y = area.y0; y < area.y1; ++y) {
            paddedRow(src, y + 1, area.x0, rw, 1, 1, r2.data());
            for (std::size_t i = 0; i < padded; ++i)
                columns[i] = static_cast<std::int16_t>(r0[i] + r1[i] + r2[i]);
            // 16 c - (the 3 x 3 sum - c) = 17 c - the 3 x 3 sum, rounded / 8.
            const std::uint8_t* centre = r1.data() + 4;
            for (std::size_t i = 0; i < rowValues; ++i) {
                const int v = 17 * centre[i] - (columns[i] + columns[i + 4] + columns[i + 8]);
                result[i] = static_cast<std::uint8_t>(std::clamp((v + 4) >> 3, 0, 255));
            }
            storeMasked(result.data(), dst.row(y) + 4 * static_cast<std::size_t>(area.x0), rw, area.mask);
            r0.swap(r1);
            r1.swap(r2);
        }
    } catch (const std::bad_alloc&) {
        fail(FilterError::OutOfMemory, op);
    }
}

void mirrorImage(const FilterImage& src, FilterImage& dst, MirrorAxis axis)
{
    const char* op = "mirrorImage";
    Area area;
    if (!sameSize(src, dst, op) || !areaOf(src, dst, false, area, op) || area.empty())
        return;
    try {
        const int W = src.width(), H = src.height();
        const std::size_t n = static_cast<std::size_t>(area.width()) * 4;
        const std::size_t x0 = 4 * static_cast<std::size_t>(area.x0);
        // Each row's source is read into a buffer before the row is written, so
        // the destination may be the source itself.
        std::vector<std::uint8_t> mirrored(n), partner(n);
        for (int y = area.y0; y < area.y1; ++y) {
            if (axis == MirrorAxis::Horizontal) {
                // Rows y and H - 1 - y trade places: a pair inside the area is
                // done together, at its upper row.
                const int p = H - 1 - y;
                const bool pairInside = p >= area.y0 && p < area.y1 && p != y;
                if (pairInside && p < y)
                    continue;
                std::memcpy(mirrored.data(), src.row(p) + x0, n);
                if (pairInside)
                    std::memcpy(partner.data(), src.row(y) + x0, n);
                storeMasked(mirrored.data(), dst.row(y) + x0, area.width(), area.mask);
                if (pairInside)
                    storeMasked(partner.data(), dst.row(p) + x0, area.width(), area.mask);
            } else {
                const std::uint8_t* row = src.row(y);
                for (int x = area.x0; x < area.x1; ++x)
                    std::memcpy(&mirrored[4 * static_cast<std::size_t>(x - area.x0)], row + 4 * static_cast<std::size_t>(W - 1 - x), 4);
                storeMasked(mirrored.data(), dst.row(y) + x0, area.width(), area.mask);
            }
        }
    } catch (const std::bad_alloc&) {
        fail(FilterError::OutOfMemory, op);
    }
}

namespace {

// Four taps per destination position with weights that sum to 1.
struct CubicTaps {
    std::vector<int> index;     // 4 source positions each, clamped
    std::vector<float> weight;  // 4 weights each
};

double keys(double t)
{
    constexpr double a = -0.5;
    t = std::fabs(t);
    if (t <= 1)
        return ((a + 2) * t - (a + 3)) * t * t + 1;
    if (t < 2)
        return ((a * t - 5 * a) * t + 8 * a) * t - 4 * a;
    return 0;
}

CubicTaps cubicTaps(int srcSize, int dstSize, int from, int to)
{
    CubicTaps taps;
    const double scale = static_cast<double>(srcSize) / dstSize;
    for (int d = from; d < to; ++d) {
        const double f = (d + 0.5) * scale - 0.5;
        const int i = static_cast<int>(std::floor(f));
        const double t = f - i;
        double w[4], sum = 0;
        for (int k = 0; k < 4; ++k)
            sum += w[k] = keys(t + 1 - k);
        for (int k = 0; k < 4; ++k) {
            taps.index.push_back(std::clamp(i - 1 + k, 0, srcSize - 1));
            taps.weight.push_back(static_cast<float>(w[k] / sum));
        }
    }
    return taps;
}

// The four horizontally resampled rows weighed, rounded and clamped.
void verticalCubic(const float* __restrict h0, const float* __restrict h1, const float* __restrict h2,
                   const float* __restrict h3, float w0, float w1, float w2, float w3, std::uint8_t* __restrict out,
                   std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        const float v = w0 * h0[i] + w1 * h1[i] + w2 * h2[i] + w3 * h3[i] + 0.5f;
        out[i] = static_cast<std::uint8_t>(static_cast<int>(std::min(std::max(v, 0.0f), 255.0f)));
    }
}

#if defined(__GNUC__)
using Float4 = float __attribute__((vector_size(16)));
using Bytes4 = std::uint8_t __attribute__((vector_size(4)));

Float4 pixelAt(const std::uint8_t* p)
{
    Bytes4 b;
    std::memcpy(&b, p, 4);
    return __builtin_convertvector(b, Float4);
}

// One source row resampled horizontally: four taps per destination pixel.
void cubicRow(const std::uint8_t* in, const CubicTaps& tx, int count, float* out)
{
    for (int x = 0; x < count; ++x) {
        const int* idx = &tx.index[4 * static_cast<std::size_t>(x)];
        const float* w = &tx.weight[4 * static_cast<std::size_t>(x)];
        const Float4 v = w[0] * pixelAt(in + 4 * idx[0]) + w[1] * pixelAt(in + 4 * idx[1])
                         + w[2] * pixelAt(in + 4 * idx[2]) + w[3] * pixelAt(in + 4 * idx[3]);
        std::memcpy(out + 4 * x, &v, sizeof v);
    }
}
#else
void cubicRow(const std::uint8_t* in, const CubicTaps& tx, int count, float* out)
{
    for (int x = 0; x < count; ++x) {
        const int* idx = &tx.index[4 * static_cast<std::size_t>(x)];
        const float* w = &tx.weight[4 * static_cast<std::size_t>(x)];
        for (int c = 0; c < 4; ++c)
            out[4 * x + c] = w[0] * in[4 * idx[0] + c] + w[1] * in[4 * idx[1] + c] + w[2] * in[4 * idx[2] + c]
                             + w[3] * in[4 * idx[3] + c];
    }
}
#endif

}  // namespace

void resampleCubic(const FilterImage& srcIn, FilterImage& dst)
{
    const char* op = "resampleCubic";
    Area area;
    if (!areaOf(srcIn, dst, true, area, op))
        return;
    if (srcIn.width() < 1 || srcIn.height() < 1) {
        if (!area.empty())
            fail(FilterError::SizeMismatch, op);
        return;
    }
    if (area.empty())
        return;
    try {
        std::unique_ptr<FilterImage> copy;
        const FilterImage* src = readable(srcIn, dst, copy);
        if (!src)
            return;
        const int rw = area.width();
        const std::size_t rowValues = static_cast<std::size_t>(rw) * 4;
        const CubicTaps tx = cubicTaps(src->width(), dst.width(), area.x0, area.x1);
        const CubicTaps ty = cubicTaps(src->height(), dst.height(), area.y0, area.y1);

        // Horizontally resampled source rows, cached in a ring of four by row.
        std::vector<float> rows(rowValues * 4);
        int cached[4] = {-1, -1, -1, -1};
        const auto horizontal = [&](int sy) -> const float* {
            float* out = rows.data() + rowValues * static_cast<std::size_t>(sy & 3);
            if (cached[sy & 3] != sy) {
                cached[sy & 3] = sy;
                cubicRow(src->row(sy), tx, rw, out);
            }
            return out;
        };

        std::vector<std::uint8_t> result(rowValues);
        for (int y = area.y0; y < area.y1; ++y) {
            const std::size_t t = 4 * static_cast<std::size_t>(y - area.y0);
            const float w0 = ty.weight[t], w1 = ty.weight[t + 1], w2 = ty.weight[t + 2], w3 = ty.weight[t + 3];
            // Four consecutive source rows (repeated at the edges) never share a
            // slot of the ring, so all four stay valid together.
            const float* h0 = horizontal(ty.index[t]);
            const float* h1 = horizontal(ty.index[t + 1]);
            const float* h2 = horizontal(ty.index[t + 2]);
            const float* h3 = horizontal(ty.index[t + 3]);
            verticalCubic(h0, h1, h2, h3, w0, w1, w2, w3, result.data(), rowValues);
            storeMasked(result.data(), dst.row(y) + 4 * static_cast<std::size_t>(area.x0), rw, area.mask);
        }
    } catch (const std::bad_alloc&) {
        fail(FilterError::OutOfMemory, op);
    }
}

namespace {

// Area coverage of one axis: for destination position d, the source positions
// first[d] ... first[d] + count[d] - 1 with weights that sum to 1.
struct AreaTaps {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<std::size_t> start;  // into weight
    std::vector<float> weight;
};

AreaTaps areaTaps(int srcSize, int dstSize, int from, int to)
{
    AreaTaps taps;
    const double scale = static_cast<double>(srcSize) / dstSize;
    for (int d = from; d < to; ++d) {
        const double lo = d * scale, hi = std::min<double>((d + 1) * scale, srcSize);
        const int first = static_cast<int>(std::floor(lo));
        const int last = std::min(static_cast<int>(std::ceil(hi)), srcSize) - 1;
        taps.first.push_back(first);
        taps.count.push_back(last - first + 1);
        taps.start.push_back(taps.weight.size());
        for (int s = first; s <= last; ++s) {
            const double covered = std::min<double>(s + 1, hi) - std::max<double>(s, lo);
            taps.weight.push_back(static_cast<float>(std::max(covered, 0.0) / scale));
        }
    }
    return taps;
}

// Whole source blocks of tx x ty pixels per destination pixel: the block's rows
// are added column by column first, then tx columns per destination pixel. Sum
// is 16 bits wide while 255 * tx * ty fits, else 32.
template <typename Sum, typename Divide>
void decimateBlocks(const FilterImage& src, FilterImage& dst, const Area& area, int tx, int ty, Divide divide)
{
    const int rw = area.width();
    const std::size_t rowValues = static_cast<std::size_t>(rw) * 4;
    const std::size_t srcValues = rowValues * static_cast<std::size_t>(tx);
    const std::size_t srcStart = 4 * static_cast<std::size_t>(area.x0) * static_cast<std::size_t>(tx);
    std::vector<Sum> columns(srcValues);
    std::vector<Sum> sums(rowValues);
    std::vector<std::uint8_t> result(rowValues);
    for (int y = area.y0; y < area.y1; ++y) {
        const std::uint8_t* first = src.row(y * ty) + srcStart;
        for (std::size_t i = 0; i < srcValues; ++i)
            columns[i] = first[i];
        for (int j = 1; j < ty; ++j) {
            const std::uint8_t* in = src.row(y * ty + j) + srcStart;
            for (std::size_t i = 0; i < srcValues; ++i)
                columns[i] = static_cast<Sum>(columns[i] + in[i]);
        }
        if (tx == 1) {
            std::copy(columns.begin(), columns.end(), sums.begin());
        } else {
            for (std::size_t p = 0; p < rowValues; p += 4) {
                const Sum* block = columns.data() + static_cast<std::size_t>(tx) * p;
                Sum s0 = block[0], s1 = block[1], s2 = block[2], s3 = block[3];
                for (std::size_t k = 4; k < 4 * static_cast<std::size_t>(tx); k += 4) {
                    s0 = static_cast<Sum>(s0 + block[k]);
                    s1 = static_cast<Sum>(s1 + block[k + 1]);
                    s2 = static_cast<Sum>(s2 + block[k + 2]);
                    s3 = static_cast<Sum>(s3 + block[k + 3]);
                }
                sums[p] = s0, sums[p + 1] = s1, sums[p + 2] = s2, sums[p + 3] = s3;
            }
        }
        for (std::size_t i = 0; i < rowValues; ++i)
            result[i] = static_cast<std::uint8_t>(divide(sums[i]));
        storeMasked(result.data(), dst.row(y) + 4 * static_cast<std::size_t>(area.x0), rw, area.mask);
    }
}

#if defined(__SSE2__)
// Halving in both directions, four destination pixels per step: (a + b + c + d + 2) / 4.
void halve(const FilterImage& src, FilterImage& dst, const Area& area)
{
    const __m128i zero = _mm_setzero_si128(), two = _mm_set1_epi16(2);
    for (int y = area.y0; y < area.y1; ++y) {
        const std::uint8_t* r0 = src.row(2 * y) + 8 * static_cast<std::size_t>(area.x0);
        const std::uint8_t* r1 = src.row(2 * y + 1) + 8 * static_cast<std::size_t>(area.x0);
        std::uint8_t* out = dst.row(y) + 4 * static_cast<std::size_t>(area.x0);
        int x = 0;
        for (; x + 4 <= area.width(); x += 4, r0 += 32, r1 += 32, out += 16) {
            const __m128i a0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r0));
            const __m128i a1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r0 + 16));
            const __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r1));
            const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r1 + 16));
            // Column sums of source pixels 0 1 | 2 3 | 4 5 | 6 7, 16 bits per channel.
            const __m128i v01 = _mm_add_epi16(_mm_unpacklo_epi8(a0, zero), _mm_unpacklo_epi8(b0, zero));
            const __m128i v23 = _mm_add_epi16(_mm_unpackhi_epi8(a0, zero), _mm_unpackhi_epi8(b0, zero));
            const __m128i v45 = _mm_add_epi16(_mm_unpacklo_epi8(a1, zero), _mm_unpacklo_epi8(b1, zero));
            const __m128i v67 = _mm_add_epi16(_mm_unpackhi_epi8(a1, zero), _mm_unpackhi_epi8(b1, zero));
            // Even pixels plus odd pixels: destination pixels 0 1 and 2 3.
            const __m128i s01 = _mm_add_epi16(_mm_unpacklo_epi64(v01, v23), _mm_unpackhi_epi64(v01, v23));
            const __m128i s23 = _mm_add_epi16(_mm_unpacklo_epi64(v45, v67), _mm_unpackhi_epi64(v45, v67));
            const __m128i q01 = _mm_srli_epi16(_mm_add_epi16(s01, two), 2);
            const __m128i q23 = _mm_srli_epi16(_mm_add_epi16(s23, two), 2);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(q01, q23));
        }
        for (; x < area.width(); ++x, r0 += 8, r1 += 8, out += 4)
            for (int c = 0; c < 4; ++c)
                out[c] = static_cast<std::uint8_t>((r0[c] + r0[4 + c] + r1[c] + r1[4 + c] + 2) >> 2);
    }
}
#endif

void decimateBlocks(const FilterImage& src, FilterImage& dst, const Area& area, int tx, int ty)
{
#if defined(__SSE2__)
    if (tx == 2 && ty == 2 && area.mask == 0xF) {
        halve(src, dst, area);
        return;
    }
#endif
    const std::uint64_t d = static_cast<std::uint64_t>(tx) * static_cast<std::uint64_t>(ty);
    if (d < 256) {
        decimateBlocks<std::uint16_t>(src, dst, area, tx, ty, RoundedDivider(static_cast<std::uint32_t>(d)));
    } else if (d < 4096) {
        // (x + d / 2) * m >> 32 is exact for x <= 255 * d while d < 4096.
        const std::uint64_t m = ((std::uint64_t{1} << 32) + d - 1) / d;
        decimateBlocks<std::uint32_t>(src, dst, area, tx, ty,
                                      [d, m](std::uint32_t x) { return ((x + d / 2) * m) >> 32; });
    } else {
        // Few results: divide directly.
        decimateBlocks<std::uint32_t>(src, dst, area, tx, ty, [d](std::uint32_t x) { return (x + d / 2) / d; });
    }
}

}  // namespace

void decimateArea(const FilterImage& srcIn, FilterImage& dst)
{
    const char* op = "decimateArea";
    Area area;
    if (!areaOf(srcIn, dst, true, area, op))
        return;
    if (dst.width() > srcIn.width() || dst.height() > srcIn.height()) {
        fail(FilterError::SizeMismatch, op);
        return;
    }
    if (area.empty())
        return;
    try {
        std::unique_ptr<FilterImage> copy;
        const FilterImage* src = readable(srcIn, dst, copy);
        if (!src)
            return;
        if (src->width() % dst.width() == 0 && src->height() % dst.height() == 0) {
            decimateBlocks(*src, dst, area, src->width() / dst.width(), src->height() / dst.height());
            return;
        }
        const int rw = area.width();
        const std::size_t rowValues = static_cast<std::size_t>(rw) * 4;
        const AreaTaps tx = areaTaps(src->width(), dst.width(), area.x0, area.x1);
        const AreaTaps ty = areaTaps(src->height(), dst.height(), area.y0, area.y1);

        // One horizontally reduced source row; the row shared by two destination
        // rows is reduced once.
        std::vector<float> reduced(rowValues);
        int reducedRow = -1;
        const auto horizontal = [&](int sy) {
            if (sy == reducedRow)
                return;
            reducedRow = sy;
            const std::uint8_t* in = src->row(sy);
            for (int x = 0; x < rw; ++x) {
                const std::size_t xi = static_cast<std::size_t>(x);
                const std::uint8_t* p = in + 4 * static_cast<std::size_t>(tx.first[xi]);
                const float* w = &tx.weight[tx.start[xi]];
                float acc[4] = {0, 0, 0, 0};
                for (int k = 0; k < tx.count[xi]; ++k, p += 4)
                    for (int c = 0; c < 4; ++c)
                        acc[c] += w[k] * p[c];
                for (int c = 0; c < 4; ++c)
                    reduced[4 * xi + static_cast<std::size_t>(c)] = acc[c];
            }
        };

        std::vector<float> acc(rowValues);
        std::vector<std::uint8_t> result(rowValues);
        for (int y = area.y0; y < area.y1; ++y) {
            const std::size_t yi = static_cast<std::size_t>(y - area.y0);
            std::fill(acc.begin(), acc.end(), 0.0f);
            const float* w = &ty.weight[ty.start[yi]];
            for (int k = 0; k < ty.count[yi]; ++k) {
                horizontal(ty.first[yi] + k);
                for (std::size_t i = 0; i < rowValues; ++i)
                    acc[i] += w[k] * reduced[i];
            }
            for (std::size_t i = 0; i < rowValues; ++i)
                result[i] = static_cast<std::uint8_t>(std::clamp(static_cast<int>(acc[i] + 0.5f), 0, 255));
            storeMasked(result.data(), dst.row(y) + 4 * static_cast<std::size_t>(area.x0), rw, area.mask);
        }
    } catch (const std::bad_alloc&) {
        fail(FilterError::OutOfMemory, op);
    }
}

namespace {

// One pass over the processed pixels, applying `f` to each processed byte.
template <typename F>
void pointwise(const FilterImage& src, FilterImage& dst, const char* op, F f)
{
    Area area;
    if (!sameSize(src, dst, op) || !areaOf(src, dst, false, area, op) || area.empty())
        return;
    const std::size_t begin = 4 * static_cast<std::size_t>(area.x0);
    const std::size_t end = 4 * static_cast<std::size_t>(area.x1);
    for (int y = area.y0; y < area.y1; ++y) {
        const std::uint8_t* in = src.row(y);
        std::uint8_t* out = dst.row(y);
        if (area.mask == 0x7) {
            for (std::size_t i = begin; i < end; i += 4) {
                out[i] = f(in[i]);
                out[i + 1] = f(in[i + 1]);
                out[i + 2] = f(in[i + 2]);
            }
        } else {
            const std::size_t c = static_cast<std::size_t>(std::countr_zero(area.mask));
            for (std::size_t i = begin + c; i < end; i += 4)
                out[i] = f(in[i]);
        }
    }
}

}  // namespace

void addConstant(const FilterImage& src, FilterImage& dst, int value)
{
    if (value < 0 || value > 255) {
        fail(FilterError::BadArgument, "addConstant");
        return;
    }
    pointwise(src, dst, "addConstant", [value](std::uint8_t s) {
        return static_cast<std::uint8_t>(std::min(255, s + value));
    });
}

void subtractConstant(const FilterImage& src, FilterImage& dst, int value)
{
    if (value < 0 || value > 255) {
        fail(FilterError::BadArgument, "subtractConstant");
        return;
    }
    pointwise(src, dst, "subtractConstant", [value](std::uint8_t s) {
        return static_cast<std::uint8_t>(std::max(0, s - value));
    });
}

void copyChannels(const FilterImage& src, FilterImage& dst)
{
    pointwise(src, dst, "copyChannels", [](std::uint8_t s) { return s; });
}
