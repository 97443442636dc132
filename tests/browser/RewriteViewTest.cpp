// The volume browser's rewrites: files dropped from a file manager onto a page
// or a tree item, and "Löschen" with the Delete key, over a real document and
// volume (the document's questions answered by the recording host).
#include "FakeHost.h"
#include "VolumeBuilder.h"

#include "document/CKestrelDoc.h"
#include "views/browser/CEntryListCtrl.h"
#include "views/browser/CHelperTree.h"
#include "views/browser/CQORBView.h"
#include "views/browser/EntryPageModel.h"

#include <QLabel>
#include <QMimeData>
#include <QTest>
#include <QUrl>

using namespace testsupport;

class RewriteViewTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempDir> dir;
    std::unique_ptr<FakeHost> host;
    std::unique_ptr<CKestrelDoc> doc;
    std::unique_ptr<CQORBView> view;
    std::unique_ptr<CHelperTree> tree;
    std::filesystem::path volumePath;

    // textures/ (a.tex, c.tex), readme.txt; the browser shown as the document built it.
    void openSample()
    {
        const std::uint32_t d = dataStart(4);
        const std::string data = "read me!AAAACCCCCC";
        writeFile(volumePath, volumeBytes({.entries = {{"textures", 2, 0, DIR},
                                                       {"readme.txt", d, 8, LAST},
                                                       {"a.tex", d + 8, 4, 0},
                                                       {"c.tex", d + 12, 6, LAST}},
                                           .data = {data.begin(), data.end()}}));
        QVERIFY(doc->openFile(volumePath.string(), false));
        showBrowser();
    }
    // What the frame does when the document opens a volume (again).
    void showBrowser()
    {
        view->showVolume(host->browser);
        tree->build(host->browser);
    }
    QStringList pageTexts() const
    {
        QStringList out;
        for (int r = 0; r < view->model()->rowCount(); ++r)
            out << view->model()->data(view->model()->index(r), Qt::DisplayRole).toString();
        return out;
    }
    int entry(const char* path) const { return *doc->catalogue().find(path); }
    // A file manager's drag of `files` let go at `at` on `target`; whether it was taken.
    static bool drop(QWidget* target, const QPoint& at, const QStringList& files)
    {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& f : files)
            urls << QUrl::fromLocalFile(f);
        mime.setUrls(urls);
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(QPointF(at), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
        return dropped.isAccepted() && dropped.dropAction() == Qt::CopyAction;
    }

private slots:
    void init()
    {
        dir = std::make_unique<TempDir>();
        host = std::make_unique<FakeHost>();
        doc = std::make_unique<CKestrelDoc>(*host);
        view = std::make_unique<CQORBView>();
        tree = std::make_unique<CHelperTree>();
        view->setDocument(doc.get());
        volumePath = dir->path() / "v.qrb";
        QObject::connect(tree.get(), &CHelperTree::directoryPageRequested, view.get(), &CQORBView::showDirectory);
        QObject::connect(tree.get(), &CHelperTree::filesDropped, view.get(), &CQORBView::dropFilesOn);
        view->resize(300, 400);
        view->show();
        tree->show();
        writeFile(dir->path() / "new.tex", {'n', 'e', 'w'});
        writeFile(dir->path() / "a.tex", std::vector<unsigned char>(10, 'a'));
    }
    void cleanup()
    {
        tree.reset();
        view.reset();
        doc.reset();
        host.reset();
        dir.reset();
    }

    void filesDroppedOnAPageGoIntoItsDirectory()
    {
        openSample();
        tree->setCurrentItem(tree->itemFor(entry("textures")));
        QCOMPARE(pageTexts(), (QStringList{"a.tex", "c.tex"}));
        QWidget* page = view->list()->viewport();
        const QString newFile = QString::fromStdString((dir->path() / "new.tex").string());
        const QString replacing = QString::fromStdString((dir->path() / "a.tex").string());

        // Anything but local files is not taken.
        QMimeData text;
        text.setText(QStringLiteral("a.tex"));
        QDragEnterEvent enter(page->rect().center(), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(page, &enter);
        QVERIFY(!enter.isAccepted());

        // The question lists each file; "Abbrechen" changes nothing.
        const auto before = readFile(volumePath);
        host->answers = {MessageAnswer::Cancel};
        QVERIFY(drop(page, page->rect().center(), {newFile, replacing}));
        QCOMPARE(host->messageTexts().back(),
                 std::string("Diese Dateien in das Volume übernehmen? Es wird dafür neu geschrieben.\n\n"
                             "textures/new.tex: neu, 3 Bytes\ntextures/a.tex: ersetzt, 4 → 10 Bytes\n"));
        QCOMPARE(readFile(volumePath), before);

        host->selectedDir = entry("textures");
        host->answers = {MessageAnswer::Ok};
        QVERIFY(drop(page, page->rect().center(), {newFile, replacing}));
        QCOMPARE(host->works, std::vector<std::string>{"Volume neu schreiben"});
        showBrowser();
        QCOMPARE(view->caption()->text(), QStringLiteral(" textures"));
        QCOMPARE(pageTexts(), (QStringList{"a.tex", "c.tex", "new.tex"}));
        QCOMPARE(doc->entryRecords()[static_cast<std::size_t>(entry("textures/a.tex"))].size, 10u);

        // On the tree's root item: into the volume's root.
        host->answers = {MessageAnswer::Ok};
        QWidget* treeView = tree->viewport();
        QVERIFY(drop(treeView, tree->visualItemRect(tree->itemFor(ITEM_VOLUME_ROOT)).center(), {newFile}));
        QVERIFY(doc->catalogue().find("new.tex").has_value());
        // Below the last item there is nothing to drop on.
        QVERIFY(!drop(treeView, QPoint(5, treeView->height() - 3), {newFile}));
    }

    void deleteFromTheMenuAndWithTheKey()
    {
        openSample();
        tree->setCurrentItem(tree->itemFor(entry("textures")));
        const auto before = readFile(volumePath);
        host->answers = {MessageAnswer::No};
        view->entryCommand(CEntryListCtrl::CMD_DELETE, pageTexts().indexOf("c.tex"));
        QCOMPARE(host->messageTexts().back(),
                 std::string("Diese Einträge löschen? Das Volume wird dafür neu geschrieben.\n\ntextures/c.tex (6 Bytes)\n"));
        QCOMPARE(readFile(volumePath), before);

        // The Delete key acts on every selected entry.
        view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(view.get()));
        view->list()->setFocus();
        view->list()->setCurrentIndex(view->model()->index(pageTexts().indexOf("a.tex")));
        view->list()->selectionModel()->select(view->model()->index(pageTexts().indexOf("c.tex")),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(view->selectedEntries().size(), 2u);
        host->selectedDir = entry("textures");
        host->answers = {MessageAnswer::Yes};
        QTest::keyClick(view->list(), Qt::Key_Delete);
        QCOMPARE(host->messageTexts().back(), std::string("Diese Einträge löschen? Das Volume wird dafür neu geschrieben.\n\n"
                                                          "textures/a.tex (4 Bytes)\ntextures/c.tex (6 Bytes)\ntextures/ (danach leer)\n"));
        // The emptied directory is left out, as pack leaves out empty ones: the root is shown.
        showBrowser();
        QCOMPARE(pageTexts(), QStringList{"readme.txt"});
        QVERIFY(!doc->catalogue().find("textures"));
    }
};

QTEST_MAIN(RewriteViewTest)
#include "RewriteViewTest.moc"
