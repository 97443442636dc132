// korvix-dxt-decode-bench: decoding a 2048 x 2048 DXT1 or DXT3 map against copying the
// 16 MB of pixels it gives. Google Benchmark; run by hand.
//
// "blocks" decodes the map straight into a ready picture's rows (the decoder alone); "load" is the
// texture loader's whole path from file bytes to a new map (allocation included); "copy"
// is memcpy of the decoded size into a ready buffer.

#include "codecs/DxtBlock.h"
#include "codecs/TextureLoader.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr int kSide = 2048;
constexpr std::size_t kPixelBytes = static_cast<std::size_t>(kSide) * kSide * 4;

// Random blocks: every index pattern and colour pair, nothing for a branch to learn.
std::vector<std::uint8_t> randomBlocks(bool dxt3)
{
    std::vector<std::uint8_t> blocks(static_cast<std::size_t>(kSide / 4) * (kSide / 4) * (dxt3 ? 16 : 8));
    std::mt19937 rng(2048);
    for (auto& b : blocks)
        b = static_cast<std::uint8_t>(rng());
    return blocks;
}

std::vector<std::uint8_t> textureFile(bool dxt3)
{
    const std::uint32_t header[9] = {0x5845544Bu, 0, dxt3 ? 12u : 10u, kSide, kSide, 1, kSide, kSide, 0xFFFFFFFFu};
    std::vector<std::uint8_t> file(sizeof header);
    std::memcpy(file.data(), header, sizeof header);  // the header is little-endian, as is this machine
    const auto blocks = randomBlocks(dxt3);
    file.insert(file.end(), blocks.begin(), blocks.end());
    return file;
}

void decodeBlocks(benchmark::State& state, bool dxt3)
{
    const auto blocks = randomBlocks(dxt3);
    std::vector<std::uint8_t> pixels(kPixelBytes);
    const std::size_t stride = 4 * static_cast<std::size_t>(kSide);
    std::vector<std::uint8_t*> rows(kSide);
    for (int y = 0; y < kSide; ++y)
        rows[static_cast<std::size_t>(y)] = pixels.data() + stride * static_cast<std::size_t>(y);
    for (auto _ : state) {
        dxt::decodeImage(blocks.data(), kSide, kSide, dxt3, rows.data());
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPixelBytes));
}

void load(benchmark::State& state, bool dxt3)
{
    const auto file = textureFile(dxt3);
    for (auto _ : state) {
        LoadedTexture t = loadTexture(file.data(), file.size());
        if (!t.ok())
            state.SkipWithError("the texture did not load");
        benchmark::DoNotOptimize(t);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPixelBytes));
}

void BM_Dxt1Blocks(benchmark::State& state) { decodeBlocks(state, false); }
void BM_Dxt3Blocks(benchmark::State& state) { decodeBlocks(state, true); }
void BM_Dxt1Load(benchmark::State& state) { load(state, false); }
void BM_Dxt3Load(benchmark::State& state) { load(state, true); }

void BM_Copy(benchmark::State& state)
{
    std::vector<std::uint8_t> from(kPixelBytes, 1), to(kPixelBytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), kPixelBytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPixelBytes));
}

}  // namespace

BENCHMARK(BM_Copy)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_Dxt1Blocks)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_Dxt3Blocks)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_Dxt1Load)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_Dxt3Load)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_MAIN();
