// The volume browser's thumbnail view over a real document and volume: the
// toggles, the thumbnails made on worker threads (visible ones first), the
// entries that get none, and the size switch.
#include "FakeHost.h"
#include "TextureBuilder.h"

#include "document/CKestrelDoc.h"
#include "views/browser/CEntryListCtrl.h"
#include "views/browser/CQORBView.h"
#include "views/browser/CThumbnailLoader.h"
#include "views/browser/CThumbnailView.h"
#include "views/browser/EntryPageModel.h"

#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace testsupport;

class ThumbnailViewTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempDir> dir;
    std::unique_ptr<FakeHost> host;
    std::unique_ptr<CKestrelDoc> doc;
    std::unique_ptr<CQORBView> view;

    // One top-level directory "t" holding, in catalogue order (index 1 on):
    // red.tex (32 x 32 RGBA 8888, its smaller map blue), broken.tex (a header
    // whose maps are missing), note.txt, green.tga (a texture named .tga, 256 x 128).
    void openVolume()
    {
        const auto red = textureBytes(32, 32, 2, 2, [](int map, int, int) { return map == 1 ? 0xFFFF0000u : 0xFF0000FFu; });
        const auto broken = std::vector<unsigned char>(red.begin(), red.begin() + 40);
        const std::vector<unsigned char> note = {'h', 'i'};
        const auto green = textureBytes(256, 128, 1, 8, [](int, int, int) { return 0xFF00FF00u; });
        const std::vector<const std::vector<unsigned char>*> files = {&red, &broken, &note, &green};
        const char* names[] = {"red.tex", "broken.tex", "note.txt", "green.tga"};
        VolumeSpec spec;
        spec.entries.push_back({"t", 1, 0, DIR | LAST});
        std::uint32_t at = dataStart(5);
        for (std::size_t i = 0; i < files.size(); ++i) {
            spec.entries.push_back({names[i], at, static_cast<std::uint32_t>(files[i]->size()), i == 3 ? LAST : 0u});
            spec.data.insert(spec.data.end(), files[i]->begin(), files[i]->end());
            at += static_cast<std::uint32_t>(files[i]->size());
        }
        const auto path = dir->path() / "v.qrb";
        writeFile(path, volumeBytes(spec));
        QVERIFY(doc->openFile(path.string(), false));
        view->showVolume(host->browser);
    }

    QRgb centre(const QImage& image) { return image.pixel(image.width() / 2, image.height() / 2); }

