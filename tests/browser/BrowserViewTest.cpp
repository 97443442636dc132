// The volume browser's widgets over a real document and volume: pages, tree,
// buttons, search, previous/next, hover readouts and the entry context menu.
#include "FakeHost.h"
#include "TextureBuilder.h"

#include "document/CKestrelDoc.h"
#include "views/browser/CEntryListCtrl.h"
#include "views/browser/CHelperTree.h"
#include "views/browser/CQORBView.h"
#include "views/browser/EntryPageModel.h"
#include "views/browser/EntryStateIcons.h"

#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace testsupport;

Q_DECLARE_METATYPE(EntryReadout)

namespace {

QStringList texts(const EntryPageModel& m)
{
    QStringList out;
    for (int r = 0; r < m.rowCount(); ++r)
        out << m.data(m.index(r), Qt::DisplayRole).toString();
    return out;
}

}  // namespace

class BrowserViewTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempDir> dir;
    std::unique_ptr<FakeHost> host;
    std::unique_ptr<CKestrelDoc> doc;
    std::unique_ptr<CQORBView> view;
    std::unique_ptr<CHelperTree> tree;
    std::filesystem::path volumePath;

    // Top level: dir A (stone.tex: an 8x8 texture, a.wav, C.tga), dir E (none
    // of its own; B below it holds z.fnt), then the top-level file Zeta.tex.
    void openSample()
    {
        const auto texture = textureBytes(8, 8, 1, 2, [](int, int, int) { return 0xFF336699u; });
        std::vector<RawEntry> entries = {{"A", 3, 0, DIR},
                                         {"E", 6, 0, DIR},
                                         {"Zeta.tex", 0, 7, LAST},
                                         {"stone.tex", 0, static_cast<std::uint32_t>(texture.size()), 0},
                                         {"a.wav", 0, 10, 0},
                                         {"C.tga", 0, 20, LAST},
                                         {"B", 7, 0, DIR | LAST},
                                         {"z.fnt", 0, 1, LAST}};
        std::vector<unsigned char> data(texture.begin(), texture.end());
        entries[3].offset = dataStart(entries.size());
        data.resize(data.size() + 64, 0);
        for (RawEntry& e : entries)
            if (!(e.flags & DIR) && e.offset == 0)
                e.offset = dataStart(entries.size()) + static_cast<std::uint32_t>(texture.size());
        volumePath = dir->path() / "sample.qrb";
        writeFile(volumePath, volumeBytes({.entries = entries, .data = data}));
        QVERIFY(doc->openFile(volumePath.string(), false));
        view->showVolume(host->browser);
        tree->build(host->browser);
    }
    int rowOf(const QString& text) const { return texts(*view->model()).indexOf(text); }

