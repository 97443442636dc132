#include "codecs/BitmapFilterImage.h"
#include "codecs/PixelBitmap.h"
#include "filters/ImageFilters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

namespace {

class ImageFilters : public ::testing::Test {
protected:
    void SetUp() override
    {
        setFilterSilentMode(true);
        clearFilterError();
    }
};

std::unique_ptr<FilterImage> randomImage(int w, int h, unsigned seed)
{
    std::mt19937 rng(seed);
    auto img = newBgraImage(w, h);
    for (std::size_t i = 0; i < img->stride() * static_cast<std::size_t>(h); ++i)
        img->pixels()[i] = static_cast<std::uint8_t>(rng());
    return img;
}

std::unique_ptr<FilterImage> uniformImage(int w, int h, std::uint8_t v)
{
    auto img = newBgraImage(w, h);
    std::memset(img->pixels(), v, img->stride() * static_cast<std::size_t>(h));
    return img;
}

std::uint8_t at(const FilterImage& img, int x, int y, int c)
{
    x = std::clamp(x, 0, img.width() - 1);
    y = std::clamp(y, 0, img.height() - 1);
    return img.row(y)[4 * x + c];
}

bool samePixels(const FilterImage& a, const FilterImage& b)
{
    return a.width() == b.width() && a.height() == b.height()
           && std::memcmp(a.pixels(), b.pixels(), a.stride() * static_cast<std::size_t>(a.height())) == 0;
}

// Checks every byte of `out` against `expected` inside the region's channels and
// against `before` elsewhere.
template <typename Expected>
void expectProcessed(const FilterImage& out, const FilterImage& before, const ProcessRegion* r, Expected expected)
{
    const unsigned mask = !r || r->channel == 0 ? 0x7u : 1u << (r->channel - 1);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const bool inside = !r || (x >= r->x && x < r->x + r->width && y >= r->y && y < r->y + r->height);
            for (int c = 0; c < 4; ++c) {
                const int want = inside && (mask >> c & 1) ? expected(x, y, c) : before.row(y)[4 * x + c];
                ASSERT_EQ(out.row(y)[4 * x + c], want) << x << "," << y << " channel " << c;
            }
        }
}

TEST_F(ImageFilters, BoxBlurIsTheRoundedMeanWithReplicatedEdges)
{
    const auto src = randomImage(23, 17, 1);
    const ProcessRegion alphaPart{ProcessRegion::Alpha, 3, 2, 30, 9};  // runs past the right edge
    const ProcessRegion redPart{ProcessRegion::Red, 0, 0, 5, 5};
    struct Case {
        int n, anchor;
        const ProcessRegion* region;
    };
    for (const Case& c : {Case{3, 1, nullptr}, Case{7, 3, nullptr}, Case{1, 0, nullptr}, Case{5, 0, &alphaPart},
                          Case{7, 3, &redPart}, Case{15, 14, nullptr}}) {
        const auto dst = randomImage(23, 17, 2);
        const auto before = cloneImage(*dst);
        dst->setRegion(c.region);
        boxBlur(*src, *dst, c.n, c.anchor);
        ASSERT_EQ(lastFilterError(), FilterError::None);
        expectProcessed(*dst, *before, c.region, [&](int x, int y, int ch) {
            int sum = 0;
            for (int j = 0; j < c.n; ++j)
                for (int i = 0; i < c.n; ++i)
                    sum += at(*src, x - c.anchor + i, y - c.anchor + j, ch);
            return (sum + c.n * c.n / 2) / (c.n * c.n);
        });
    }
}

TEST_F(ImageFilters, UniformImagesStayUniformUpToTheEdges)
{
    const auto src = uniformImage(9, 5, 77);
    auto dst = uniformImage(9, 5, 0);
    boxBlur(*src, *dst, 7, 3);
    const auto expected = uniformImage(9, 5, 77);
    std::memset(dst->pixels() + 3, 77, 1);  // alpha is not a colour channel; compare colour only below
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 9; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(dst->row(y)[4 * x + c], 77);
    sharpen3x3(*src, *dst);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 9; ++x)
            ASSERT_EQ(dst->row(y)[4 * x], 77);
    auto up = newBgraImage(13, 11);
    resampleCubic(*src, *up);
    auto down = newBgraImage(4, 3);
    decimateArea(*src, *down);
    EXPECT_TRUE(samePixels(*up, *uniformImage(13, 11, 77)));
    EXPECT_TRUE(samePixels(*down, *uniformImage(4, 3, 77)));
}

