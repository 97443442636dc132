// The browser panes inside the main frame: the document's browser calls reach
// them, and their reports reach the info pane and the status bar.
#include "TextureBuilder.h"
#include "VolumeBuilder.h"

#include "common/MessageTable.h"
#include "document/CKestrelDoc.h"
#include "document/CommandIds.h"
#include "filetree/CFileTreeView.h"
#include "shell/CMainFrame.h"
#include "shell/DesktopPanes.h"
#include "views/CShortInfoView.h"
#include "views/browser/CEntryListCtrl.h"
#include "views/browser/CHelperTree.h"
#include "views/browser/CQORBView.h"
#include "views/browser/EntryPageModel.h"

#include <QItemSelectionModel>
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

    void aChangeOnDiskOffersToOpenAgainAndOurOwnWritesDoNot()
    {
        QTemporaryDir home;
        QSettings settings(home.filePath("k.ini"), QSettings::IniFormat);
        CMainFrame frame(settings);
        DesktopPanes panes(frame);
        QStringList offers;
        MessageAnswer answer = MessageAnswer::Yes;
        frame.messageHook = [&](const std::string& text, const std::string&, MessageIcon, MessageButtons buttons) {
            if (buttons == MessageButtons::YesNo)
                offers << QString::fromStdString(text);
            return buttons == MessageButtons::YesNo ? answer : MessageAnswer::Ok;
        };
        frame.show();
        const auto dir = std::filesystem::path(home.path().toStdString());
        const auto path = dir / "v.qrb";
        // d/a.tex and d/b.wav; the second volume lists them the other way round.
        const auto sample = [](bool swapped) {
            const std::uint32_t at = dataStart(3);
            RawEntry a{"a.tex", at, 3, 0}, b{"b.wav", at + 3, 9, 0};
            (swapped ? a : b).flags = LAST;
            return volumeBytes({.entries = {{"d", 1, 0, DIR | LAST}, swapped ? b : a, swapped ? a : b},
                                .data = std::vector<unsigned char>(12, 'x')});
        };
        writeFile(path, sample(false));
        QVERIFY(frame.openStartupFile(QString::fromStdString(path.string())));
        QCOMPARE(frame.watchedFiles(), QStringList{QString::fromStdString(path.string())});
        CQORBView* browser = panes.browser();
        browser->list()->selectionModel()->setCurrentIndex(browser->model()->index(1),
                                                          QItemSelectionModel::ClearAndSelect);
        QCOMPARE(browser->selectedEntry(), std::optional<int>(2));

        // Our own write is no change.
        QVERIFY(frame.document().renameEntry(1, "c.tex", false));
        QTest::qWait(400);
        QVERIFY(offers.isEmpty());

        // Another program renames a new file over it: offered; declined, the
        // same state is not offered again.
        answer = MessageAnswer::No;
        writeFile(dir / "incoming.qrb", sample(true));
        std::filesystem::rename(dir / "incoming.qrb", path);
        QTRY_COMPARE(offers.size(), 1);
        QVERIFY(offers[0].contains(QString::fromStdString(path.string())));
        QVERIFY(offers[0].contains(QStringLiteral("wurde seit dem Öffnen auf der Platte geändert")));
        QTest::qWait(400);
        QCOMPARE(offers.size(), 1);
        QCOMPARE(browser->selectedEntry(), std::optional<int>(2));

        // The new file is watched: writing into it is offered too; opened
        // again, the entry is still selected under its new index.
        answer = MessageAnswer::Yes;
        auto bytes = readFile(path);
        bytes.push_back('!');
        writeFile(path, bytes);
        QTRY_COMPARE(offers.size(), 2);
        QCOMPARE(browser->selectedEntry(), std::optional<int>(1));
        QCOMPARE(panes.helperTree()->selectedItemData(), std::optional<int>(0));
        QCOMPARE(frame.watchedFiles(), QStringList{QString::fromStdString(path.string())});
    }

    // A changed picture kept at the question ("Nein") keeps the list's
    // selection too, whether the click or an arrow key moved it; "Ja" loads.
    void declinedLoadKeepsTheSelection()
    {
        QTemporaryDir home;
        QSettings settings(home.filePath("k.ini"), QSettings::IniFormat);
        CMainFrame frame(settings);
        DesktopPanes panes(frame);
        QStringList questions;
        MessageAnswer answer = MessageAnswer::No;
        frame.messageHook = [&](const std::string& text, const std::string&, MessageIcon, MessageButtons buttons) {
            if (buttons != MessageButtons::YesNo)
                return MessageAnswer::Ok;
            questions << QString::fromStdString(text);
            return answer;
        };
        frame.resize(1000, 700);
        frame.show();
        VolumeSpec spec;
        std::uint32_t at = dataStart(3);
        for (const char* name : {"a.tex", "b.tex", "c.tex"}) {
            const auto bytes = textureBytes(8, 8, 1, 2, [&](int, int x, int) { return 0xFF000000u | name[0] << 8 | x; });
            spec.entries.push_back({name, at, static_cast<std::uint32_t>(bytes.size())});
            spec.data.insert(spec.data.end(), bytes.begin(), bytes.end());
            at += static_cast<std::uint32_t>(bytes.size());
        }
        spec.entries.back().flags = LAST;
        const auto path = std::filesystem::path(home.path().toStdString()) / "v.qrb";
        writeFile(path, volumeBytes(spec));
        QVERIFY(frame.openStartupFile(QString::fromStdString(path.string())));
        CQORBView* browser = panes.browser();
        CEntryListCtrl* list = browser->list();
        const auto click = [&](int row) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(browser->model()->index(row)).center());
        };
        click(0);
        QCOMPARE(frame.document().name(), std::string("a.tex"));
        frame.runCommand(ID_INVERT_COLOUR);
        QVERIFY(frame.document().isModified());
        const PixelBitmap changed = (*frame.document().maps())[0];

        click(2);
        QTRY_COMPARE(browser->selectedEntry(), std::optional<int>(0));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(questions.size(), 2);
        QCOMPARE(questions.front(), QString::fromUtf8(korvix::msg(korvix::MessageId::DiscardQuestion)));
        QTRY_COMPARE(browser->selectedEntry(), std::optional<int>(0));
        QCOMPARE(list->currentIndex().row(), 0);
        QCOMPARE(list->selectionModel()->selectedRows().size(), 1);
        QCOMPARE(frame.document().name(), std::string("a.tex"));
        QCOMPARE((*frame.document().maps())[0].pixelAt(3, 3), changed.pixelAt(3, 3));
        QVERIFY(frame.windowTitle().startsWith(QLatin1Char('*')));

        answer = MessageAnswer::Yes;
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(questions.size(), 3);
        QCOMPARE(browser->selectedEntry(), std::optional<int>(1));
        QCOMPARE(frame.document().name(), std::string("b.tex"));
        QVERIFY(!frame.document().isModified());
        QVERIFY(!frame.windowTitle().startsWith(QLatin1Char('*')));
    }
};

QTEST_MAIN(DesktopPanesTest)
#include "DesktopPanesTest.moc"
