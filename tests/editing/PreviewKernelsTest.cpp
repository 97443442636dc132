// The vector kernels of the previews against their plain forms, on every
// width up to a few vectors (so that every tail length occurs) and on the edge
// values of the arithmetic: bit for bit, and never a byte outside the row.
#include "document/BackgroundBlend.h"
#include "document/ColourTables.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

namespace {

// Pixels that mix the edge values 0, 1, 254, 255 with random bytes.
std::vector<std::uint8_t> mixedPixels(int count, std::mt19937& rng)
{
    static const std::uint8_t edges[] = {0, 1, 127, 128, 254, 255};
    std::vector<std::uint8_t> v(4 * static_cast<std::size_t>(count));
    for (auto& b : v)
        b = rng() % 3 == 0 ? edges[rng() % std::size(edges)] : static_cast<std::uint8_t>(rng());
    return v;
}

constexpr int GUARD = 64;  // bytes after the row that no kernel may touch

TEST(PreviewKernels, BackgroundBlendRowsMatchThePlainBlend)
{
    std::vector<std::pair<const char*, backgroundblend::RowBlend>> kernels;
#if defined(__x86_64__) || defined(__i386__)
    kernels.emplace_back("SSE2", backgroundblend::rowSse2);
    if (backgroundblend::hasAvx2())
        kernels.emplace_back("AVX2", backgroundblend::rowAvx2);
#endif
    if (kernels.empty())
        GTEST_SKIP() << "no vector kernel on this machine";
    const unsigned seed = std::random_device{}();
    std::mt19937 rng(seed);
    for (int count = 1; count <= 41; ++count) {
        const auto in = mixedPixels(count, rng);
        const auto grey = mixedPixels(count, rng);  // one byte per pixel used
        const auto start = mixedPixels(count + GUARD / 4, rng);
        auto expected = start;
        backgroundblend::rowScalar(in.data(), expected.data(), grey.data(), count);
        for (const auto& [name, kernel] : kernels) {
            auto out = start;
            kernel(in.data(), out.data(), grey.data(), count);
            EXPECT_EQ(out, expected) << name << ", " << count << " pixels, seed " << seed;
        }
    }
}

TEST(PreviewKernels, BackgroundBlendScalarIsTheFormula)
{
    // Full alpha shows the pixel, none the background; alpha bytes stay.
    const std::uint8_t in[8] = {10, 200, 255, 255, 10, 200, 255, 0};
    const std::uint8_t grey[2] = {192, 192};
    std::uint8_t out[8] = {1, 1, 1, 7, 1, 1, 1, 9};
    backgroundblend::rowScalar(in, out, grey, 2);
    const std::uint8_t want[8] = {9, 199, 254, 7, 191, 191, 191, 9};  // (255 * v) >> 8, (255 * 192) >> 8
    EXPECT_EQ(std::vector<std::uint8_t>(out, out + 8), std::vector<std::uint8_t>(want, want + 8));
}

TEST(PreviewKernels, ColourTableRowsMatchThePlainLookup)
{
    if (!colourtables::hasVbmi())
        GTEST_SKIP() << "no byte permutes on this machine";
    const unsigned seed = std::random_device{}();
    std::mt19937 rng(seed);
    // Three different tables, so that a channel mixed up shows; bytes with the
    // top bit set and clear reach both halves of each.
    std::array<std::array<std::uint8_t, 256>, 3> tables;
    for (auto& t : tables)
        for (auto& e : t)
            e = static_cast<std::uint8_t>(rng());
    for (int count = 1; count <= 50; ++count) {
        const auto in = mixedPixels(count, rng);
        const auto start = mixedPixels(count + GUARD / 4, rng);
        auto expected = start, out = start;
        colourtables::rowScalar(in.data(), expected.data(), count, tables[0].data(), tables[1].data(), tables[2].data());
        colourtables::rowVbmi(in.data(), out.data(), count, tables[0].data(), tables[1].data(), tables[2].data());
        EXPECT_EQ(out, expected) << count << " pixels, seed " << seed;
    }
}

}  // namespace