private slots:
    void init()
    {
        qRegisterMetaType<EntryReadout>();
        dir = std::make_unique<TempDir>();
        host = std::make_unique<FakeHost>();
        doc = std::make_unique<CKestrelDoc>(*host);
        view = std::make_unique<CQORBView>();
        tree = std::make_unique<CHelperTree>();
        view->setDocument(doc.get());
        QObject::connect(tree.get(), &CHelperTree::directoryPageRequested, view.get(), &CQORBView::showDirectory);
        QObject::connect(view.get(), &CQORBView::directorySelected, tree.get(), &CHelperTree::selectDirectory);
        view->resize(300, 400);
        view->show();
    }
    void cleanup()
    {
        tree.reset();
        view.reset();
        doc.reset();
        host.reset();
        dir.reset();
    }

    void startsWithEverythingInactive()
    {
        for (const char* name : {"scrollIntoView", "search", "sortByName", "sortBySize", "previous", "next"})
            QVERIFY2(!view->button(name)->isEnabled(), name);
        QVERIFY(!view->notice()->isVisible());
    }

    void openingShowsTheRootPageAndTheTree()
    {
        openSample();
        QCOMPARE(view->caption()->text(), QStringLiteral(" (Root)"));
        QCOMPARE(texts(*view->model()), QStringList{"Zeta.tex"});
        QVERIFY(view->button("search")->isEnabled());
        QVERIFY(view->button("next")->isEnabled());
        QVERIFY2(!view->button("sortByName")->isEnabled(), "one item");
        QVERIFY(tree->currentItem() == tree->itemFor(ITEM_VOLUME_ROOT));
        QVERIFY(tree->itemFor(ITEM_VOLUME_ROOT)->font(0).bold());
        QVERIFY2(tree->itemFor(0)->font(0).bold(), "A holds files");
        QVERIFY2(!tree->itemFor(1)->font(0).bold(), "E does not");
    }

    void treeSelectionShowsPagesAndTheNotice()
    {
        openSample();
        tree->setCurrentItem(tree->itemFor(1));  // E: no files
        QVERIFY(view->notice()->isVisible());
        QVERIFY(!view->list()->isVisible());
        QCOMPARE(view->notice()->text(), QStringLiteral(" Keine Dateien im selektierten QORB-Verzeichnis."));
        tree->setCurrentItem(tree->itemFor(0));
        QVERIFY(!view->notice()->isVisible());
        QCOMPARE(view->caption()->text(), QStringLiteral(" A"));
        QCOMPARE(texts(*view->model()), (QStringList{"stone.tex", "a.wav", "C.tga"}));
    }

    void sortButtonsAndDirection()
    {
        openSample();
        tree->setCurrentItem(tree->itemFor(0));
        QTest::mouseClick(view->button("direction"), Qt::LeftButton);
        QCOMPARE(texts(*view->model()), (QStringList{"stone.tex", "a.wav", "C.tga"}));  // direction alone
        QTest::mouseClick(view->button("sortByName"), Qt::LeftButton);
        QCOMPARE(texts(*view->model()), (QStringList{"stone.tex", "a.wav", "C.tga"}));  // s > a > C as bytes
        QTest::mouseClick(view->button("direction"), Qt::LeftButton);
        QTest::mouseClick(view->button("sortByName"), Qt::LeftButton);
        QCOMPARE(texts(*view->model()), (QStringList{"a.wav", "C.tga", "stone.tex"}));
        QTest::mouseClick(view->button("sortBySize"), Qt::LeftButton);
        QCOMPARE(texts(*view->model()), (QStringList{"a.wav", "C.tga", "stone.tex"}));  // 10 = 10 keep order, then larger
    }

    void previousAndNextFollowTheTree()
    {
        openSample();  // pages A(0), B(1), (Root)(2); the root page shows
        QTest::mouseClick(view->button("next"), Qt::LeftButton);
        QCOMPARE(view->caption()->text(), QStringLiteral(" A"));
        QVERIFY(tree->currentItem() == tree->itemFor(0));
        QTest::mouseClick(view->button("previous"), Qt::LeftButton);
        QCOMPARE(view->caption()->text(), QStringLiteral(" (Root)"));
        QVERIFY(tree->currentItem() == tree->itemFor(ITEM_VOLUME_ROOT));
        QTest::mouseClick(view->button("previous"), Qt::LeftButton);
        QCOMPARE(view->caption()->text(), QStringLiteral(" B"));
        QVERIFY(tree->currentItem() == tree->itemFor(6));
    }

    void searchAcrossDirectoriesLoadsTheEntry()
    {
        openSample();
        view->search(QStringLiteral("STONE.TEX"), false);
        QVERIFY2(doc->maps() == nullptr, "only the root page was searched");
        view->search(QStringLiteral("STONE.TEX"), true);
        QCOMPARE(view->caption()->text(), QStringLiteral(" A"));
        QVERIFY2(doc->ready(), "the hit is loaded");
        QCOMPARE(view->selectedEntry(), std::optional<int>(3));
        QVERIFY(tree->currentItem() == tree->itemFor(0));
        QVERIFY(view->button("scrollIntoView")->isEnabled());
        // In the shown page a hit is selected only.
        view->search(QStringLiteral("c.tga"), false);
        QCOMPARE(view->selectedEntry(), std::optional<int>(5));
        QCOMPARE(doc->name(), std::string("stone.tex"));
    }

    void clickingAnItemLoadsIt()
    {
        openSample();
        tree->setCurrentItem(tree->itemFor(0));
        const QRect r = view->list()->visualRect(view->model()->index(rowOf("stone.tex")));
        QTest::mouseClick(view->list()->viewport(), Qt::LeftButton, {}, r.center());
        QVERIFY(doc->ready());
        QCOMPARE(host->status[2], std::string(" stone.tex"));
        QCOMPARE(view->selectedEntry(), std::optional<int>(3));
    }

    void hoverReportsTheEntry()
    {
        openSample();
        tree->setCurrentItem(tree->itemFor(0));
        QSignalSpy readouts(view.get(), &CQORBView::entryHovered);
        QSignalSpy cleared(view.get(), &CQORBView::hoverCleared);
        const QRect r = view->list()->visualRect(view->model()->index(1));
        QTest::mouseMove(view->list()->viewport(), r.center());
        QTRY_COMPARE(readouts.count(), 1);
        const auto e = readouts.front().front().value<EntryReadout>();
        QCOMPARE(e.nameUtf8(), std::string("a.wav"));
        QCOMPARE(e.kind, KIND_WAVE);
        QCOMPARE(e.size, 10u);
        QTest::mouseMove(view->list()->viewport(), QPoint(5, view->list()->viewport()->height() - 3));
        QTRY_COMPARE(cleared.count(), 1);
    }

    void contextMenuEnabling()
    {
        openSample();
        tree->setCurrentItem(tree->itemFor(0));
        auto* list = view->list();
        auto actionState = [&](const QString& item) {
            auto menu = list->menuFor(list->visualRect(view->model()->index(rowOf(item))).center());
            QStringList out;
            for (QAction* a : menu->actions())
                out << a->text() + (a->isEnabled() ? "" : " -");
            return out;
        };
        QCOMPARE(actionState("stone.tex"), (QStringList{"Exportieren", "&Umbenennen", "Ersetzen (durch Bildbuffer) -",
                                                        "Ersetzen (durch Datei)", "", "Löschen"}));  // grey without a texture
        QVERIFY(doc->loadMaps("", true, false, 3));
        QCOMPARE(actionState("stone.tex")[2], QStringLiteral("Ersetzen (durch Bildbuffer)"));
        QCOMPARE(actionState("C.tga")[2], QStringLiteral("Ersetzen (durch Bildbuffer)"));
        QCOMPARE(actionState("a.wav")[2], QStringLiteral("Ersetzen (durch Bildbuffer) -"));  // not an image
        QVERIFY2(!list->menuFor(QPoint(5, list->viewport()->height() - 3)), "empty area: no menu");
    }

    void renameAndReplaceRelabelAndWrite()
    {
        openSample();
        tree->setCurrentItem(tree->itemFor(0));
        host->renames.push_back(std::string("Z.wav"));
        view->entryCommand(CEntryListCtrl::CMD_RENAME, rowOf("a.wav"));
        QCOMPARE(rowOf("Z.wav (u)"), 1);
        const auto bytes = readFile(volumePath);
        QCOMPARE(std::string(bytes.begin() + 296 + 80 * 4, bytes.begin() + 296 + 80 * 4 + 6), std::string("Z.wav "));

        // A file of another size offers to rewrite the volume; declined, nothing changes.
        writeFile(dir->path() / "eleven", std::vector<unsigned char>(11, 7));
        host->openFiles.push_back((dir->path() / "eleven").string());
        host->answers.push_back(MessageAnswer::Cancel);
        view->entryCommand(CEntryListCtrl::CMD_REPLACE_FILE, 1);
        QCOMPARE(readFile(volumePath), bytes);
        QCOMPARE(rowOf("Z.wav (u)"), 1);
        QVERIFY(host->messageTexts().back().starts_with("Größen stimmen nicht überein\n"));
        QCOMPARE(host->messages.back().buttons, MessageButtons::RewriteCancel);

        writeFile(dir->path() / "ten", std::vector<unsigned char>(10, 7));
        host->openFiles.push_back((dir->path() / "ten").string());
        view->entryCommand(CEntryListCtrl::CMD_REPLACE_FILE, 1);
        QCOMPARE(rowOf("Z.wav (u) (e)"), 1);
        QVERIFY(view->pages().search("z.wav (u) (e)", false));
    }

    void damagedEntriesCarryTheirOwnIconAndTheirRange()
    {
        // b.tex reaches past the end of the volume, a.tex does not.
        const std::uint32_t start = dataStart(2);
        writeFile(dir->path() / "cut.qrb",
                  volumeBytes({.entries = {{"a.tex", start, 2, 0}, {"b.tex", start + 1, 9, LAST}}, .data = {1, 2, 3}}));
        QVERIFY(doc->openFile((dir->path() / "cut.qrb").string(), false));
        view->showVolume(host->browser);
        const EntryPageModel& m = *view->model();
        const auto icon = [&](int row) { return m.data(m.index(row), Qt::DecorationRole).value<QIcon>().cacheKey(); };
        QCOMPARE(icon(0), EntryStateIcons::icon(KIND_IMAGE).cacheKey());
        QCOMPARE(icon(1), EntryStateIcons::damaged().cacheKey());
        QCOMPARE(m.data(m.index(0), Qt::ToolTipRole).toString(), QStringLiteral("a.tex"));
        QCOMPARE(m.data(m.index(1), Qt::ToolTipRole).toString(),
                 QStringLiteral("b.tex\nDaten 457+9 reichen über die Volume-Länge 459 hinaus"));
    }
};

QTEST_MAIN(BrowserViewTest)
#include "BrowserViewTest.moc"
