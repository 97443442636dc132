// Renders the desktop program for the README, through whatever Qt platform is
// active (offscreen in scripts/screenshots.sh):
//   korvix-screenshots OUTDIR VOLUME
// The window at start-up; the volume open in the browser with an entry picked
// and hovered, as a list and as thumbnails; the export and brightness dialogs; the volume's RGBA 8888
// texture in RGB, RGBA and alpha, and at zoom 4 on a darker background. The
// texture is loaded from the volume, so only entry names show, no path of the
// machine the pictures were made on.
#include "dialogs/CAdjustmentDialog.h"
#include "dialogs/CExportDialog.h"
#include "document/CKestrelDoc.h"
#include "document/CommandIds.h"
#include "document/PixelReadout.h"
#include "shell/CMainFrame.h"
#include "shell/DesktopPanes.h"
#include "shell/KorvixApplication.h"
#include "views/CPictureView.h"
#include "views/browser/CEntryListCtrl.h"
#include "views/browser/CHelperTree.h"
#include "views/browser/CQORBView.h"
#include "views/browser/CThumbnailLoader.h"
#include "views/browser/EntryPageModel.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMouseEvent>
#include <QSettings>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidgetItemIterator>

#include <cstdio>

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
    const int z = static_cast<int>(view->zoom());
    const QPointF at(r.left() + px * z + z / 2, r.top() + py * z + z / 2);
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
    return ok ? 0 : 1;
}
