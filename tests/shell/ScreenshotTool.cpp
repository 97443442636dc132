// Renders the desktop program for the README, through whatever Qt platform is
// active (offscreen in scripts/screenshots.sh):
//   korvix-screenshots OUTDIR VOLUME
// The window at start-up; the volume open in the browser with an entry picked
// and hovered, as a list and as thumbnails; the browser widened to show its
// columns, narrowed by the filter with three entries selected; the export and brightness dialogs; the volume's RGBA 8888
// texture in RGB, RGBA and alpha, and at zoom 4 on a darker background; a
// 2048 x 2048 DXT3 texture with all its maps, fitted to the window (1:4). The
// textures are loaded from the volume or named by their file name alone, so
// no path of the machine the pictures were made on shows.
#include "codecs/TextureWriter.h"
#include "dialogs/CAdjustmentDialog.h"
#include "dialogs/CExportDialog.h"
#include "document/CKestrelDoc.h"
#include "document/CommandIds.h"
#include "document/PixelReadout.h"
#include "shell/CMainFrame.h"
#include "shell/DesktopPanes.h"
#include "shell/KorvixApplication.h"
#include "views/CPictureView.h"
#include "views/browser/CEntryFactsLoader.h"
#include "views/browser/CEntryListCtrl.h"
#include "views/browser/CHelperTree.h"
#include "views/browser/CQORBView.h"
#include "views/browser/CThumbnailLoader.h"
#include "views/browser/EntryPageModel.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QRadialGradient>
#include <QSettings>
#include <QSlider>
#include <QSplitter>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidgetItemIterator>

#include <cstdio>
#include <cstring>

