// The history on a 2048 x 2048 map: what one undo and one redo cost for each
// kind of step, what recording a step adds to its command, and how many of
// fifty brightness steps the default budget keeps, in how many bytes.
//
// Two pictures: a smooth texture with a little noise in it (what textures
// look like), and noise that no compressor can shrink (the worst case).
#include "FakeHost.h"

#include "document/AdjustmentDialogModel.h"
#include "document/CKestrelDoc.h"
#include "document/CommandIds.h"
#include "document/SizeDialogModel.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

namespace {

constexpr int SIDE = 2048;
enum Picture { SMOOTH = 0, NOISE = 1 };

PixelBitmap makePicture(int kind)
{
    PixelBitmap b;
    b.create(SIDE, SIDE, 32, false);
    std::uint32_t seed = 12345;
    for (int y = 0; y < SIDE; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(b.row(y));
        for (int x = 0; x < SIDE; ++x) {
            seed = seed * 1664525u + 1013904223u;
            if (kind == NOISE) {
                row[x] = seed;
                continue;
            }
            const double v = 128 + 50 * std::sin(x * 0.011) + 35 * std::cos(y * 0.017) + 15 * std::sin((x + y) * 0.05);
            std::uint32_t pixel = 0xFF000000u;
            for (int c = 0; c < 3; ++c) {
                const int n = static_cast<int>(seed >> (8 * c) & 7) - 3;
                pixel |= static_cast<std::uint32_t>(std::clamp(static_cast<int>(v) + 12 * c + n, 0, 255)) << (8 * c);
            }
            row[x] = pixel;
        }
    }
    return b;
}

const PixelBitmap& picture(int kind)
{
    static const PixelBitmap pictures[2] = {makePicture(SMOOTH), makePicture(NOISE)};
    return pictures[kind];
}

struct Bench {
    FakeHost host;
    CKestrelDoc doc{host};
    int kind;
    bool keep = true;

    explicit Bench(int picture, bool keepSteps = true) : kind(picture), keep(keepSteps)
    {
        doc.setAskBeforeDiscard(false);
        reload();
    }
    // The picture again, with an empty history (the paste itself is no step then).
    void reload()
    {
        doc.setUndoLimits(0, 0);
        host.clipboard = picture(kind);
        doc.paste();
        host.clipboard.reset();
        if (keep)
            doc.setUndoLimits(UndoHistory::DEFAULT_STEPS, UndoHistory::DEFAULT_BUDGET);
    }
    void adjustment(int slider, bool alpha = false)
    {
        host.adjustmentDialog = [=](AdjustmentDialogModel& m) {
            if (alpha)
                m.chooseAlpha(true);
            m.sliderMoved(slider);
            m.accept();
            return true;
        };
    }
};

// The steps: each runs one command on the map.
enum Step { BRIGHTNESS, GAMMA, BLUR, ROTATE, RESIZE, PASTE };

void runStep(Bench& b, int step)
{
    switch (step) {
    case BRIGHTNESS:
        b.adjustment(30);
        b.doc.brightnessCommand();
        break;
    case GAMMA:
        b.adjustment(2200);
        b.doc.gammaCommand();
        break;
    case BLUR:
        b.doc.editCommand(ID_BLUR);
        break;
    case ROTATE:
        b.doc.editCommand(ID_ROTATE_CW);
        break;
    case RESIZE:
        b.host.sizeDialog = [](SizeDialogModel& m) {
            m.open();
            m.chooseWidth(1);  // 1024
            m.chooseHeight(1);
            return true;
        };
        b.doc.resize();
        break;
    case PASTE:
        b.host.clipboard = picture(b.kind == SMOOTH ? NOISE : SMOOTH);
        b.doc.paste();
        break;
    }
}

// One undo per iteration (the redo between two is not timed), of a step
// whose difference is compressed.
void BM_Undo(benchmark::State& state)
{
    Bench b(static_cast<int>(state.range(1)));
    runStep(b, static_cast<int>(state.range(0)));
    b.doc.history().settle();
    state.counters["step_KiB"] = static_cast<double>(b.doc.history().bytesHeld()) / 1024.0;
    for (auto _ : state) {
        b.doc.undo();
        state.PauseTiming();
        b.doc.redo();
        state.ResumeTiming();
    }
}

void BM_Redo(benchmark::State& state)
{
    Bench b(static_cast<int>(state.range(1)));
    runStep(b, static_cast<int>(state.range(0)));
    b.doc.history().settle();
    for (auto _ : state) {
        state.PauseTiming();
        b.doc.undo();
        state.ResumeTiming();
        b.doc.redo();
    }
}

// The command without a history (range 2: 0), with its step recorded (1),
// and the same with the background compression waited for, counting the CPU
// time of every thread (2).
void BM_Command(benchmark::State& state)
{
    const int mode = static_cast<int>(state.range(2));
    Bench b(static_cast<int>(state.range(1)), mode != 0);
    for (auto _ : state) {
        state.PauseTiming();
        b.doc.history().settle();
        b.reload();
        state.ResumeTiming();
        runStep(b, static_cast<int>(state.range(0)));
        if (mode == 2)
            b.doc.history().settle();
    }
}

// Undo right after the command, while its difference may still be plain.
void BM_UndoAtOnce(benchmark::State& state)
{
    Bench b(static_cast<int>(state.range(1)));
    for (auto _ : state) {
        state.PauseTiming();
        b.doc.history().settle();
        b.reload();
        runStep(b, static_cast<int>(state.range(0)));
        state.ResumeTiming();
        b.doc.undo();
    }
}

void undoArgs(benchmark::internal::Benchmark* bench)
{
    for (const int step : {BRIGHTNESS, GAMMA, BLUR, ROTATE, RESIZE, PASTE})
        for (const int picture : {SMOOTH, NOISE})
            bench->Args({step, picture});
    bench->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_Undo)->Apply(undoArgs);
BENCHMARK(BM_Redo)->Apply(undoArgs);
BENCHMARK(BM_Command)
    ->ArgsProduct({{BRIGHTNESS, GAMMA, BLUR, ROTATE, RESIZE}, {SMOOTH, NOISE}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Command)
    ->ArgsProduct({{BRIGHTNESS, GAMMA, BLUR}, {SMOOTH, NOISE}, {2}})
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoAtOnce)->ArgsProduct({{BRIGHTNESS, GAMMA, BLUR}, {SMOOTH, NOISE}})->Unit(benchmark::kMillisecond);

// Fifty brightness steps as a user makes them, up and down: how many the
// default limits keep, and the bytes held.
void BM_FiftyBrightnessSteps(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        Bench b(static_cast<int>(state.range(0)));
        state.ResumeTiming();
        constexpr int deltas[] = {25, -15, 10, -20, 30, -5, 15, -25, 20, -10};
        for (int i = 0; i < 50; ++i) {
            b.adjustment(deltas[i % 10]);
            b.doc.brightnessCommand();
        }
        b.doc.history().settle();
        state.counters["steps_kept"] = static_cast<double>(b.doc.history().undoCount());
        state.counters["MiB_held"] = static_cast<double>(b.doc.history().bytesHeld()) / (1 << 20);
        state.counters["budget_MiB"] = static_cast<double>(b.doc.history().budget()) / (1 << 20);
    }
}
BENCHMARK(BM_FiftyBrightnessSteps)->Arg(SMOOTH)->Arg(NOISE)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
