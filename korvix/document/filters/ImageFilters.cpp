#include "document/filters/ImageFilters.h"

#include "codecs/PixelBitmap.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <iostream>
#include <new>
#include <vector>

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

// Stores `count` computed pixels into `out`, only the channels in `mask`.
void storeMasked(const std::uint8_t* computed, std::uint8_t* out, int count, unsigned mask)
{
    const std::size_t n = static_cast<std::size_t>(count) * 4;
    if (mask == 0xF) {
        std::memcpy(out, computed, n);
        return;
    }
    for (std::size_t i = 0; i < n; i += 4)
        for (unsigned c = 0; c < 4; ++c)
            if (mask & (1u << c))
                out[i + c] = computed[i + c];
}

// A source that is also the destination is read from a copy.
const FilterImage* readable(const FilterImage& src, const FilterImage& dst, std::unique_ptr<FilterImage>& copy)
{
    if (&src != &dst)
        return &src;
    copy = cloneImage(src);
    return copy.get();
}

// Exact rounded division (x + d / 2) / d for x <= 255 * d, d <= 225, in 32 bits.
struct RoundedDivider {
    explicit RoundedDivider(std::uint32_t d) : half(d / 2), m(static_cast<std::uint32_t>(((std::uint64_t{1} << 24) + d - 1) / d)) {}
    std::uint32_t operator()(std::uint32_t x) const { return ((x + half) * m) >> 24; }
    std::uint32_t half;
    std::uint32_t m;
};

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

std::unique_ptr<FilterImage> imageFromBitmap(const PixelBitmap& bitmap)
{
    if (bitmap.bitsPerPixel() != 32) {
        fail(FilterError::BadArgument, "imageFromBitmap");
        return nullptr;
    }
    auto image = newBgraImage(bitmap.width(), bitmap.height());
    if (!image)
        return nullptr;
    for (int y = 0; y < bitmap.height(); ++y)
        std::memcpy(image->row(y), bitmap.row(y), image->stride());
    return image;
}

std::unique_ptr<FilterImage> cloneImage(const FilterImage& image)
{
    auto copy = newBgraImage(image.width(), image.height());
    if (copy) {
        std::memcpy(copy->pixels(), image.pixels(), image.stride() * static_cast<std::size_t>(image.height()));
        copy->setEdgeMode(image.edgeMode());
    }
    return copy;
}

void imageToBitmap(const FilterImage& image, PixelBitmap& bitmap)
{
    if (bitmap.bitsPerPixel() != 32 || bitmap.width() != image.width() || bitmap.height() != image.height()) {
        fail(FilterError::SizeMismatch, "imageToBitmap");
        return;
    }
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(bitmap.row(y), image.row(y), image.stride());
}

void releaseImage(std::unique_ptr<FilterImage>& image)
{
    image.reset();
}

void setEdgeReplicate(FilterImage& image)
{
    image.setEdgeMode(FilterImage::EdgeMode::Replicate);
}

void boxBlur(const FilterImage& srcIn, FilterImage& dst, int n, int anchor)
{
    const char* op = "boxBlur";
    Area area;
    if (!sameSize(srcIn, dst, op) || !areaOf(srcIn, dst, false, area, op))
        return;
    if (n < 1 || n > 15 || anchor < 0 || anchor >= n) {
        fail(FilterError::BadArgument, op);
        return;
    }
    if (area.empty())
        return;
    try {
        std::unique_ptr<FilterImage> copy;
        const FilterImage* src = readable(srcIn, dst, copy);
        if (!src)
            return;
        const int W = src->width(), H = src->height();
        const int rw = area.width();
        const std::size_t rowValues = static_cast<std::size_t>(rw) * 4;

        // Horizontal sums of n pixels per source row, kept for the n + 1 rows
        // that the vertical running sum needs; rows outside replicate the edge.
        std::vector<std::uint8_t> segment(static_cast<std::size_t>(rw + n - 1) * 4);
        std::vector<std::uint16_t> ring(rowValues * static_cast<std::size_t>(n + 1));
        const int k0 = area.y0 - anchor;
        const auto slot = [&](int k) { return ring.data() + rowValues * static_cast<std::size_t>((k - k0) % (n + 1)); };
        const auto horizontal = [&](int k) {
            const std::uint8_t* row = src->row(std::clamp(k, 0, H - 1));
            for (int i = 0; i < rw + n - 1; ++i)
                std::memcpy(&segment[4 * static_cast<std::size_t>(i)],
                            row + 4 * static_cast<std::size_t>(std::clamp(area.x0 - anchor + i, 0, W - 1)), 4);
            std::uint16_t* out = slot(k);
            std::uint32_t s[4] = {0, 0, 0, 0};
            for (int i = 0; i < n; ++i)
                for (int c = 0; c < 4; ++c)
                    s[c] += segment[4 * static_cast<std::size_t>(i) + static_cast<std::size_t>(c)];
            for (int c = 0; c < 4; ++c)
                out[c] = static_cast<std::uint16_t>(s[c]);
            const std::uint8_t* add = segment.data() + 4 * static_cast<std::size_t>(n);
            const std::uint8_t* sub = segment.data();
            for (std::size_t i = 4; i < rowValues; ++i)
                out[i] = static_cast<std::uint16_t>(out[i - 4] + add[i - 4] - sub[i - 4]);
        };

        std::vector<std::uint16_t> vertical(rowValues, 0);
        for (int k = k0; k < k0 + n; ++k) {
            horizontal(k);
            const std::uint16_t* h = slot(k);
            for (std::size_t i = 0; i < rowValues; ++i)
                vertical[i] = static_cast<std::uint16_t>(vertical[i] + h[i]);
        }
        const RoundedDivider divide(static_cast<std::uint32_t>(n * n));
        std::vector<std::uint8_t> result(rowValues);
        for (int y = area.y0; y < area.y1; ++y) {
            for (std::size_t i = 0; i < rowValues; ++i)
                result[i] = static_cast<std::uint8_t>(divide(vertical[i]));
            storeMasked(result.data(), dst.row(y) + 4 * static_cast<std::size_t>(area.x0), rw, area.mask);
            if (y + 1 == area.y1)
                break;
            const int incoming = y - anchor + n;
            horizontal(incoming);
            const std::uint16_t* add = slot(incoming);
            const std::uint16_t* sub = slot(y - anchor);
            for (std::size_t i = 0; i < rowValues; ++i)
                vertical[i] = static_cast<std::uint16_t>(vertical[i] + add[i] - sub[i]);
        }
    } catch (const std::bad_alloc&) {
        fail(FilterError::OutOfMemory, op);
    }
}