namespace {

void settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

bool shoot(QWidget& w, const QString& dir, const char* name)
{
    settle();
    const QString path = QDir(dir).filePath(QString::fromLatin1(name) + ".png");
    if (!w.grab().save(path)) {
        std::fprintf(stderr, "korvix-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// The mouse over map pixel (px, py) of the shown picture.
void hoverPixel(CMainFrame& frame, int px, int py)
{
    CPictureView* view = frame.pictureView();
    const QRect r = view->imageRectOnScreen();
    // At a reduction (a factor below 1) the view pixel that shows the map pixel.
    const double f = view->zoom();
    const int half = f >= 1 ? static_cast<int>(f) / 2 : 0;
    const QPointF at(r.left() + static_cast<int>(px * f) + half, r.top() + static_cast<int>(py * f) + half);
    QMouseEvent move(QEvent::MouseMove, at, view->viewport()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    settle();
}

// Selects a directory of the volume as a click in the tree would.
void showDirectory(DesktopPanes& panes, const QString& name)
{
    for (QTreeWidgetItemIterator it(panes.helperTree()); *it; ++it)
        if ((*it)->text(0) == name)
            panes.helperTree()->setCurrentItem(*it);
    settle();
}

// Clicks the entry of the shown page, which loads it; false when it is not there.
bool clickEntry(DesktopPanes& panes, const QString& name, bool hover)
{
    CQORBView* browser = panes.browser();
    CEntryListCtrl* list = browser->list();
    for (int r = 0; r < browser->model()->rowCount(); ++r) {
        const QModelIndex i = browser->model()->index(r);
        if (browser->model()->data(i, Qt::DisplayRole).toString() != name)
            continue;
        const QPoint at = list->visualRect(i).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        if (hover)
            QTest::mouseMove(list->viewport(), at);
        settle();
        return true;
    }
    std::fprintf(stderr, "korvix-screenshots: no entry %s\n", qPrintable(name));
    return false;
}

// A 2048 x 2048 picture with detail at every scale: a colour field, a grid of
// 128-pixel tiles with fine lines, rings, and a round window of falling alpha.
PixelBitmap largePicture()
{
    constexpr int side = 2048;
    QImage image(side, side, QImage::Format_ARGB32);
    QPainter p(&image);
    QLinearGradient field(0, 0, side, side);
    field.setColorAt(0, QColor(40, 70, 140));
    field.setColorAt(0.5, QColor(210, 120, 60));
    field.setColorAt(1, QColor(60, 150, 90));
    p.fillRect(image.rect(), field);
    p.setRenderHint(QPainter::Antialiasing);
    for (int t = 0; t < side; t += 128) {
        p.setPen(QPen(QColor(255, 255, 255, 150), 3));
        p.drawLine(t, 0, t, side);
        p.drawLine(0, t, side, t);
        p.setPen(QPen(QColor(0, 0, 0, 90), 1));
        for (int f = 16; f < 128; f += 16) {
            p.drawLine(t + f, 0, t + f, side);
            p.drawLine(0, t + f, side, t + f);
        }
    }
    for (int r = 80; r < 1000; r += 60) {
        p.setPen(QPen(QColor::fromHsv((r * 7) % 360, 200, 250), 12));
        p.drawEllipse(QPoint(side / 2, side / 2), r, r);
    }
    p.setFont(QFont(QStringLiteral("DejaVu Sans"), 120, QFont::Bold));
    p.setPen(Qt::white);
    p.drawText(QRect(0, 120, side, 300), Qt::AlignCenter, QStringLiteral("2048 × 2048"));
    // Alpha falls towards the middle: the RGBA view shows the checkerboard there.
    p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    QRadialGradient hole(side / 2, side / 2, 420);
    hole.setColorAt(0, QColor(0, 0, 0, 0));
    hole.setColorAt(1, QColor(0, 0, 0, 255));
    p.fillRect(image.rect(), hole);
    p.end();
    PixelBitmap bitmap;
    bitmap.create(side, side, 32, true);
    for (int y = 0; y < side; ++y)
        std::memcpy(bitmap.row(y), image.constScanLine(y), static_cast<std::size_t>(side) * 4);
    return bitmap;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    installQtTranslations(app);
    qRegisterMetaType<PixelReadout>();
    qRegisterMetaType<EntryReadout>();
    if (argc != 3) {
        std::fprintf(stderr, "usage: korvix-screenshots OUTDIR VOLUME\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString volume = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(out);
    QTemporaryDir home;
    QSettings settings(home.filePath(QStringLiteral("korvix.ini")), QSettings::IniFormat);
    CMainFrame frame(settings);
    DesktopPanes panes(frame);
    frame.messageHook = [](const std::string& text, const std::string&, MessageIcon, MessageButtons) {
        std::fprintf(stderr, "korvix-screenshots: message: %s\n", text.c_str());
        return MessageAnswer::Ok;
    };
    frame.resize(1200, 800);
    frame.show();
    // The disk file tree lists this machine's mounts: the pictures show the
    // volume's directory tree in its place.
    frame.lowerLeftTabs()->setCurrentWidget(panes.helperTree());
    bool ok = shoot(frame, out, "empty");

    if (!frame.openStartupFile(volume))
        return 1;
    frame.setWindowTitle(QFileInfo(volume).fileName().toStdString() + CKestrelDoc::TITLE_SUFFIX);
    showDirectory(panes, QStringLiteral("textures"));
    if (!clickEntry(panes, QStringLiteral("plasma_4444.tex"), true))
        return 1;
    ok = shoot(frame, out, "volume-browser") && ok;

    // The list's columns with the browser widened; the filter keeps the
    // textures, three of which are selected (the count line sums them).
    {
        const QList<int> sizes = frame.mainSplitter()->sizes();
        frame.mainSplitter()->setSizes({640, 560});
        CQORBView* browser = panes.browser();
        browser->filterField()->setText(QStringLiteral("*.tex"));
        CEntryListCtrl* list = browser->list();
        for (int r = 1; r < 4 && r < browser->model()->rowCount(); ++r)
            QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                              list->visualRect(browser->model()->index(r)).center());
        for (int i = 0; i < 500 && !browser->factsLoader()->idle(); ++i)
            QTest::qWait(10);
        ok = shoot(frame, out, "browser-columns") && ok;
        browser->filterField()->clear();
        frame.mainSplitter()->setSizes(sizes);
        if (!clickEntry(panes, QStringLiteral("plasma_4444.tex"), false))
            return 1;
    }

    // The same page as thumbnails, made on worker threads.
    panes.browser()->setThumbnailsShown(true);
    for (int i = 0; i < 500 && !panes.browser()->thumbnailLoader()->idle(); ++i)
        QTest::qWait(10);
    ok = shoot(frame, out, "thumbnails") && ok;
    panes.browser()->setThumbnailsShown(false);

    CKestrelDoc& doc = frame.document();
    // A folder of a fixed name, so the dialog shows the same path on every run.
    const QString exportFolder = QDir(QDir::tempPath()).filePath(QStringLiteral("Korvix-Export"));
    QDir().mkpath(exportFolder);
    ExportDialogModel model(doc.mipLevelsPossible(), doc.mapCount(), doc.hasAlpha(), doc.name());
    CExportDialog exportDialog(model, &frame);
    exportDialog.fileDialog()->setDirectory(exportFolder);
    exportDialog.fileDialog()->setSidebarUrls({QUrl(QStringLiteral("file:")), QUrl::fromLocalFile(exportFolder)});
    exportDialog.resize(900, 480);
    exportDialog.show();
    ok = shoot(exportDialog, out, "export-dialog") && ok;
    exportDialog.hide();

    AdjustmentDialogModel brightness(AdjustmentDialogModel::Kind::Brightness,
                                     [](const AdjustmentDialogModel::Values&) {}, {}, doc.hasAlpha());
    CAdjustmentDialog adjust(brightness, &frame);
    adjust.slider()->setValue(40);
    adjust.show();
    ok = shoot(adjust, out, "brightness-dialog") && ok;
    adjust.hide();

    // The 64 x 64 RGBA 8888 texture, picked from the same page.
    if (!clickEntry(panes, QStringLiteral("plasma_8888.tex"), false))
        return 1;
    frame.action(ID_ZOOM_IN)->trigger();  // 2
    frame.action(ID_VIEW_RGB)->trigger();
    hoverPixel(frame, 20, 30);
    ok = shoot(frame, out, "texture-rgb") && ok;
    frame.action(ID_VIEW_RGBA)->trigger();
    hoverPixel(frame, 21, 30);
    ok = shoot(frame, out, "texture-rgba") && ok;
    frame.action(ID_VIEW_ALPHA)->trigger();
    hoverPixel(frame, 22, 30);
    ok = shoot(frame, out, "texture-alpha") && ok;
    frame.action(ID_VIEW_RGBA)->trigger();
    frame.action(ID_ZOOM_IN)->trigger();  // 4
    frame.setBackgroundLevel(90);
    hoverPixel(frame, 40, 12);
    ok = shoot(frame, out, "zoom4") && ok;

    // The large texture, fitted: written with every map it can have, opened
    // as a file, named by its file name alone.
    const QString large = home.filePath(QStringLiteral("rings_2048.tex"));
    if (writeTexture(large.toStdString(), MapOption::Generate, true, 10, largePicture(), 1) != TextureWriteStatus::Ok)
        return 1;
    if (!frame.openStartupFile(large))
        return 1;
    frame.setStatusText(2, " rings_2048.tex");
    frame.setWindowTitle(std::string("rings_2048.tex") + CKestrelDoc::TITLE_SUFFIX);
    frame.setBackgroundLevel(192);
    frame.action(ID_VIEW_RGBA)->trigger();
    frame.action(ID_ZOOM_FIT)->trigger();
    hoverPixel(frame, 300, 700);
    ok = shoot(frame, out, "fit-2048") && ok;
    return ok ? 0 : 1;
}
