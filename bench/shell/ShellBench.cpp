// Repaint of the picture view over a 2048 x 2048 map at zoom 1 and 4 and at
// the reductions 1:2 and 1:4, one
// brightness preview tick with its repaint, and the time from constructing
// the main frame to a texture shown on the screen.
//   QT_QPA_PLATFORM=offscreen build/bench/shell/korvix-shell-bench
#include "TextureBuilder.h"
#include "document/AdjustmentDialogModel.h"
#include "document/CommandIds.h"
#include "shell/CMainFrame.h"
#include "views/CPictureView.h"

#include <QAction>
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

struct Fixture {
    QTemporaryDir dir;
    QString texture;

    Fixture()
    {
        texture = dir.filePath(QStringLiteral("big.tex"));
        testsupport::writeFile(texture.toStdString(),
                               testsupport::textureBytes(2048, 2048, 1, 2, [](int, int x, int y) {
                                   return 0x80000000u | static_cast<std::uint32_t>(x & 255) << 16 |
                                          static_cast<std::uint32_t>(y & 255) << 8 | 0x40u;
                               }));
    }
    std::unique_ptr<QSettings> settings() const
    {
        return std::make_unique<QSettings>(dir.filePath(QStringLiteral("k.ini")), QSettings::IniFormat);
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

// A main frame of 2000 x 1400 pixels with the big texture shown.
std::unique_ptr<CMainFrame> frameWithTexture(QSettings& settings)
{
    auto frame = std::make_unique<CMainFrame>(settings);
    frame->messageHook = [](auto&&...) { return MessageAnswer::Ok; };
    frame->resize(2000, 1400);
    frame->show();
    frame->openStartupFile(fixture().texture);
    return frame;
}

void settle()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

// One full repaint of the visible picture (1600 x 1100 client pixels of it),
// the way a pan step or a scroll repaints it; mode 1 draws the RGBA view.
void BM_RepaintPicture(benchmark::State& state)
{
    auto settings = fixture().settings();
    const auto framePtr = frameWithTexture(*settings);
    CMainFrame& frame = *framePtr;
    for (int z = 1; z < state.range(0); z *= 2)
        frame.action(ID_ZOOM_IN)->trigger();
    settle();
    QWidget* viewport = frame.pictureView()->viewport();
    for (auto _ : state)
        viewport->repaint();
    state.counters["client_px"] = viewport->width() * viewport->height();
}
BENCHMARK(BM_RepaintPicture)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

// The reduced zooms (argument r for 1:r): a repaint from the cached
// area-averaged copy, as a scroll or a pan repaints, and a repaint after the
// picture changed, which averages the copy anew first.
void BM_RepaintReduced(benchmark::State& state)
{
    auto settings = fixture().settings();
    const auto framePtr = frameWithTexture(*settings);
    CMainFrame& frame = *framePtr;
    frame.pictureView()->setZoom(1.0f / static_cast<float>(state.range(0)));
    settle();
    CPictureView* view = frame.pictureView();
    const bool changed = state.range(1) != 0;
    for (auto _ : state) {
        if (changed)
            view->refresh();
        view->viewport()->repaint();
    }
    state.SetLabel(changed ? "picture changed" : "cached copy");
}
BENCHMARK(BM_RepaintReduced)->Args({2, 0})->Args({2, 1})->Args({4, 0})->Args({4, 1})->Unit(benchmark::kMillisecond);

// One tick of the brightness dialog while its slider moves, over a 2048 x 2048
// texture with alpha: the preview computed from the untouched map (in the RGBA
// view also blended over the background) and the picture view repainted with
// it (1600 x 1100 client pixels shown), all on the user-interface thread. The
// dialog's timer ticks every 65 ms; argument 0 is the RGB view, 1 the RGBA view.
void BM_BrightnessPreviewTick(benchmark::State& state)
{
    auto settings = fixture().settings();
    const auto framePtr = frameWithTexture(*settings);
    CMainFrame& frame = *framePtr;
    frame.action(state.range(0) == 1 ? ID_VIEW_RGBA : ID_VIEW_RGB)->trigger();
    settle();
    QWidget* viewport = frame.pictureView()->viewport();
    frame.adjustmentDialog = [&](AdjustmentDialogModel& m) {
        m.setPreview(true);
        int i = 0;
        for (auto _ : state) {
            m.sliderMoved((i++ & 1) ? 40 : -40);
            m.tick();
            viewport->repaint();
        }
        return false;
    };
    frame.action(ID_BRIGHTNESS)->trigger();
    state.counters["client_px"] = viewport->width() * viewport->height();
}
BENCHMARK(BM_BrightnessPreviewTick)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// From a new main frame to the texture painted: frame construction, loading a
// 2048 x 2048 RGBA 8888 texture file, the first show and paint.
void BM_StartToShownTexture(benchmark::State& state)
{
    for (auto _ : state) {
        auto settings = fixture().settings();
        CMainFrame frame(*settings);
        frame.resize(1200, 800);
        frame.show();
        frame.openStartupFile(fixture().texture);
        frame.pictureView()->viewport()->repaint();
        settle();
        benchmark::DoNotOptimize(frame.pictureView()->drawnBitmap());
    }
}
BENCHMARK(BM_StartToShownTexture)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