TEST_F(ImageFilters, SharpenClampsAndMatchesItsKernel)
{
    auto dot = uniformImage(5, 5, 0);
    dot->row(2)[4 * 2] = 255;
    auto out = uniformImage(5, 5, 9);
    sharpen3x3(*dot, *out);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(out->row(y)[4 * x], x == 2 && y == 2 ? 255 : 0);

    const auto src = randomImage(11, 7, 3);
    const auto dst = randomImage(11, 7, 4);
    const auto before = cloneImage(*dst);
    const ProcessRegion green{ProcessRegion::Green, 2, 1, 6, 4};
    dst->setRegion(&green);
    sharpen3x3(*src, *dst);
    expectProcessed(*dst, *before, &green, [&](int x, int y, int c) {
        int v = 16 * at(*src, x, y, c);
        for (int j = -1; j <= 1; ++j)
            for (int i = -1; i <= 1; ++i)
                if (i || j)
                    v -= at(*src, x + i, y + j, c);
        return std::clamp((v + 4) >> 3, 0, 255);
    });
}

TEST_F(ImageFilters, ArithmeticSaturatesInOnePass)
{
    auto img = uniformImage(3, 2, 250);
    img->row(1)[4] = 5;
    auto out = cloneImage(*img);
    addConstant(*img, *out, 10);
    EXPECT_EQ(out->row(0)[0], 255);
    EXPECT_EQ(out->row(1)[4], 15);
    EXPECT_EQ(out->row(0)[3], 250);  // alpha is not processed without a region
    subtractConstant(*img, *out, 10);
    EXPECT_EQ(out->row(1)[4], 0);
    EXPECT_EQ(out->row(0)[0], 240);

    const auto src = randomImage(8, 6, 5);
    const auto dst = randomImage(8, 6, 6);
    const auto before = cloneImage(*dst);
    const ProcessRegion alpha{ProcessRegion::Alpha, -2, 3, 5, 10};
    dst->setRegion(&alpha);
    copyChannels(*src, *dst);
    expectProcessed(*dst, *before, &alpha, [&](int x, int y, int c) { return src->row(y)[4 * x + c]; });

    addConstant(*img, *out, 256);
    EXPECT_EQ(lastFilterError(), FilterError::BadArgument);
}

TEST_F(ImageFilters, MirrorAndInPlaceOperations)
{
    const auto src = randomImage(5, 3, 7);
    auto dst = randomImage(5, 3, 8);
    const auto before = cloneImage(*dst);
    mirrorImage(*src, *dst, MirrorAxis::Vertical);
    expectProcessed(*dst, *before, nullptr, [&](int x, int y, int c) { return src->row(y)[4 * (4 - x) + c]; });
    mirrorImage(*src, *dst, MirrorAxis::Horizontal);
    expectProcessed(*dst, *before, nullptr, [&](int x, int y, int c) { return src->row(2 - y)[4 * x + c]; });

    // A source that is also the destination gives what a separate destination gets.
    for (int op = 0; op < 3; ++op) {
        auto inPlace = cloneImage(*src);
        auto separate = cloneImage(*src);
        if (op == 0) {
            boxBlur(*inPlace, *inPlace, 3, 1);
            boxBlur(*src, *separate, 3, 1);
        } else if (op == 1) {
            sharpen3x3(*inPlace, *inPlace);
            sharpen3x3(*src, *separate);
        } else {
            mirrorImage(*inPlace, *inPlace, MirrorAxis::Vertical);
            mirrorImage(*src, *separate, MirrorAxis::Vertical);
        }
        EXPECT_TRUE(samePixels(*inPlace, *separate)) << op;
    }
}

