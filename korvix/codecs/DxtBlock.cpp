#include "codecs/DxtBlock.h"

#include "codecs/DxtKernels.h"
#include "codecs/DxtTables.h"

#include <bit>
#include <cstring>

namespace dxt {

namespace {

std::uint16_t get16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t texel(unsigned b, unsigned g, unsigned r, unsigned a)
{
    return b | (g << 8) | (r << 16) | (a << 24);
}

// Texels are built as 32-bit values blue | green << 8 | red << 16 | alpha << 24 and
// stored in one piece where that is the memory order blue, green, red, alpha.
void store(const std::uint32_t (&texels)[16], std::uint8_t* bgra64)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(bgra64, texels, 64);
    } else {
        for (int i = 0; i < 16; ++i)
            for (int byte = 0; byte < 4; ++byte)
                bgra64[4 * i + byte] = static_cast<std::uint8_t>(texels[i] >> (8 * byte));
    }
}

std::uint32_t indexBits(const std::uint8_t* block8)
{
    return block8[4] | (block8[5] << 8) | (block8[6] << 16) | (static_cast<std::uint32_t>(block8[7]) << 24);
}

}  // namespace

namespace kernels {

void paletteOf(const std::uint8_t* block8, std::uint32_t palette[4])
{
    using namespace tables;
    const unsigned c0 = get16(block8);
    const unsigned c1 = get16(block8 + 2);
    const unsigned r0 = c0 >> 11, g0 = (c0 >> 5) & 63, b0 = c0 & 31;
    const unsigned r1 = c1 >> 11, g1 = (c1 >> 5) & 63, b1 = c1 & 31;
    palette[0] = texel(kExpand5[b0], kExpand6[g0], kExpand5[r0], 0);
    palette[1] = texel(kExpand5[b1], kExpand6[g1], kExpand5[r1], 0);
    palette[2] = texel(kMix5[b0 * 32 + b1], kMix6[g0 * 64 + g1], kMix5[r0 * 32 + r1], 0);
    palette[3] = texel(kMix5[b1 * 32 + b0], kMix6[g1 * 64 + g0], kMix5[r1 * 32 + r0], 0);
}

void decodeScalar(const std::uint8_t* colour8, const std::uint8_t* alpha8, std::uint8_t* bgra64)
{
    std::uint32_t palette[4];
    paletteOf(colour8, palette);
    const std::uint32_t bits = indexBits(colour8);
    std::uint32_t texels[16];
    if (!alpha8) {
        for (std::uint32_t& p : palette)
            p |= 0xFF000000u;
        for (int i = 0; i < 16; ++i)
            texels[i] = palette[(bits >> (2 * i)) & 3];
    } else {
        std::uint64_t alpha = 0;
        for (int b = 7; b >= 0; --b)
            alpha = (alpha << 8) | alpha8[b];
        for (int i = 0; i < 16; ++i)
            texels[i] = palette[(bits >> (2 * i)) & 3] | static_cast<std::uint32_t>(((alpha >> (4 * i)) & 15) * 17) << 24;
    }
    store(texels, bgra64);
}

}  // namespace kernels

namespace {

// The vector decoder where the processor has it; both give the same texels.
kernels::DecodeFn decoder()
{
    static const kernels::DecodeFn fn =
        kernels::supported(kernels::Isa::Sse41) && kernels::detectedIsa() != kernels::Isa::Scalar ? kernels::decodeSse41
                                                                                                   : kernels::decodeScalar;
    return fn;
}

}  // namespace

void decodeColourBlock(const std::uint8_t* block8, std::uint8_t* bgra64)
{
    decoder()(block8, nullptr, bgra64);
}

void decodeDxt1Block(const std::uint8_t* block8, std::uint8_t* bgra64)
{
    decoder()(block8, nullptr, bgra64);
}

void decodeDxt3Block(const std::uint8_t* block16, std::uint8_t* bgra64)
{
    decoder()(block16 + 8, block16, bgra64);
}

}  // namespace dxt
