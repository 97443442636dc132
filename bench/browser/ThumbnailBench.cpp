// The browser's thumbnail view on a directory of 1,000 textures, in the desktop
// program's own window (offscreen): from the toggle until the thumbnails the
// view shows are drawn, and until all 1,000 are made. Textures of 256 x 256
// with all their maps, in the five formats by turns (or one format), as the
// game stores them. Run with QT_QPA_PLATFORM=offscreen:
//
//   korvix-thumbnail-bench [RUNS] [SIDE] [FORMAT]     (defaults 5, 256, all)
#include "VolumeBuilder.h"

#include "codecs/PixelBitmap.h"
#include "codecs/TextureWriter.h"
#include "document/CKestrelDoc.h"
#include "shell/CMainFrame.h"
#include "shell/DesktopPanes.h"
#include "views/browser/CQORBView.h"
#include "views/browser/CThumbnailLoader.h"
#include "views/browser/CThumbnailView.h"
#include "views/browser/EntryPageModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <vector>

using namespace testsupport;

namespace {

constexpr int FILES = 1000;

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A volume whose directory "textures" holds FILES textures of side x side.
std::filesystem::path makeVolume(const std::filesystem::path& dir, int side, int onlyFormat)
{
    std::vector<std::vector<unsigned char>> textures;
    for (int f = 0; f < 5; ++f) {
        PixelBitmap picture;
        const bool alpha = f == 1 || f == 2 || f == 4;
        picture.create(side, side, 32, alpha);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                std::uint8_t* p = picture.row(y) + 4 * x;
                p[0] = static_cast<std::uint8_t>(x * 255 / side);
                p[1] = static_cast<std::uint8_t>(y * 255 / side);
                p[2] = static_cast<std::uint8_t>((x ^ y) * 7 + f * 40);
                p[3] = alpha ? static_cast<std::uint8_t>((x + y) * 255 / (2 * side)) : 255;
            }
        const auto path = dir / ("t" + std::to_string(f) + ".tex");
        int maps = 1;
        for (int s = side; s > 1; s /= 2)
            ++maps;
        writeTexture(path, MapOption::Generate, alpha, std::min(maps, 10), picture, f);
        textures.push_back(readFile(path));
    }
    VolumeSpec spec;
    spec.entries.push_back({"textures", 1, 0, DIR | LAST});
    std::uint32_t at = dataStart(FILES + 1);
    for (int i = 0; i < FILES; ++i) {
        const auto& t = textures[static_cast<std::size_t>(onlyFormat >= 0 ? onlyFormat : i % 5)];
        spec.entries.push_back({"wall" + std::to_string(i) + ".tex", at, static_cast<std::uint32_t>(t.size()),
                                i == FILES - 1 ? LAST : 0u});
        spec.data.insert(spec.data.end(), t.begin(), t.end());
        at += static_cast<std::uint32_t>(t.size());
    }
    const auto path = dir / "thousand.qrb";
    writeFile(path, volumeBytes(spec));
    return path;
}

// Rows of the thumbnail view that are on screen.
std::vector<int> visibleRows(CThumbnailView& view, const QAbstractItemModel& model)
{
    std::vector<int> rows;
    for (int r = 0; r < model.rowCount(); ++r)
        if (view.viewport()->rect().intersects(view.visualRect(model.index(r, 0))))
            rows.push_back(r);
    return rows;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
    const int side = argc > 2 ? std::atoi(argv[2]) : 256;
    const int onlyFormat = argc > 3 ? std::atoi(argv[3]) : -1;
    QTemporaryDir dir;
    const auto volume = makeVolume(dir.path().toStdString(), side, onlyFormat);
    std::printf("%d textures of %d x %d (%s), volume %.1f MB, %d threads\n", FILES, side, side,
                onlyFormat < 0 ? "the five formats by turns" : "one format", std::filesystem::file_size(volume) / 1e6,
                QThread::idealThreadCount());

    QSettings settings(dir.filePath("k.ini"), QSettings::IniFormat);
    CMainFrame frame(settings);
    DesktopPanes panes(frame);
    frame.resize(1200, 800);
    frame.show();
    QApplication::processEvents();
    if (!frame.document().openFile(volume.string(), false))
        return 1;
    QApplication::processEvents();
    CQORBView& browser = *panes.browser();
    CThumbnailLoader& loader = *browser.thumbnailLoader();

    for (const bool large : {false, true}) {
        std::vector<double> visibleWall, allWall, allCpu;
        std::size_t shown = 0;
        for (int run = 0; run < runs; ++run) {
            browser.setThumbnailsShown(false);
            browser.setLargeThumbnails(large);
            loader.setVolume(frame.document().volumePath());  // an empty cache
            QApplication::processEvents();
            QElapsedTimer clock;
            const double cpu0 = cpuSeconds();
            clock.start();
            browser.setThumbnailsShown(true);
            const auto rows = visibleRows(*browser.thumbnailView(), *browser.model());
            shown = rows.size();
            auto drawn = [&] {
                return std::all_of(rows.begin(), rows.end(), [&](int r) {
                    return !loader.thumbnail(browser.model()->entryAt(r)).isNull();
                });
            };
            while (!drawn())
                QApplication::processEvents(QEventLoop::WaitForMoreEvents);
            // The view has painted what it shows.
            browser.thumbnailView()->viewport()->repaint();
            visibleWall.push_back(clock.nsecsElapsed() / 1e6);
            while (!loader.idle())
                QApplication::processEvents(QEventLoop::WaitForMoreEvents);
            allWall.push_back(clock.nsecsElapsed() / 1e6);
            allCpu.push_back((cpuSeconds() - cpu0) * 1e3);
        }
        std::printf("%3d px: %zu visible in %.1f ms; all %d in %.0f ms wall, %.0f ms CPU (medians of %d)\n",
                    large ? 128 : 64, shown, median(visibleWall), FILES, median(allWall), median(allCpu), runs);
    }
    std::ifstream load("/proc/loadavg");
    std::string average;
    load >> average;
    std::printf("load average %s\n", average.c_str());
    return 0;
}
