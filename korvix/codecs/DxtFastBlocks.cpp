#include "codecs/DxtKernels.h"

#include <cstring>

namespace dxt::kernels {

namespace {

// The plain encoder on `count` whole blocks side by side, one block at a time.
void blocksScalar(const std::uint8_t* pixels, std::size_t stride, int count, std::uint8_t* out, std::size_t outStride, Quality q)
{
    std::uint8_t block[64];
    for (int b = 0; b < count; ++b) {
        for (int y = 0; y < 4; ++y)
            std::memcpy(block + 16 * y, pixels + y * stride + 16 * static_cast<std::size_t>(b), 16);
        encodeColourBlockWith(Isa::Scalar, block, out + static_cast<std::size_t>(b) * outStride, q);
    }
}

}  // namespace

void fastBlocksScalar(const std::uint8_t* pixels, std::size_t stride, int count, std::uint8_t* out, std::size_t outStride)
{
    blocksScalar(pixels, stride, count, out, outStride, Quality::Fast);
}

FastBlocksFn fastBlocksFor(Isa isa)
{
    switch (isa) {
    case Isa::Avx2:
        return fastBlocksAvx2;
    case Isa::Sse41:
        return fastBlocksSse41;
    case Isa::Scalar:
        break;
    }
    return fastBlocksScalar;
}

void defaultBlocksScalar(const std::uint8_t* pixels, std::size_t stride, int count, std::uint8_t* out, std::size_t outStride)
{
    blocksScalar(pixels, stride, count, out, outStride, Quality::Default);
}

DefaultBlocksFn defaultBlocksFor(Isa isa)
{
    switch (isa) {
    case Isa::Avx2:
        return defaultBlocksAvx2;
    case Isa::Sse41:
        return defaultBlocksSse41;
    case Isa::Scalar:
        break;
    }
    return defaultBlocksScalar;
}

}  // namespace dxt::kernels