// The neighbourhood filters and the mirror on one image as source and
// destination (the rows they still need are kept aside), over a view of a
// bitmap's bottom-up rows as the document uses them: the same bytes as with a
// separate destination, for odd sizes, partial regions at the edges and every
// channel selector.
TEST_F(ImageFilters, InPlaceOverBitmapRowsMatchesASeparateDestination)
{
    const ProcessRegion regions[] = {
        {ProcessRegion::Colour, 0, 0, 37, 21},   // the whole image
        {ProcessRegion::Alpha, 5, 3, 40, 30},    // runs past right and bottom
        {ProcessRegion::Red, 0, 7, 1, 9},        // one column at the left edge
        {ProcessRegion::Colour, 30, 0, 7, 1},    // one row at the top edge
        {ProcessRegion::Green, 3, 4, 11, 17},    // reaches the bottom edge
    };
    enum Op { Blur3, Blur7, Blur15, Sharpen, MirrorLeftRight, MirrorTopBottom };
    for (const Op op : {Blur3, Blur7, Blur15, Sharpen, MirrorLeftRight, MirrorTopBottom}) {
        for (const ProcessRegion& region : regions) {
            for (const int height : {21, 20}) {  // an odd height has a middle row
                const auto src = randomImage(37, height, 11);
                PixelBitmap bitmap;
                bitmap.create(37, height, 32, false);
                imageToBitmap(*src, bitmap);
                FilterImage inPlace = bitmapView(bitmap);
                auto separate = cloneImage(*src);
                inPlace.setRegion(&region);
                separate->setRegion(&region);
                const auto apply = [op](const FilterImage& from, FilterImage& to) {
                    switch (op) {
                    case Blur3: boxBlur(from, to, 3, 1); break;
                    case Blur7: boxBlur(from, to, 7, 3); break;
                    case Blur15: boxBlur(from, to, 15, 2); break;
                    case Sharpen: sharpen3x3(from, to); break;
                    case MirrorLeftRight: mirrorImage(from, to, MirrorAxis::Vertical); break;
                    case MirrorTopBottom: mirrorImage(from, to, MirrorAxis::Horizontal); break;
                    }
                };
                apply(inPlace, inPlace);
                apply(*src, *separate);
                const auto result = imageFromBitmap(bitmap);
                EXPECT_TRUE(samePixels(*result, *separate))
                    << "operation " << op << ", region at " << region.x << "," << region.y << ", height " << height;
            }
        }
    }
    EXPECT_EQ(lastFilterError(), FilterError::None);
}

TEST_F(ImageFilters, DecimateWeighsPartlyCoveredPixels)
{
    // 3 -> 2: each destination pixel covers one whole and half a source pixel.
    auto src = newBgraImage(3, 1);
    const std::uint8_t values[3] = {30, 90, 240};
    for (int x = 0; x < 3; ++x)
        std::memset(src->row(0) + 4 * x, values[x], 4);
    auto dst = newBgraImage(2, 1);
    decimateArea(*src, *dst);
    EXPECT_EQ(dst->row(0)[0], 50);   // (30 + 45) / 1.5
    EXPECT_EQ(dst->row(0)[4], 190);  // (45 + 240) / 1.5
    EXPECT_EQ(dst->row(0)[7], 190);  // all four channels

    // Whole blocks: the rounded mean of each block, also for a reduction to one pixel.
    const auto big = randomImage(12, 8, 9);
    for (auto [w, h] : {std::pair{6, 4}, std::pair{4, 2}, std::pair{1, 1}, std::pair{12, 1}}) {
        auto out = newBgraImage(w, h);
        decimateArea(*big, *out);
        const int fx = 12 / w, fy = 8 / h;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 4; ++c) {
                    int sum = 0;
                    for (int j = 0; j < fy; ++j)
                        for (int i = 0; i < fx; ++i)
                            sum += big->row(y * fy + j)[4 * (x * fx + i) + c];
                    ASSERT_EQ(out->row(y)[4 * x + c], (sum + fx * fy / 2) / (fx * fy)) << w << "x" << h;
                }
    }

    // Fractional reduction against a coverage-weighted reference.
    const auto odd = randomImage(7, 5, 10);
    auto small = newBgraImage(3, 2);
    decimateArea(*odd, *small);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            for (int c = 0; c < 4; ++c) {
                double sum = 0;
                for (int sy = 0; sy < 5; ++sy)
                    for (int sx = 0; sx < 7; ++sx) {
                        const double cx = std::max(0.0, std::min(sx + 1.0, (x + 1) * 7 / 3.0) - std::max<double>(sx, x * 7 / 3.0));
                        const double cy = std::max(0.0, std::min(sy + 1.0, (y + 1) * 5 / 2.0) - std::max<double>(sy, y * 5 / 2.0));
                        sum += cx * cy * odd->row(sy)[4 * sx + c];
                    }
                EXPECT_NEAR(small->row(y)[4 * x + c], sum / (7 / 3.0 * 5 / 2.0), 0.5001);
            }

    decimateArea(*dst, *src);  // larger destination
    EXPECT_EQ(lastFilterError(), FilterError::SizeMismatch);
}

