// Opening a volume whose one directory holds 100,000 files, from the open
// dispatch until the directory tree and the first page have been painted;
// sorting that page both ways; one keystroke in the filter field until the
// narrowed list is painted; and a sort by a texture column, whose facts are
// read from the entries' headers first.
#include "VolumeBuilder.h"

#include "document/CKestrelDoc.h"
#include "document/VolumePages.h"
#include "shell/CMainFrame.h"
#include "shell/DesktopPanes.h"
#include "views/browser/CEntryFactsLoader.h"
#include "views/browser/CEntryListCtrl.h"
#include "views/browser/CHelperTree.h"
#include "views/browser/CQORBView.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace testsupport;

namespace {

constexpr int FILES = 100000;

// Directory "big" with FILES files of assorted names and sizes.
const std::filesystem::path& bigVolume()
{
    static QTemporaryDir dir;
    static const std::filesystem::path path = [] {
        VolumeSpec spec;
        spec.entries.push_back({"big", 1, 0, DIR | LAST});
        std::uint32_t seed = 12345;
        for (int i = 0; i < FILES; ++i) {
            seed = seed * 1664525u + 1013904223u;
            const char* ext[] = {".tex", ".tga", ".wav", ".mds", ".fnt"};
            spec.entries.push_back({"file" + std::to_string(seed % 1000000) + ext[seed % 5], 0, seed % 65536,
                                    i == FILES - 1 ? LAST : 0u});
        }
        const auto p = std::filesystem::path(dir.path().toStdString()) / "big.qrb";
        writeFile(p, volumeBytes(spec));
        return p;
    }();
    return path;
}

void BM_OpenVolumeUntilShown(benchmark::State& state)
{
    QTemporaryDir settingsDir;
    QSettings settings(settingsDir.filePath("k.ini"), QSettings::IniFormat);
    CMainFrame frame(settings);
    DesktopPanes panes(frame);
    frame.resize(1200, 800);
    frame.show();
    QApplication::processEvents();
    const std::string path = bigVolume().string();
    for (auto _ : state) {
        frame.document().openFile(path, false);
        // The first page and the tree, painted.
        benchmark::DoNotOptimize(panes.browser()->grab());
        benchmark::DoNotOptimize(panes.helperTree()->grab());
    }
    state.counters["entries"] = static_cast<double>(panes.browser()->pages().page(0).items.size());
}
BENCHMARK(BM_OpenVolumeUntilShown)->Unit(benchmark::kMillisecond)->Iterations(5);

struct SortFixture {
    QTemporaryDir settingsDir;
    QSettings settings{settingsDir.filePath("k.ini"), QSettings::IniFormat};
    CMainFrame frame{settings};
    DesktopPanes panes{frame};
    SortFixture() { frame.document().openFile(bigVolume().string(), false); }
};

void BM_SortPage(benchmark::State& state)
{
    static SortFixture f;
    VolumePages pages = f.panes.browser()->pages();  // a copy to sort
    pages.showPage(0);
    pages.setDescending(state.range(1) != 0);
    const auto& records = f.frame.document().entryRecords();
    for (auto _ : state) {
        state.PauseTiming();
        VolumePages fresh = pages;
        state.ResumeTiming();
        if (state.range(0) == 0)
            fresh.sortByName(records);
        else
            fresh.sortBySize(records);
        benchmark::ClobberMemory();
    }
    state.SetLabel(std::string(state.range(0) == 0 ? "name" : "size") + (state.range(1) ? " descending" : " ascending"));
}
BENCHMARK(BM_SortPage)->Args({0, 0})->Args({0, 1})->Args({1, 0})->Args({1, 1})->Unit(benchmark::kMillisecond);

void BM_SortThroughTheView(benchmark::State& state)
{
    static SortFixture f;
    CQORBView* view = f.panes.browser();
    for (auto _ : state) {
        view->sortByName();
        benchmark::DoNotOptimize(view->grab());
    }
}
BENCHMARK(BM_SortThroughTheView)->Unit(benchmark::kMillisecond)->Iterations(5);

// One keystroke: the field's text grows by a letter (or shrinks back), the
// listing is filtered anew and the list painted. The keystrokes cycle through
// a word and back, so that narrow and wide results alternate.
void BM_FilterKeystroke(benchmark::State& state)
{
    static SortFixture f;
    f.frame.resize(1200, 800);
    f.frame.show();
    CQORBView* view = f.panes.browser();
    view->filterAllDirectories()->setChecked(state.range(0) != 0);
    const QStringList steps = {"f", "fi", "fil", "file", "file1", "file12", "file123", "file12", "file1", "file", "fil",
                               "fi", "f", ""};
    int i = 0;
    for (auto _ : state) {
        view->filterField()->setText(steps[i++ % steps.size()]);
        benchmark::DoNotOptimize(view->list()->grab());
    }
    view->filterField()->clear();
    state.SetLabel(state.range(0) ? "in all directories" : "the shown page");
}
BENCHMARK(BM_FilterKeystroke)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Wildcards: "*.tex", "*.t?a" and back to nothing.
void BM_FilterWildcards(benchmark::State& state)
{
    static SortFixture f;
    CQORBView* view = f.panes.browser();
    const QStringList steps = {"*", "*.", "*.t", "*.te", "*.tex", "*.t?", "*.t?a", ""};
    int i = 0;
    for (auto _ : state) {
        view->filterField()->setText(steps[i++ % steps.size()]);
        benchmark::DoNotOptimize(view->list()->grab());
    }
    view->filterField()->clear();
}
BENCHMARK(BM_FilterWildcards)->Unit(benchmark::kMillisecond);

// Sorting by "Format" reads what the worker has not read yet of the 100,000
// entries' headers (40,000 of them are images), then sorts.
void BM_SortByFormatColdAndWarm(benchmark::State& state)
{
    static SortFixture f;
    CQORBView* view = f.panes.browser();
    for (auto _ : state) {
        if (state.range(0) == 0) {
            state.PauseTiming();
            f.frame.document().openFile(bigVolume().string(), false);  // forgets every fact
            state.ResumeTiming();
        }
        view->sortByColumn(3);
        benchmark::DoNotOptimize(view->list()->grab());
    }
    state.SetLabel(state.range(0) == 0 ? "headers read first" : "headers known");
}
BENCHMARK(BM_SortByFormatColdAndWarm)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
