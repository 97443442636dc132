// The volume browser's widgets over a real document and volume: pages, tree,
// buttons, search, previous/next, hover readouts and the entry context menu.
#include "FakeHost.h"
#include "TextureBuilder.h"

#include "document/CKestrelDoc.h"
#include "codecs/TextureFormat.h"
#include "views/browser/CEntryFactsLoader.h"
#include "views/browser/CEntryListCtrl.h"
#include "views/browser/CHelperTree.h"
#include "views/browser/CQORBView.h"
#include "views/browser/EntryPageModel.h"
#include "views/browser/EntryStateIcons.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
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

// A texture of the format with the given code, its maps' data all zero.
std::vector<unsigned char> zeroTexture(int code, int width, int height, int maps)
{
    std::vector<unsigned char> out = textureBytes(width, height, maps, 2);
    out[8] = static_cast<unsigned char>(code);
    out.resize(36);
    const auto format = static_cast<texture::Format>(code);
    for (int i = 0; i < maps; ++i) {
        const texture::MapSize m = texture::mapSize(width, height, maps, i);
        out.resize(out.size() + texture::mapDataSize(format, m.width, m.height), 0);
    }
    return out;
}

// An uncompressed TGA image of `bits` (24 or 32) bits per pixel.
std::vector<unsigned char> tgaImage(int width, int height, int bits)
{
    std::vector<unsigned char> out(18, 0);
    out[2] = 2;
    out[12] = static_cast<unsigned char>(width);
    out[14] = static_cast<unsigned char>(height);
    out[16] = static_cast<unsigned char>(bits);
    out[17] = bits == 32 ? 8 : 0;
    out.resize(out.size() + static_cast<std::size_t>(width * height * bits / 8), 0x40);
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

    // Directory "pics": a texture in each of the five formats, TGA images of
    // 32 and 24 bits, a damaged texture and a note; then "misc" with a.txt.
    // Catalogue indices: pics 0, misc 1, then the files of pics from 2.
    void openPictures()
    {
        const std::vector<std::pair<std::string, std::vector<unsigned char>>> files = {
            {"dxt1.tex", zeroTexture(10, 64, 64, 7)},   {"dxt3.tex", zeroTexture(12, 128, 32, 3)},
            {"c4444.tex", zeroTexture(6, 16, 16, 1)},   {"c565.tex", zeroTexture(8, 32, 64, 2)},
            {"c8888.tex", zeroTexture(2, 8, 8, 4)},     {"alpha.tga", tgaImage(4, 2, 32)},
            {"plain.tga", tgaImage(2, 2, 24)},          {"cut.tex", {'K', 'T', 'E', 'X', 0, 0}},
            {"note.txt", {'h', 'e', 'l', 'l', 'o', '\n'}}};
        VolumeSpec spec;
        spec.entries = {{"pics", 2, 0, DIR}, {"misc", static_cast<std::uint32_t>(2 + files.size()), 0, DIR | LAST}};
        std::uint32_t at = dataStart(files.size() + 3);
        for (std::size_t i = 0; i < files.size(); ++i) {
            spec.entries.push_back({files[i].first, at, static_cast<std::uint32_t>(files[i].second.size()),
                                    i + 1 == files.size() ? LAST : 0u});
            spec.data.insert(spec.data.end(), files[i].second.begin(), files[i].second.end());
            at += static_cast<std::uint32_t>(files[i].second.size());
        }
        spec.entries.push_back({"a.txt", at, 3, LAST});
        spec.data.insert(spec.data.end(), {'a', 'b', 'c'});
        volumePath = dir->path() / "pics.qrb";
        writeFile(volumePath, volumeBytes(spec));
        QVERIFY(doc->openFile(volumePath.string(), false));
        view->showVolume(host->browser);
        tree->build(host->browser);
        QCOMPARE(view->caption()->text(), QStringLiteral(" pics"));
    }
    void click(int row, Qt::KeyboardModifiers modifiers = {})
    {
        const QRect r = view->list()->visualRect(view->model()->index(row));
        QTest::mouseClick(view->list()->viewport(), Qt::LeftButton, modifiers, r.center());
    }
    QString cell(int row, int column) const
    {
        return view->model()->data(view->model()->index(row, column), Qt::DisplayRole).toString();
    }

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
                                                        "Ersetzen (durch Datei)", "Löschen"}));  // grey without a texture
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

    // A click or a key loads only when exactly one entry ends up selected.
    void severalEntriesAndWhatTheyLoad()
    {
        openPictures();
        view->resize(600, 500);
        CEntryListCtrl* list = view->list();
        click(0);
        QCOMPARE(doc->name(), std::string("dxt1.tex"));
        click(2, Qt::ControlModifier);
        QCOMPARE(view->selectedEntries(), (std::vector<int>{2, 4}));
        QCOMPARE(doc->name(), std::string("dxt1.tex"));  // two selected: nothing loads
        click(5, Qt::ShiftModifier);  // from the last click on, the first one kept
        QCOMPARE(view->selectedEntries(), (std::vector<int>{2, 4, 5, 6, 7}));
        QCOMPARE(view->countLine()->text(), QStringLiteral("9 Dateien, 5 ausgewählt, 8,9 kB"));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(view->selectedEntries().size(), 9u);
        QCOMPARE(doc->name(), std::string("dxt1.tex"));
        // A plain key move leaves one: it loads.
        QTest::keyClick(list, Qt::Key_Up);
        QCOMPARE(view->selectedEntries(), std::vector<int>{6});
        QCOMPARE(doc->name(), std::string("c8888.tex"));
        QTest::keyClick(list, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(view->selectedEntries(), (std::vector<int>{6, 7}));
        QCOMPARE(doc->name(), std::string("c8888.tex"));
        // Ctrl-clicking one of two away leaves one, which loads.
        click(5, Qt::ControlModifier);
        QCOMPARE(view->selectedEntries(), std::vector<int>{6});
        QCOMPARE(doc->name(), std::string("c8888.tex"));
        QCOMPARE(host->texts.size(), 0u);
        // Enter loads the current entry alone; a text entry goes to the text pane.
        list->selectionModel()->setCurrentIndex(view->model()->index(8), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(view->selectedEntries(), std::vector<int>{10});
        QCOMPARE(host->texts.size(), 1u);
        QCOMPARE(host->texts[0].first, std::string("note.txt"));
        QCOMPARE(host->texts[0].second, std::string("hello\n"));
        QCOMPARE(doc->name(), std::string("c8888.tex"));  // the picture stays
    }

    void theEntryMenuActsOnTheSelectionAndTheKeysReachIt()
    {
        openPictures();
        view->resize(600, 500);
        CEntryListCtrl* list = view->list();
        auto state = [&](int row) {
            auto menu = list->menuFor(list->visualRect(view->model()->index(row)).center());
            QStringList out;
            for (QAction* a : menu->actions())
                out << a->text() + (a->isEnabled() ? "" : " -");
            return out;
        };
        click(0);
        click(1, Qt::ShiftModifier);
        QCOMPARE(state(1), (QStringList{"Exportieren", "&Umbenennen -", "Ersetzen (durch Bildbuffer) -",
                                        "Ersetzen (durch Datei) -", "Löschen"}));
        QCOMPARE(state(3), (QStringList{"Exportieren", "&Umbenennen", "Ersetzen (durch Bildbuffer)",
                                        "Ersetzen (durch Datei)", "Löschen"}));  // outside the selection: the entry alone (dxt1.tex is loaded, so its picture may go in)

        // "Exportieren" on the two: into a folder.
        const auto out = dir->path() / "out";
        host->folders.push_back(out.string());
        view->entriesCommand(CEntryListCtrl::CMD_EXTRACT, view->selectedEntries(), 1);
        QCOMPARE(readFile(out / "dxt3.tex"), zeroTexture(12, 128, 32, 3));
        QVERIFY(std::filesystem::exists(out / "dxt1.tex"));
        QCOMPARE(host->works.size(), 1u);

        // F2 renames the one selected entry; with two selected it does nothing.
        list->setFocus();
        QTest::keyClick(list, Qt::Key_F2);
        QVERIFY(host->renames.empty());
        click(4);
        host->renames.push_back(std::string("z565.tex"));
        QTest::keyClick(list, Qt::Key_F2);
        QCOMPARE(cell(4, 0), QStringLiteral("z565.tex (u)"));
        // Shift+F10 opens the entry menu at the current entry.
        QSignalSpy opened(view.get(), &CQORBView::statusHintShown);
        QTimer::singleShot(0, this, [] {
            if (QWidget* popup = QApplication::activePopupWidget())
                popup->close();
        });
        QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened.front().front().toString(), QStringLiteral("z565.tex (u)"));
    }

    void theFilterNarrowsAndEscapeClearsIt()
    {
        openPictures();
        QLineEdit* field = view->filterField();
        view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(view.get()));
        view->list()->setFocus();
        QTest::keyClick(view.get(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(field->hasFocus());
        QTest::keyClicks(field, "DXT");
        QCOMPARE(texts(*view->model()), (QStringList{"dxt1.tex", "dxt3.tex"}));
        QCOMPARE(view->countLine()->text(), QStringLiteral("2 von 9 Dateien, 8,2 kB"));
        field->clear();
        QTest::keyClicks(field, "c????.tex");
        QCOMPARE(texts(*view->model()), (QStringList{"c4444.tex", "c8888.tex"}));
        QTest::keyClicks(field, "x");
        QCOMPARE(view->model()->rowCount(), 0);
        QCOMPARE(view->list()->emptyText(), QStringLiteral("Keine Datei passt zu „c????.texx“."));
        QTest::keyClick(field, Qt::Key_Escape);
        QCOMPARE(field->text(), QString());
        QCOMPARE(view->model()->rowCount(), 9);
        QVERIFY(view->list()->emptyText().isEmpty());

        // In every directory: the matches with their paths; the tree's choice
        // does not matter until the filter is emptied.
        view->filterAllDirectories()->setChecked(true);
        QTest::keyClicks(field, ".txt");
        QCOMPARE(texts(*view->model()), (QStringList{"pics/note.txt", "misc/a.txt"}));
        QCOMPARE(view->caption()->text(), QStringLiteral(" Alle Verzeichnisse"));
        view->list()->selectionModel()->setCurrentIndex(view->model()->index(1), QItemSelectionModel::ClearAndSelect
                                                                                   | QItemSelectionModel::Rows);
        QSignalSpy directories(view.get(), &CQORBView::directorySelected);
        QTest::keyClick(field, Qt::Key_Escape);
        QCOMPARE(view->caption()->text(), QStringLiteral(" misc"));  // emptied: the picked entry's directory
        QCOMPARE(view->selectedEntry(), std::optional<int>(11));
        QCOMPARE(directories.count(), 1);
    }

    // The texture columns come from the entries' headers, read off the
    // user-interface thread; the list shows nothing there until they are in.
    void theColumnsShowEachTextureFormat()
    {
        openPictures();
        QTRY_VERIFY(view->factsLoader()->idle());
        const QStringList expected[] = {
            {"dxt1.tex", "2.766", "Textur", "DXT1", "64 × 64", "7"},
            {"dxt3.tex", "5.412", "Textur", "DXT3", "128 × 32", "3"},
            {"c4444.tex", "548", "Textur", "RGBA 4444", "16 × 16", "1"},
            {"c565.tex", "5.156", "Textur", "RGB 565", "32 × 64", "2"},
            {"c8888.tex", "376", "Textur", "RGBA 8888", "8 × 8", "4"},
            {"alpha.tga", "50", "Textur", "TGA 32 Bit", "4 × 2", "1"},
            {"plain.tga", "30", "Textur", "TGA 24 Bit", "2 × 2", "1"},
            {"cut.tex", "6", "Textur", "fehlerhaft", "", ""},
            {"note.txt", "6", "TXT-Datei", "", "", ""},
        };
        QCOMPARE(view->model()->columnCount(), 6);
        QStringList headers;
        for (int c = 0; c < 6; ++c)
            headers << view->model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        QCOMPARE(headers, (QStringList{"Name", "Größe", "Typ", "Format", "Breite × Höhe", "Maps"}));
        for (int r = 0; r < 9; ++r) {
            QStringList row;
            for (int c = 0; c < 6; ++c)
                row << cell(r, c);
            QCOMPARE(row, expected[r]);
        }
    }

    // A click on a header sorts by its column; the sort buttons and the
    // direction button keep in step with it.
    void headerAndSortButtonsStayInStep()
    {
        openPictures();
        QHeaderView* header = view->list()->header();
        const auto names = [&] {
            QStringList out;
            for (int r = 0; r < view->model()->rowCount(); ++r)
                out << cell(r, 0);
            return out;
        };
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));
        QCOMPARE(names().mid(0, 4), (QStringList{"cut.tex", "note.txt", "plain.tga", "alpha.tga"}));
        QCOMPARE(header->sortIndicatorSection(), 1);
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
        QVERIFY(!view->button("direction")->isChecked());
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));
        QCOMPARE(names().front(), QStringLiteral("dxt3.tex"));
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
        QVERIFY2(view->button("direction")->isChecked(), "the arrow shows the order");
        QTest::mouseClick(view->button("sortByName"), Qt::LeftButton);
        QCOMPARE(names().front(), QStringLiteral("plain.tga"));  // descending, by bytes
        QCOMPARE(header->sortIndicatorSection(), 0);
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
        QTest::mouseClick(view->button("direction"), Qt::LeftButton);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(3) + 5, header->height() / 2));
        QCOMPARE(names(), (QStringList{"dxt1.tex", "dxt3.tex", "c565.tex", "c4444.tex", "c8888.tex", "plain.tga",
                                       "alpha.tga", "note.txt", "cut.tex"}));  // by format; what is no picture last, as it was
        // Another page keeps its own order, and the header shows it.
        tree->setCurrentItem(tree->itemFor(1));
        QCOMPARE(header->sortIndicatorSection(), -1);
    }

    // Dragged out, the entries go as files extracted into the drag folder.
    void theDragCarriesTheExtractedFilesUrls()
    {
        openPictures();
        const auto base = dir->path() / "cache";
        std::filesystem::create_directories(base);
        host->dragBase = base.string();
        const auto mime = view->dragData({2, 10});
        QVERIFY(mime);
        QVERIFY(mime->hasFormat(QStringLiteral("text/uri-list")));
        const QList<QUrl> urls = mime->urls();
        QCOMPARE(urls.size(), 2);
        QVERIFY(urls[0].isLocalFile());
        QCOMPARE(QFileInfo(urls[0].toLocalFile()).fileName(), QStringLiteral("dxt1.tex"));
        QCOMPARE(QFileInfo(urls[0].toLocalFile()).absolutePath(), QFileInfo(urls[1].toLocalFile()).absolutePath());
        QVERIFY(urls[0].toLocalFile().startsWith(QString::fromStdString(base.string())));
        QCOMPARE(readFile(urls[1].toLocalFile().toStdString()), (std::vector<unsigned char>{'h', 'e', 'l', 'l', 'o', '\n'}));
        // A directory from the tree goes whole.
        const auto folder = view->dragData({1});
        QVERIFY(folder);
        QCOMPARE(QFileInfo(folder->urls()[0].toLocalFile()).fileName(), QStringLiteral("misc"));
        QVERIFY(QFileInfo::exists(folder->urls()[0].toLocalFile() + "/a.txt"));
    }
};

QTEST_MAIN(BrowserViewTest)
#include "BrowserViewTest.moc"
