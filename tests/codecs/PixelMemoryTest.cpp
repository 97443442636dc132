#include "codecs/CTextException.h"
#include "codecs/PixelBitmap.h"
#include "common/PixelMemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <utility>

namespace {

bool allZero(const PixelMemory& m)
{
    return std::all_of(m.data(), m.data() + m.size(), [](std::uint8_t b) { return b == 0; });
}

std::uintptr_t address(const void* p)
{
    return reinterpret_cast<std::uintptr_t>(p);
}

// Below, at and above the size where blocks come from the system in huge pages.
TEST(PixelMemory, BlocksOfEverySizeAreAlignedZeroFilledAndWritable)
{
    constexpr std::size_t sizes[] = {1, 40 + 16 * 16 * 4, PixelMemory::LARGE_BLOCK - 1, PixelMemory::LARGE_BLOCK,
                                     PixelMemory::HUGE_PAGE + 1, 40 + 2048 * 2048 * 4};
    for (const std::size_t size : sizes) {
        SCOPED_TRACE(size);
        PixelMemory m(size);
        ASSERT_NE(m.data(), nullptr);
        EXPECT_EQ(m.size(), size);
        EXPECT_EQ(address(m.data()) % 64, 0u);
        if (size >= PixelMemory::LARGE_BLOCK) {
            EXPECT_EQ(address(m.data()) % PixelMemory::HUGE_PAGE, 0u);
        }
        EXPECT_TRUE(allZero(m));
        // The first and last byte belong to the block (the sanitizers check the heap ones).
        m.data()[0] = 1;
        m.data()[size - 1] = 2;
        EXPECT_EQ(m.data()[size - 1], 2);
    }
}

TEST(PixelMemory, EmptyAndMovedBlocksHoldNothing)
{
    PixelMemory none(0);
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(none.data(), nullptr);

    PixelMemory a(3 << 20);
    a.data()[5] = 7;
    std::uint8_t* const where = a.data();
    PixelMemory b(std::move(a));
    EXPECT_TRUE(a.empty());
    EXPECT_EQ(a.data(), nullptr);
    EXPECT_EQ(b.data(), where);
    EXPECT_EQ(b.data()[5], 7);

    PixelMemory c(100);
    c = std::move(b);  // c's own block is given back, b's taken over
    EXPECT_EQ(c.data(), where);
    EXPECT_TRUE(b.empty());
    c.reset();
    EXPECT_TRUE(c.empty());
}

// Sizes no system can give, including ones whose rounding to whole huge pages
// would wrap around: refused with bad_alloc, never a null or short block.
TEST(PixelMemory, ImpossibleSizesThrowBadAlloc)
{
    for (const std::size_t size : {std::size_t{1} << 60, SIZE_MAX - PixelMemory::HUGE_PAGE, SIZE_MAX}) {
        SCOPED_TRACE(size);
        EXPECT_THROW(PixelMemory{size}, std::bad_alloc);
    }
}

// A bitmap's block comes from here: a map's rows lie in huge-page aligned memory
// and start as zeros, and a bitmap too large to have is still the bitmap's own
// "out of memory" (code 10), not a crash.
TEST(PixelMemory, BitmapsUseItAndReportFailureAsBefore)
{
    PixelBitmap map;
    map.create(1024, 1024, 32, true);
    EXPECT_EQ(address(map.storage()) % PixelMemory::HUGE_PAGE, 0u);
    EXPECT_TRUE(std::all_of(map.pixels(), map.pixels() + map.storageSize() - PixelBitmap::HEADER_SIZE,
                            [](std::uint8_t b) { return b == 0; }));

    try {
        map.create(0x7FFFFFF0 / 4, 1 << 20, 32, false);  // rows of 2 GiB, 2^51 bytes in all
        FAIL() << "a bitmap of 2^51 bytes was created";
    } catch (const CTextException& err) {
        EXPECT_EQ(err.code(), 10);
    }
    EXPECT_EQ(map.storage(), nullptr);
}

}  // namespace
