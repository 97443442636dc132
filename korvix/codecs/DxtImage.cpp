#include "codecs/DxtBlock.h"

#include "codecs/DxtKernels.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

namespace dxt {

namespace {

// With threads 0, one thread per this many blocks (a 256 x 256 map) at most.
constexpr std::size_t kBlocksPerThread = 4096;

struct ImageJob {
    const std::uint8_t* pixels;
    int width;
    int height;
    std::size_t stride;
    bool dxt3;
    std::uint8_t* out;
    Quality quality;
    int blocksAcross;
    int blocksDown;
    kernels::FastBlocksFn fastBlocks;
    kernels::DefaultBlocksFn defaultBlocks;
};

// The alpha half of a DXT3 block whose texels all exist, read from the map's rows.
void encodeAlphaRows(const std::uint8_t* first, std::size_t stride, std::uint8_t* out8)
{
    for (int y = 0; y < 4; ++y) {
        const std::uint8_t* row = first + y * stride;
        unsigned bits = 0;
        for (int x = 0; x < 4; ++x)
            bits |= kernels::alphaNibble(row[4 * x + 3]) << (4 * x);
        out8[2 * y] = static_cast<std::uint8_t>(bits);
        out8[2 * y + 1] = static_cast<std::uint8_t>(bits >> 8);
    }
}

void encodeBlockRow(const ImageJob& job, int by)
{
    const std::size_t blockBytes = job.dxt3 ? 16 : 8;
    std::uint8_t* const rowOut = job.out + static_cast<std::size_t>(by) * job.blocksAcross * blockBytes;
    int bx = 0;
    if (job.quality != Quality::Best && 4 * by + 4 <= job.height) {
        // The fast and default settings take whole blocks straight from the rows, several
        // at a time.
        const std::uint8_t* const rows = job.pixels + static_cast<std::size_t>(4 * by) * job.stride;
        const int whole = job.width / 4;
        const kernels::FastBlocksFn blocks = job.quality == Quality::Fast ? job.fastBlocks : job.defaultBlocks;
        blocks(rows, job.stride, whole, job.dxt3 ? rowOut + 8 : rowOut, blockBytes);
        if (job.dxt3)
            for (int b = 0; b < whole; ++b)
                encodeAlphaRows(rows + 16 * static_cast<std::size_t>(b), job.stride, rowOut + b * blockBytes);
        bx = whole;
    }
    std::uint8_t texels[64];
    for (; bx < job.blocksAcross; ++bx) {
        std::uint16_t mask = 0;
        std::memset(texels, 0, sizeof texels);
        const int w = std::min(4, job.width - 4 * bx);
        const int h = std::min(4, job.height - 4 * by);
        for (int y = 0; y < h; ++y) {
            const std::uint8_t* src = job.pixels + static_cast<std::size_t>(4 * by + y) * job.stride + 16 * static_cast<std::size_t>(bx);
            std::memcpy(texels + 16 * y, src, 4 * static_cast<std::size_t>(w));
            mask = static_cast<std::uint16_t>(mask | (((1u << w) - 1) << (4 * y)));
        }
        std::uint8_t* dst = rowOut + static_cast<std::size_t>(bx) * blockBytes;
        if (job.dxt3)
            encodeDxt3Block(texels, dst, job.quality, mask);
        else
            encodeDxt1Block(texels, dst, job.quality, mask);
    }
}

}  // namespace

void encodeImage(const std::uint8_t* pixels, int width, int height, std::size_t stride, bool dxt3, std::uint8_t* out,
                 Quality q, unsigned threads)
{
    if (!pixels || !out || width < 1 || height < 1)
        return;
    const ImageJob job{pixels, width, height, stride, dxt3, out, q, (width + 3) / 4, (height + 3) / 4,
                       kernels::fastBlocksFor(kernels::detectedIsa()), kernels::defaultBlocksFor(kernels::detectedIsa())};

    // Every block depends on its own texels only, so the rows can be handed out in any
    // order and the output is the same for every thread count.
    const std::size_t blocks = static_cast<std::size_t>(job.blocksAcross) * static_cast<std::size_t>(job.blocksDown);
    if (threads == 0) {
        const std::size_t useful = std::max<std::size_t>(1, blocks / kBlocksPerThread);
        threads = static_cast<unsigned>(std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()), useful));
    }
    threads = static_cast<unsigned>(std::min<std::size_t>(threads, static_cast<std::size_t>(job.blocksDown)));

    std::atomic<int> nextRow{0};
    auto work = [&job, &nextRow] {
        for (int by = nextRow++; by < job.blocksDown; by = nextRow++)
            encodeBlockRow(job, by);
    };
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < threads; ++i) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // no more threads to be had: the ones running and this one finish the map
        }
    }
    work();
    for (std::thread& t : helpers)
        t.join();
}

}  // namespace dxt
