// The browser panes inside the main frame: the document's browser calls reach
// them, and their reports reach the info pane and the status bar.
#include "VolumeBuilder.h"

#include "document/CKestrelDoc.h"
#include "filetree/CFileTreeView.h"
#include "shell/CMainFrame.h"
#include "shell/DesktopPanes.h"
#include "views/CShortInfoView.h"
#include "views/browser/CEntryListCtrl.h"
#include "views/browser/CHelperTree.h"
#include "views/browser/CQORBView.h"
#include "views/browser/EntryPageModel.h"

#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace testsupport;

class DesktopPanesTest : public QObject {
    Q_OBJECT

private slots:
    void volumeOpensIntoThePanes()
    {
        QTemporaryDir home;
        QSettings settings(home.filePath("k.ini"), QSettings::IniFormat);
        CMainFrame frame(settings);
        DesktopPanes panes(frame);
        frame.resize(1000, 700);
        frame.show();
        const auto path = std::filesystem::path(home.path().toStdString()) / "v.qrb";
        writeFile(path, volumeBytes({.entries = {{"D", 1, 0, DIR | LAST}, {"a.tex", 0, 3, 0}, {"b.wav", 0, 9, LAST}}}));
        QVERIFY(frame.openStartupFile(QString::fromStdString(path.string())));

        CQORBView* browser = panes.browser();
        QCOMPARE(browser->model()->rowCount(), 2);
        QVERIFY(panes.helperTree()->itemFor(0));
        QCOMPARE(frame.lowerLeftTabs()->currentWidget(), panes.helperTree());

        // Hovering reports the entry to the info pane (posted).
        const QRect r = browser->list()->visualRect(browser->model()->index(1));
        QTest::mouseMove(browser->list()->viewport(), r.center());
        QTRY_COMPARE(frame.infoView()->mode(), static_cast<int>(CShortInfoView::MODE_ENTRY));
        QCOMPARE(frame.infoView()->entry().size, 9u);

        // The menu's hint goes to pane 2 and comes back.
        frame.setStatusText(2, " vorher");
        emit browser->statusHintShown(QStringLiteral("b.wav"));
        QCOMPARE(frame.statusText(2), QStringLiteral(" (b.wav)"));
        emit browser->statusHintRestored();
        QCOMPARE(frame.statusText(2), QStringLiteral(" vorher"));

        // A second volume replaces the pages.
        writeFile(path, volumeBytes({.entries = {{"x.tga", 0, 1, LAST}}}));
        QVERIFY(frame.openStartupFile(QString::fromStdString(path.string())));
        QCOMPARE(browser->model()->rowCount(), 1);
        QCOMPARE(frame.document().entryRecords().size(), std::size_t{1});
        QCOMPARE(browser->selectedEntry(), std::nullopt);
    }
};

QTEST_MAIN(DesktopPanesTest)
#include "DesktopPanesTest.moc"
