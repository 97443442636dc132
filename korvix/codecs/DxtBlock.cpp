#include "codecs/DxtBlock.h"

#include "codecs/DxtKernels.h"
#include "codecs/DxtTables.h"

#include <algorithm>
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
void store(const std::uint32_t* texels4, std::uint8_t* out)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, texels4, 16);
    } else {
        for (int i = 0; i < 4; ++i)
            for (int byte = 0; byte < 4; ++byte)
                out[4 * i + byte] = static_cast<std::uint8_t>(texels4[i] >> (8 * byte));
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

void decodeScalar(const std::uint8_t* colour8, const std::uint8_t* alpha8, std::uint8_t* const* rows, std::size_t offset)
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
    for (int r = 0; r < 4; ++r)
        store(texels + 4 * r, rows[r] + offset);
}

// The vector decoder where the processor has it; both give the same texels.
DecodeFn decoder()
{
    static const DecodeFn fn = supported(Isa::Sse41) && detectedIsa() != Isa::Scalar ? decodeSse41 : decodeScalar;
    return fn;
}

}  // namespace kernels

namespace {

void decodeInto(const std::uint8_t* colour8, const std::uint8_t* alpha8, std::uint8_t* bgra64)
{
    std::uint8_t* const rows[4] = {bgra64, bgra64 + 16, bgra64 + 32, bgra64 + 48};
    kernels::decoder()(colour8, alpha8, rows, 0);
}

}  // namespace

void decodeColourBlock(const std::uint8_t* block8, std::uint8_t* bgra64)
{
    decodeInto(block8, nullptr, bgra64);
}

void decodeDxt1Block(const std::uint8_t* block8, std::uint8_t* bgra64)
{
    decodeInto(block8, nullptr, bgra64);
}

void decodeDxt3Block(const std::uint8_t* block16, std::uint8_t* bgra64)
{
    decodeInto(block16 + 8, block16, bgra64);
}

void decodeImage(const std::uint8_t* blocks, int width, int height, bool dxt3, std::uint8_t* const* rows)
{
    if (!blocks || !rows || width < 1 || height < 1)
        return;
    const kernels::DecodeFn decode = kernels::decoder();
    const int blocksAcross = (width + 3) / 4, blocksDown = (height + 3) / 4;
    const std::size_t blockBytes = dxt3 ? 16 : 8;
    const int fullAcross = width / 4;
    std::uint8_t texels[64];
    std::uint8_t* const scratch[4] = {texels, texels + 16, texels + 32, texels + 48};
    for (int by = 0; by < blocksDown; ++by) {
        const int rowsHere = std::min(4, height - 4 * by);
        const std::uint8_t* block = blocks + static_cast<std::size_t>(by) * static_cast<std::size_t>(blocksAcross) * blockBytes;
        // Whole blocks go straight into the map's rows; the blocks at the right and bottom
        // edge of a map whose sides are not multiples of 4 go through a scratch block.
        int bx = 0;
        if (rowsHere == 4) {
            std::uint8_t* const here[4] = {rows[4 * by], rows[4 * by + 1], rows[4 * by + 2], rows[4 * by + 3]};
            for (; bx < fullAcross; ++bx, block += blockBytes)
                decode(dxt3 ? block + 8 : block, dxt3 ? block : nullptr, here, 16 * static_cast<std::size_t>(bx));
        }
        for (; bx < blocksAcross; ++bx, block += blockBytes) {
            decode(dxt3 ? block + 8 : block, dxt3 ? block : nullptr, scratch, 0);
            const std::size_t bytes = 4 * static_cast<std::size_t>(std::min(4, width - 4 * bx));
            for (int r = 0; r < rowsHere; ++r)
                std::memcpy(rows[4 * by + r] + 16 * static_cast<std::size_t>(bx), texels + 16 * r, bytes);
        }
    }
}

}  // namespace dxt