void sharpen3x3(const FilterImage& srcIn, FilterImage& dst)
{
    const char* op = "sharpen3x3";
    Area area;
    if (!sameSize(srcIn, dst, op) || !areaOf(srcIn, dst, false, area, op) || area.empty())
        return;
    try {
        std::unique_ptr<FilterImage> copy;
        const FilterImage* src = readable(srcIn, dst, copy);
        if (!src)
            return;
        const int W = src->width(), H = src->height();
        const int rw = area.width();
        const std::size_t padded = static_cast<std::size_t>(rw + 2) * 4;
        std::vector<std::uint16_t> columns(padded);
        std::vector<std::uint8_t> centre(padded);
        std::vector<std::uint8_t> result(static_cast<std::size_t>(rw) * 4);
        for (int y = area.y0; y < area.y1; ++y) {
            const std::uint8_t* r0 = src->row(std::max(y - 1, 0));
            const std::uint8_t* r1 = src->row(y);
            const std::uint8_t* r2 = src->row(std::min(y + 1, H - 1));
            for (int i = 0; i < rw + 2; ++i) {
                const std::size_t sx = 4 * static_cast<std::size_t>(std::clamp(area.x0 - 1 + i, 0, W - 1));
                for (std::size_t c = 0; c < 4; ++c) {
                    const std::size_t j = 4 * static_cast<std::size_t>(i) + c;
                    columns[j] = static_cast<std::uint16_t>(r0[sx + c] + r1[sx + c] + r2[sx + c]);
                    centre[j] = r1[sx + c];
                }
            }
            // 16 c - (the 3 x 3 sum - c) = 17 c - the 3 x 3 sum.
            for (std::size_t i = 0; i < result.size(); ++i) {
                const int v = 17 * centre[i + 4] - (columns[i] + columns[i + 4] + columns[i + 8]);
                result[i] = static_cast<std::uint8_t>(std::clamp((v + 4) >> 3, 0, 255));
            }
            storeMasked(result.data(), dst.row(y) + 4 * static_cast<std::size_t>(area.x0), rw, area.mask);
        }
    } catch (const std::bad_alloc&) {
        fail(FilterError::OutOfMemory, op);
    }
}

void mirrorImage(const FilterImage& srcIn, FilterImage& dst, MirrorAxis axis)
{
    const char* op = "mirrorImage";
    Area area;
    if (!sameSize(srcIn, dst, op) || !areaOf(srcIn, dst, false, area, op) || area.empty())
        return;
    try {
        std::unique_ptr<FilterImage> copy;
        const FilterImage* src = readable(srcIn, dst, copy);
        if (!src)
            return;
        const int W = src->width(), H = src->height();
        std::vector<std::uint8_t> result(static_cast<std::size_t>(area.width()) * 4);
        for (int y = area.y0; y < area.y1; ++y) {
            if (axis == MirrorAxis::Horizontal) {
                std::memcpy(result.data(), src->row(H - 1 - y) + 4 * static_cast<std::size_t>(area.x0), result.size());
            } else {
                const std::uint8_t* row = src->row(y);
                for (int x = area.x0; x < area.x1; ++x)
                    std::memcpy(&result[4 * static_cast<std::size_t>(x - area.x0)], row + 4 * static_cast<std::size_t>(W - 1 - x), 4);
            }
            storeMasked(result.data(), dst.row(y) + 4 * static_cast<std::size_t>(area.x0), area.width(), area.mask);
        }
    } catch (const std::bad_alloc&) {
        fail(FilterError::OutOfMemory, op);
    }
}

