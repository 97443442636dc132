// Opening a volume of 100,000 entries into the document (records, tree and
// pages) against the bare catalogue walk, what the volume's identity costs, and
// the RGBA view of a 2048 x 2048 map against copying the same bytes.
#include "FakeHost.h"
#include "TextureBuilder.h"

#include "document/CKestrelDoc.h"
#include "document/VolumeIdentity.h"

#include <benchmark/benchmark.h>

#include <cstring>

using namespace testsupport;

namespace {

// 1,000 directories of 99 files each, plus 100 files at the top level.
const std::filesystem::path& volume100k()
{
    static TempDir dir;
    static const std::filesystem::path path = [] {
        constexpr std::uint32_t dirs = 1000, perDir = 99, topFiles = 100;
        VolumeSpec spec;
        const std::uint32_t top = dirs + topFiles;
        for (std::uint32_t d = 0; d < dirs; ++d)
            spec.entries.push_back({"dir" + std::to_string(d), top + d * perDir, 0, DIR});
        for (std::uint32_t f = 0; f < topFiles; ++f)
            spec.entries.push_back({"top" + std::to_string(f) + ".wav", 0, 0, f + 1 == topFiles ? LAST : 0u});
        for (std::uint32_t d = 0; d < dirs; ++d)
            for (std::uint32_t f = 0; f < perDir; ++f)
                spec.entries.push_back({"file" + std::to_string(f) + ".tex", 0, 0, f + 1 == perDir ? LAST : 0u});
        writeFile(dir / "v100k.qrb", volumeBytes(spec));
        return dir / "v100k.qrb";
    }();
    return path;
}

void ignore(int, int, const tarvos::QORBEntry*) {}

void BM_BareWalk(benchmark::State& state)
{
    tarvos::GGroup vol;
    vol.setCallBack(ignore);
    for (auto _ : state) {
        vol.open(volume100k().c_str(), true);
        vol.travEntries();
    }
}
BENCHMARK(BM_BareWalk)->Unit(benchmark::kMillisecond);

void BM_DocumentOpenVolume(benchmark::State& state)
{
    FakeHost host;
    CKestrelDoc doc(host);
    for (auto _ : state)
        benchmark::DoNotOptimize(doc.openVolume(volume100k().string(), "v100k.qrb"));
    state.counters["pages"] = static_cast<double>(host.browser.pages.size());
}
BENCHMARK(BM_DocumentOpenVolume)->Unit(benchmark::kMillisecond);

// What the volume's identity costs: taking it (at opening and after each of
// our writes: two file states and a hash of the 8 MB of comment block, header
// and catalogue), checking it before a write, and a whole rename with both.
void BM_IdentityRecord(benchmark::State& state)
{
    tarvos::GGroup vol;
    vol.open(volume100k().c_str(), true);
    VolumeIdentity identity;
    for (auto _ : state)
        benchmark::DoNotOptimize(identity.record(volume100k().string(), vol));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(volume100k())));
}
BENCHMARK(BM_IdentityRecord)->Unit(benchmark::kMillisecond);

void BM_IdentityCheckBeforeWrite(benchmark::State& state)
{
    tarvos::GGroup vol;
    vol.open(volume100k().c_str(), true);
    VolumeIdentity identity;
    identity.record(volume100k().string(), vol);
    for (auto _ : state)
        benchmark::DoNotOptimize(identity.unchanged(vol));
}
BENCHMARK(BM_IdentityCheckBeforeWrite)->Unit(benchmark::kMillisecond);

void BM_IdentityCheckOfTheWatch(benchmark::State& state)
{
    tarvos::GGroup vol;
    vol.open(volume100k().c_str(), true);
    VolumeIdentity identity;
    identity.record(volume100k().string(), vol);
    for (auto _ : state)
        benchmark::DoNotOptimize(identity.unchanged(vol, VolumeIdentity::Depth::States));
}
BENCHMARK(BM_IdentityCheckOfTheWatch)->Unit(benchmark::kMicrosecond);

void BM_RenameEntry(benchmark::State& state)
{
    static TempDir dir;
    std::filesystem::copy_file(volume100k(), dir / "rename.qrb", std::filesystem::copy_options::overwrite_existing);
    FakeHost host;
    CKestrelDoc doc(host);
    doc.openVolume((dir / "rename.qrb").string(), "rename.qrb");
    const int entry = *doc.catalogue().find("dir7/file3.tex");
    bool flip = false;
    for (auto _ : state) {
        benchmark::DoNotOptimize(doc.renameEntry(entry, flip ? "file3.tex" : "renamed.tex", false));
        flip = !flip;
    }
}
BENCHMARK(BM_RenameEntry)->Unit(benchmark::kMillisecond);

void BM_RgbaView2048(benchmark::State& state)
{
    static TempDir dir;
    writeFile(dir / "big.tex", textureBytes(2048, 2048, 1, 2, [](int, int x, int y) {
        return static_cast<std::uint32_t>((x ^ y) & 0xFF) << 24 | static_cast<std::uint32_t>(x * 31 + y);
    }));
    FakeHost host;
    CKestrelDoc doc(host);
    doc.openFile((dir / "big.tex").string(), false);
    doc.setDisplayMode(CKestrelDoc::MODE_RGBA);
    for (auto _ : state)
        doc.selectMapCommand(0);  // marks the RGBA view stale and rebuilds it
    state.SetBytesProcessed(state.iterations() * 2048LL * 2048 * 4 * 2);
}
BENCHMARK(BM_RgbaView2048)->Unit(benchmark::kMillisecond);

// The same memory traffic as the RGBA view (a map and the pattern read, the
// view read and written) with no arithmetic: the floor for one pass.
void BM_SameTrafficNoArithmetic(benchmark::State& state)
{
    const std::size_t pixels = 2048u * 2048;
    std::vector<std::uint32_t> map(pixels, 0x80FF00FFu), view(pixels, 1);
    std::vector<std::uint8_t> pattern(pixels, 130);
    for (auto _ : state) {
        for (std::size_t i = 0; i < pixels; ++i)
            view[i] = (map[i] ^ pattern[i]) | (view[i] & 0xFF000000u);
        benchmark::DoNotOptimize(view.data());
    }
}
BENCHMARK(BM_SameTrafficNoArithmetic)->Unit(benchmark::kMillisecond);

void BM_Copy16MiB(benchmark::State& state)
{
    std::vector<std::uint8_t> from(2048u * 2048 * 4, 1), to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(from.size()) * 2);
}
BENCHMARK(BM_Copy16MiB)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