private slots:
    void init()
    {
        dir = std::make_unique<TempDir>();
        host = std::make_unique<FakeHost>();
        doc = std::make_unique<CKestrelDoc>(*host);
        view = std::make_unique<CQORBView>();
        view->setDocument(doc.get());
        view->resize(300, 400);
        view->show();
    }
    void cleanup()
    {
        view.reset();
        doc.reset();
        host.reset();
        dir.reset();
    }

    void theTogglesSwitchBetweenListAndThumbnails()
    {
        openVolume();
        QToolButton* toggle = view->button("thumbnails");
        QToolButton* large = view->button("largeThumbnails");
        QCOMPARE(toggle->accessibleName(), QStringLiteral("Miniaturansicht"));
        QCOMPARE(large->accessibleName(), QStringLiteral("Große Miniaturen"));
        QCOMPARE(view->thumbnailView()->accessibleName(), QStringLiteral("Dateien als Miniaturen"));
        QVERIFY(view->list()->isVisible());
        QVERIFY(!view->thumbnailView()->isVisible());
        QVERIFY2(!large->isEnabled(), "the size matters only for thumbnails");
        QVERIFY2(view->thumbnailLoader()->idle(), "the list makes no thumbnails");

        // The keyboard reaches the toggle like any button.
        toggle->setFocus();
        QTest::keyClick(toggle, Qt::Key_Space);
        QVERIFY(view->thumbnailsShown());
        QVERIFY(!view->list()->isVisible());
        QVERIFY(view->thumbnailView()->isVisible());
        QVERIFY(large->isEnabled());

        // One selection for both views.
        view->thumbnailView()->setCurrentIndex(view->model()->index(3));
        QCOMPARE(view->list()->currentIndex().row(), 3);
        QCOMPARE(view->selectedEntry().value_or(-1), 4);

        QTest::mouseClick(toggle, Qt::LeftButton);
        QVERIFY(view->list()->isVisible());
        QVERIFY(!view->thumbnailView()->isVisible());
    }

    // Off the user-interface thread: the largest map, reduced to 64 and then
    // 128 pixels; no thumbnail for what is no picture, none twice for what fails.
    void picturesGetThumbnailsAndTheRestTheirIcons()
    {
        openVolume();
        CThumbnailLoader* loader = view->thumbnailLoader();
        QSignalSpy ready(loader, &CThumbnailLoader::thumbnailReady);
        view->setThumbnailsShown(true);
        QTRY_VERIFY(loader->idle());
        QCOMPARE(loader->thumbnail(1).size(), QSize(32, 32));
        QCOMPARE(centre(loader->thumbnail(1)), qRgb(255, 0, 0));
        QCOMPARE(loader->thumbnail(4).size(), QSize(64, 32));
        QCOMPARE(centre(loader->thumbnail(4)), qRgb(0, 252, 0));
        QVERIFY(loader->failed(2));
        QVERIFY2(!loader->failed(3) && loader->thumbnail(3).isNull(), "note.txt is asked for nothing");
        QCOMPARE(ready.count(), 3);

        view->thumbnailView()->viewport()->repaint();
        QTest::qWait(50);
        QCOMPARE(ready.count(), 3);  // the failed one is not tried again

        view->setLargeThumbnails(true);
        QTRY_COMPARE(loader->thumbnail(4).size(), QSize(128, 64));
        QCOMPARE(view->thumbnailView()->gridSize().height() > 128, true);
    }

    // "Ersetzen (durch Datei)": the entry's thumbnail is made again from its new bytes.
    void aReplacedEntryGetsANewThumbnail()
    {
        openVolume();
        CThumbnailLoader* loader = view->thumbnailLoader();
        view->setThumbnailsShown(true);
        QTRY_VERIFY(!loader->thumbnail(1).isNull());
        const auto yellow = textureBytes(32, 32, 2, 2, [](int, int, int) { return 0xFFFFFF00u; });
        writeFile(dir->path() / "yellow.tex", yellow);
        host->openFiles.push_back((dir->path() / "yellow.tex").string());
        view->entryCommand(CEntryListCtrl::CMD_REPLACE_FILE, 0);
        QVERIFY2(host->messages.empty(), host->messages.empty() ? "" : host->messages.front().text.c_str());
        QTRY_VERIFY(!loader->thumbnail(1).isNull());
        QCOMPARE(centre(loader->thumbnail(1)), qRgb(255, 255, 0));
    }

    // A request for an entry the view draws goes before the page's prefetch.
    void theVisibleOnesComeFirst()
    {
        VolumeSpec spec;
        const auto small = textureBytes(16, 16, 1, 2, [](int, int, int) { return 0xFF808080u; });
        constexpr int COUNT = 200;
        spec.entries.push_back({"t", 1, 0, DIR | LAST});
        for (int i = 0; i < COUNT; ++i) {
            spec.entries.push_back({"t" + std::to_string(i) + ".tex", dataStart(COUNT + 1),
                                    static_cast<std::uint32_t>(small.size()), i == COUNT - 1 ? LAST : 0u});
        }
        spec.data = small;
        writeFile(dir->path() / "many.qrb", volumeBytes(spec));

        // One worker, held while the queue fills, so the order it takes them in
        // is the queue's order and no worker races the two calls.
        CThumbnailLoader loader(nullptr, 1);
        loader.setVolume((dir->path() / "many.qrb").string());
        std::vector<int> order;
        connect(&loader, &CThumbnailLoader::thumbnailReady, this, [&](int entry) { order.push_back(entry); });
        std::vector<CThumbnailLoader::Request> page;
        for (int i = 1; i <= COUNT; ++i)
            page.push_back({i, dataStart(COUNT + 1), static_cast<std::uint32_t>(small.size())});
        loader.setHeld(true);
        loader.prefetch(page);
        loader.request(page.back());
        QTest::qWait(20);
        QVERIFY(order.empty());
        loader.setHeld(false);
        QTRY_VERIFY(loader.idle());
        std::vector<int> expected{COUNT};
        for (int i = 1; i < COUNT; ++i)
            expected.push_back(i);
        QVERIFY(order == expected);
    }
};

QTEST_MAIN(ThumbnailViewTest)
#include "ThumbnailViewTest.moc"
