// The adjustment previews and the editing commands of the document on a
// 2048 x 2048 map, through the recording host: what one timer tick costs while
// a slider moves, and what a blur or a resize costs as the user runs it.
#include "FakeHost.h"

#include "document/AdjustmentDialogModel.h"
#include "document/CKestrelDoc.h"
#include "document/CommandIds.h"
#include "document/SizeDialogModel.h"

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

constexpr int SIDE = 2048;

void loadMap(CKestrelDoc& doc, FakeHost& host, bool alpha, int side = SIDE)
{
    PixelBitmap b;
    b.create(side, side, 32, false);
    for (int y = 0; y < side; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(b.row(y));
        for (int x = 0; x < side; ++x)
            row[x] = static_cast<std::uint32_t>(x * 2654435761u ^ y * 40503u);
    }
    host.clipboard = std::move(b);
    // Each benchmark starts over on a fresh map: nothing to ask about.
    doc.setAskBeforeDiscard(false);
    doc.paste();
    if (alpha && !doc.hasAlpha())
        doc.createAlpha();
}

// One preview per iteration: the slider moves to a new value, the tick computes it.
void runPreviews(benchmark::State& state, int command, int mode, int slider0, int slider1)
{
    FakeHost host;
    CKestrelDoc doc(host);
    loadMap(doc, host, mode != CKestrelDoc::MODE_RGB);
    doc.displayModeCommand(mode);
    host.adjustmentDialog = [&](AdjustmentDialogModel& m) {
        m.setPreview(true);
        int i = 0;
        for (auto _ : state) {
            m.sliderMoved((i++ & 1) ? slider0 : slider1);
            m.tick();
        }
        return false;
    };
    doc.editCommand(command);
}

void BM_BrightnessPreview(benchmark::State& state)
{
    runPreviews(state, ID_BRIGHTNESS, static_cast<int>(state.range(0)), 40, -40);
}
BENCHMARK(BM_BrightnessPreview)->Arg(CKestrelDoc::MODE_RGB)->Arg(CKestrelDoc::MODE_RGBA)->Unit(benchmark::kMillisecond);

void BM_ContrastPreview(benchmark::State& state)
{
    runPreviews(state, ID_CONTRAST, static_cast<int>(state.range(0)), 30, -30);
}
BENCHMARK(BM_ContrastPreview)->Arg(CKestrelDoc::MODE_RGB)->Arg(CKestrelDoc::MODE_RGBA)->Unit(benchmark::kMillisecond);

void BM_GammaPreview(benchmark::State& state)
{
    runPreviews(state, ID_GAMMA, static_cast<int>(state.range(0)), 2200, 600);
}
BENCHMARK(BM_GammaPreview)->Arg(CKestrelDoc::MODE_RGB)->Arg(CKestrelDoc::MODE_RGBA)->Unit(benchmark::kMillisecond);

// A whole filter command: working images, the filter, the new map, the display.
void BM_FilterCommand(benchmark::State& state)
{
    FakeHost host;
    CKestrelDoc doc(host);
    loadMap(doc, host, true);
    const int id = static_cast<int>(state.range(0));
    for (auto _ : state)
        doc.editCommand(id);
}
BENCHMARK(BM_FilterCommand)->Arg(ID_BLUR)->Arg(ID_BLUR_STRONG)->Arg(ID_SHARPEN)->Arg(ID_ALPHA_BLUR)->Unit(benchmark::kMillisecond);

// The resize command from a square map of the first side to the size given (a
// fresh map each time): shrinking averages areas, growing is bicubic.
void BM_ResizeCommand(benchmark::State& state)
{
    FakeHost host;
    CKestrelDoc doc(host);
    const int side = static_cast<int>(state.range(0));
    const int w = static_cast<int>(state.range(1)), h = static_cast<int>(state.range(2));
    host.sizeDialog = [&](SizeDialogModel& m) {
        m.open();
        const auto& s = m.widths();
        m.chooseWidth(static_cast<int>(std::find(s.begin(), s.end(), w) - s.begin()));
        m.chooseHeight(static_cast<int>(std::find(s.begin(), s.end(), h) - s.begin()));
        return true;
    };
    for (auto _ : state) {
        state.PauseTiming();
        loadMap(doc, host, false, side);
        state.ResumeTiming();
        doc.resize();
    }
}
BENCHMARK(BM_ResizeCommand)->Args({2048, 1024, 1024})->Args({2048, 512, 2048})->Args({1024, 2048, 2048})->Unit(benchmark::kMillisecond);

void BM_RotateCommand(benchmark::State& state)
{
    FakeHost host;
    CKestrelDoc doc(host);
    loadMap(doc, host, false);
    for (auto _ : state)
        doc.rotate(true);
}
BENCHMARK(BM_RotateCommand)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