TEST_F(ImageFilters, CubicKeepsSizeAsIdentityAndClampsOvershoot)
{
    const auto src = randomImage(9, 6, 11);
    auto same = newBgraImage(9, 6);
    resampleCubic(*src, *same);
    EXPECT_TRUE(samePixels(*src, *same));

    // A hard step overshoots in the kernel; clamping keeps the ramp monotone
    // instead of wrapping around 0 or 255.
    auto step = newBgraImage(4, 1);
    for (int x = 0; x < 4; ++x)
        std::memset(step->row(0) + 4 * x, x < 2 ? 0 : 255, 4);
    auto wide = newBgraImage(16, 1);
    resampleCubic(*step, *wide);
    for (int x = 1; x < 16; ++x)
        EXPECT_GE(wide->row(0)[4 * x], wide->row(0)[4 * (x - 1)]) << x;
    EXPECT_EQ(wide->row(0)[0], 0);
    EXPECT_EQ(wide->row(0)[4 * 15 + 3], 255);

    // Halving reads between the source pixels.
    auto pair = newBgraImage(2, 1);
    std::memset(pair->row(0), 100, 4);
    std::memset(pair->row(0) + 4, 200, 4);
    auto one = newBgraImage(1, 1);
    resampleCubic(*pair, *one);
    EXPECT_EQ(one->row(0)[0], 150);
}

TEST_F(ImageFilters, BitmapConversionKeepsEveryByte)
{
    PixelBitmap bmp;
    bmp.create(5, 3, 32, true);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 20; ++x)
            bmp.row(y)[x] = static_cast<std::uint8_t>(y * 20 + x);
    auto img = imageFromBitmap(bmp);
    ASSERT_TRUE(img);
    EXPECT_EQ(img->row(0)[0], 0);  // the top row comes first
    EXPECT_EQ(img->row(2)[19], 59);
    PixelBitmap back;
    back.create(5, 3, 32, false);
    imageToBitmap(*img, back);
    for (int y = 0; y < 3; ++y)
        EXPECT_EQ(std::memcmp(back.row(y), bmp.row(y), 20), 0);

    EXPECT_FALSE(imageFromBitmap(PixelBitmap()));  // 8 bits per pixel
    PixelBitmap wrong;
    wrong.create(4, 3, 32, false);
    imageToBitmap(*img, wrong);
    EXPECT_EQ(lastFilterError(), FilterError::SizeMismatch);
}

TEST_F(ImageFilters, ErrorsAreRecordedNotThrown)
{
    const auto a = uniformImage(4, 4, 1);
    auto b = uniformImage(5, 4, 2);
    const auto before = cloneImage(*b);
    boxBlur(*a, *b, 3, 1);
    EXPECT_EQ(lastFilterError(), FilterError::SizeMismatch);
    EXPECT_TRUE(samePixels(*b, *before));

    clearFilterError();
    auto c = uniformImage(4, 4, 2);
    boxBlur(*a, *c, 3, 3);
    EXPECT_EQ(lastFilterError(), FilterError::BadArgument);

    clearFilterError();
    const ProcessRegion bad{9, 0, 0, 4, 4};
    c->setRegion(&bad);
    sharpen3x3(*a, *c);
    EXPECT_EQ(lastFilterError(), FilterError::BadArgument);

    static int reports = 0;
    setFilterSilentMode(false, [](FilterError, const char*) { ++reports; });
    boxBlur(*a, *b, 3, 1);
    EXPECT_EQ(reports, 1);
}

}  // namespace