namespace {

// Four taps per destination position, weights in 1/2048 that sum to 2048.
struct CubicTaps {
    std::vector<int> index;   // 4 source positions each, clamped
    std::vector<int> weight;  // 4 weights each
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
        int w[4];
        int sum = 0, largest = 0;
        for (int k = 0; k < 4; ++k) {
            w[k] = static_cast<int>(std::lround(keys(t + 1 - k) * 2048));
            sum += w[k];
            if (std::abs(w[k]) > std::abs(w[largest]))
                largest = k;
        }
        w[largest] += 2048 - sum;
        for (int k = 0; k < 4; ++k) {
            taps.index.push_back(std::clamp(i - 1 + k, 0, srcSize - 1));
            taps.weight.push_back(w[k]);
        }
    }
    return taps;
}

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

        // Horizontally resampled source rows (values times 2048), cached by row.
        std::vector<std::int32_t> rows(rowValues * 4);
        int cached[4] = {-1, -1, -1, -1};
        const auto horizontal = [&](int sy) -> const std::int32_t* {
            std::int32_t* out = rows.data() + rowValues * static_cast<std::size_t>(sy & 3);
            if (cached[sy & 3] == sy)
                return out;
            cached[sy & 3] = sy;
            const std::uint8_t* in = src->row(sy);
            for (int x = 0; x < rw; ++x) {
                const int* idx = &tx.index[4 * static_cast<std::size_t>(x)];
                const int* w = &tx.weight[4 * static_cast<std::size_t>(x)];
                const std::uint8_t* p0 = in + 4 * idx[0];
                const std::uint8_t* p1 = in + 4 * idx[1];
                const std::uint8_t* p2 = in + 4 * idx[2];
                const std::uint8_t* p3 = in + 4 * idx[3];
                for (int c = 0; c < 4; ++c)
                    out[4 * x + c] = w[0] * p0[c] + w[1] * p1[c] + w[2] * p2[c] + w[3] * p3[c];
            }
            return out;
        };

        std::vector<std::uint8_t> result(rowValues);
        for (int y = area.y0; y < area.y1; ++y) {
            const std::size_t t = 4 * static_cast<std::size_t>(y - area.y0);
            const int* w = &ty.weight[t];
            // Four consecutive source rows (repeated at the edges) never share a
            // slot of the ring, so all four stay valid together.
            const std::int32_t* h[4];
            for (int k = 0; k < 4; ++k)
                h[k] = horizontal(ty.index[t + static_cast<std::size_t>(k)]);
            for (std::size_t i = 0; i < rowValues; ++i) {
                const std::int64_t v = std::int64_t{w[0]} * h[0][i] + std::int64_t{w[1]} * h[1][i]
                                       + std::int64_t{w[2]} * h[2][i] + std::int64_t{w[3]} * h[3][i];
                result[i] = static_cast<std::uint8_t>(std::clamp<std::int64_t>((v + (1 << 21)) >> 22, 0, 255));
            }
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

// Whole source blocks of tx x ty pixels per destination pixel.
void decimateBlocks(const FilterImage& src, FilterImage& dst, const Area& area, int tx, int ty)
{
    const int rw = area.width();
    const std::size_t rowValues = static_cast<std::size_t>(rw) * 4;
    const std::uint64_t d = static_cast<std::uint64_t>(tx) * static_cast<std::uint64_t>(ty);
    // (x + d / 2) * m >> 32 is exact for x <= 255 * d while d < 4096; larger
    // blocks divide directly (there are few of their results).
    const bool reciprocal = d < 4096;
    const std::uint64_t m = ((std::uint64_t{1} << 32) + d - 1) / d;
    std::vector<std::uint32_t> sums(rowValues);
    std::vector<std::uint8_t> result(rowValues);
    for (int y = area.y0; y < area.y1; ++y) {
        std::fill(sums.begin(), sums.end(), 0u);
        for (int j = 0; j < ty; ++j) {
            const std::uint8_t* in = src.row(y * ty + j) + 4 * static_cast<std::size_t>(area.x0) * static_cast<std::size_t>(tx);
            if (tx == 2) {
                for (std::size_t i = 0; i < rowValues; i += 4)
                    for (std::size_t c = 0; c < 4; ++c)
                        sums[i + c] += in[2 * i + c] + in[2 * i + 4 + c];
            } else {
                for (std::size_t i = 0; i < rowValues; i += 4)
                    for (int k = 0; k < tx; ++k)
                        for (std::size_t c = 0; c < 4; ++c)
                            sums[i + c] += in[static_cast<std::size_t>(tx) * i + 4 * static_cast<std::size_t>(k) + c];
            }
        }
        if (reciprocal) {
            for (std::size_t i = 0; i < rowValues; ++i)
                result[i] = static_cast<std::uint8_t>(((sums[i] + d / 2) * m) >> 32);
        } else {
            for (std::size_t i = 0; i < rowValues; ++i)
                result[i] = static_cast<std::uint8_t>((sums[i] + d / 2) / d);
        }
        storeMasked(result.data(), dst.row(y) + 4 * static_cast<std::size_t>(area.x0), rw, area.mask);
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
