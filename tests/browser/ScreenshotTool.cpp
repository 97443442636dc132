// Renders the volume browser with the sample volume open, the export dialog
// and the brightness dialog to PNG files (offscreen in scripts/screenshots.sh):
//   korvix-browser-screenshots OUTDIR VOLUME
#include "dialogs/CAdjustmentDialog.h"
#include "dialogs/CExportDialog.h"
#include "document/CKestrelDoc.h"
#include "document/PixelReadout.h"
#include "shell/CMainFrame.h"
#include "shell/KorvixApplication.h"
#include "shell/DesktopPanes.h"
#include "views/browser/CEntryListCtrl.h"
#include "views/browser/CHelperTree.h"
#include "views/browser/CQORBView.h"
#include "views/browser/EntryPageModel.h"

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QFileDialog>
#include <QSlider>
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
        std::fprintf(stderr, "korvix-browser-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    installQtTranslations(app);
    qRegisterMetaType<PixelReadout>();
    qRegisterMetaType<EntryReadout>();
    if (argc != 3) {
        std::fprintf(stderr, "usage: korvix-browser-screenshots OUTDIR VOLUME\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    QTemporaryDir home;
    QSettings settings(home.filePath(QStringLiteral("korvix.ini")), QSettings::IniFormat);
    CMainFrame frame(settings);
    DesktopPanes panes(frame);
    frame.messageHook = [](const std::string& text, const std::string&, MessageIcon, MessageButtons) {
        std::fprintf(stderr, "korvix-browser-screenshots: message: %s\n", text.c_str());
        return MessageAnswer::Ok;
    };
    frame.resize(1200, 800);
    frame.show();
    if (!frame.openStartupFile(QString::fromLocal8Bit(argv[2])))
        return 1;
    frame.setWindowTitle(QFileInfo(QString::fromLocal8Bit(argv[2])).fileName().toStdString() + CKestrelDoc::TITLE_SUFFIX);

    // Select the textures directory as a click in the tree would, then pick
    // its first texture and hover it.
    for (QTreeWidgetItemIterator it(panes.helperTree()); *it; ++it)
        if ((*it)->text(0) == QStringLiteral("textures"))
            panes.helperTree()->setCurrentItem(*it);
    CQORBView* browser = panes.browser();
    CEntryListCtrl* list = browser->list();
    int row = 0;
    for (int r = 0; r < browser->model()->rowCount(); ++r)
        if (browser->model()->data(browser->model()->index(r), Qt::DisplayRole).toString().endsWith(".tex")) {
            row = r;
            break;
        }
    settle();
    const QPoint at = list->visualRect(browser->model()->index(row)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseMove(list->viewport(), at);
    bool ok = shoot(frame, out, "volume-browser");

    CKestrelDoc& doc = frame.document();
    ExportDialogModel model(doc.mipLevelsPossible(), doc.mapCount(), doc.hasAlpha(), doc.name());
    CExportDialog exportDialog(model, &frame);
    exportDialog.fileDialog()->setDirectory(home.path());
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
    return ok ? 0 : 1;
}
