// A volume of 1,000,000 entries (1,000 directories of 999 files each): the
// catalogue walk against reading the catalogue bytes alone, and list --json.
#include "Cli.h"
#include "VolumeBuilder.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <ostream>
#include <streambuf>

using namespace testsupport;

namespace {

constexpr std::uint32_t DIRECTORIES = 1000;
constexpr std::uint32_t FILES_PER_DIRECTORY = 999;

const std::filesystem::path& bigVolume()
{
    static TempDir dir;
    static const std::filesystem::path path = [] {
        VolumeSpec spec;
        const std::uint32_t total = DIRECTORIES * (FILES_PER_DIRECTORY + 1);
        spec.entries.reserve(total);
        for (std::uint32_t d = 0; d < DIRECTORIES; ++d)
            spec.entries.push_back({"dir" + std::to_string(d), DIRECTORIES + d * FILES_PER_DIRECTORY, 0,
                                    DIR | (d + 1 == DIRECTORIES ? LAST : 0)});
        for (std::uint32_t d = 0; d < DIRECTORIES; ++d)
            for (std::uint32_t f = 0; f < FILES_PER_DIRECTORY; ++f)
                spec.entries.push_back({"file" + std::to_string(f) + ".tex", dataStart(total), 0,
                                        f + 1 == FILES_PER_DIRECTORY ? LAST : 0u});
        writeFile(dir / "big.qrb", volumeBytes(spec));
        return dir / "big.qrb";
    }();
    return path;
}

std::uint64_t g_reports = 0;
void countReport(int, int, const tarvos::QORBEntry*)
{
    ++g_reports;
}

// The floor: header and catalogue read into a fresh buffer, as opening must.
void BM_ReadCatalogueBytes(benchmark::State& state)
{
    const auto size = std::filesystem::file_size(bigVolume());
    for (auto _ : state) {
        std::unique_ptr<unsigned char[]> buffer(new unsigned char[size]);
        std::FILE* f = std::fopen(bigVolume().c_str(), "rb");
        benchmark::DoNotOptimize(std::fread(buffer.get(), 1, size, f));
        std::fclose(f);
    }
}
BENCHMARK(BM_ReadCatalogueBytes)->Unit(benchmark::kMillisecond);

void BM_OpenAndWalk(benchmark::State& state)
{
    tarvos::GGroup vol;
    vol.setCallBack(countReport);
    for (auto _ : state) {
        g_reports = 0;
        vol.open(bigVolume().c_str(), true);
        vol.travEntries();
        benchmark::DoNotOptimize(g_reports);
    }
    state.counters["entries"] = static_cast<double>(g_reports - 1);
}
BENCHMARK(BM_OpenAndWalk)->Unit(benchmark::kMillisecond);

struct NullBuffer : std::streambuf {
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

void runList(benchmark::State& state, bool json)
{
    NullBuffer nothing;
    std::ostream out(&nothing), err(&nothing);
    cli::Io io{out, err};
    std::vector<std::string> args = {"list", bigVolume().string()};
    if (json)
        args.push_back("--json");
    for (auto _ : state)
        benchmark::DoNotOptimize(cli::run(args, io));
}

void BM_ListJson(benchmark::State& state)
{
    runList(state, true);
}
BENCHMARK(BM_ListJson)->Unit(benchmark::kMillisecond);

void BM_ListText(benchmark::State& state)
{
    runList(state, false);
}
BENCHMARK(BM_ListText)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
