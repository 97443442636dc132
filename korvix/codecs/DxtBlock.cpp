#include "codecs/DxtBlock.h"

#include "codecs/DxtTables.h"

#include <cstring>

namespace dxt {

namespace {

std::uint16_t get16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

}  // namespace

void decodeColourBlock(const std::uint8_t* block8, std::uint8_t* bgra64)
{
    using namespace tables;
    const unsigned c0 = get16(block8);
    const unsigned c1 = get16(block8 + 2);
    const unsigned r0 = c0 >> 11, g0 = (c0 >> 5) & 63, b0 = c0 & 31;
    const unsigned r1 = c1 >> 11, g1 = (c1 >> 5) & 63, b1 = c1 & 31;

    std::uint8_t palette[4][4] = {
        {kExpand5[b0], kExpand6[g0], kExpand5[r0], 255},
        {kExpand5[b1], kExpand6[g1], kExpand5[r1], 255},
        {kMix5[b0 * 32 + b1], kMix6[g0 * 64 + g1], kMix5[r0 * 32 + r1], 255},
        {kMix5[b1 * 32 + b0], kMix6[g1 * 64 + g0], kMix5[r1 * 32 + r0], 255},
    };
    for (int y = 0; y < 4; ++y) {
        unsigned bits = block8[4 + y];
        for (int x = 0; x < 4; ++x, bits >>= 2)
            std::memcpy(bgra64 + 4 * (4 * y + x), palette[bits & 3], 4);
    }
}

void decodeDxt1Block(const std::uint8_t* block8, std::uint8_t* bgra64)
{
    decodeColourBlock(block8, bgra64);
}

void decodeDxt3Block(const std::uint8_t* block16, std::uint8_t* bgra64)
{
    decodeColourBlock(block16 + 8, bgra64);
    for (int y = 0; y < 4; ++y) {
        unsigned row = get16(block16 + 2 * y);
        for (int x = 0; x < 4; ++x, row >>= 4)
            bgra64[4 * (4 * y + x) + 3] = static_cast<std::uint8_t>((row & 15) * 17);
    }
}

}  // namespace dxt
