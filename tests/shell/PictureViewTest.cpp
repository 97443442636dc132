#include "FakeHost.h"
#include "ShellFixtures.h"
#include "document/CKestrelDoc.h"
#include "views/CPictureView.h"

#include <QScrollBar>
#include <QWheelEvent>
#include <QtTest>

namespace {

// A distinct colour per pixel, so a wrong pixel cannot pass for the right one.
std::uint32_t pattern(int, int x, int y)
{
    return 0x80000000u | static_cast<std::uint32_t>(x * 4) << 16 | static_cast<std::uint32_t>(y * 4) << 8 | 0x33u;
}

struct Scene {
    QTemporaryDir dir;
    FakeHost host;
    CKestrelDoc doc{host};
    CPictureView view;

    explicit Scene(bool alpha = true, const testsupport::PixelFn& pixel = pattern, int side = 64)
    {
        const QString path = shelltest::writeTexture(dir, "t.tex", side, side, 1, alpha, pixel);
        view.setDocument(&doc);
        view.resize(400, 300);
        view.show();
        QVERIFY(doc.openFile(path.toStdString(), false));
        view.fullUpdate();
    }
    ~Scene() { view.setDocument(nullptr); }

    void move(QPoint at)
    {
        QMouseEvent event(QEvent::MouseMove, QPointF(at), view.viewport()->mapToGlobal(QPointF(at)), Qt::NoButton,
                          Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &event);
    }

    QList<PixelReadout> readoutsAt(QPoint at)
    {
        QSignalSpy spy(&view, &CPictureView::pixelReadout);
        move(at);
        QList<PixelReadout> out;
        for (const auto& args : spy)
            out << args.at(0).value<PixelReadout>();
        return out;
    }
};

}  // namespace

class PictureViewTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<PixelReadout>(); }
    void centredAtZoomOneWithFrameLines();
    void zoomDrawsBlocksWithoutSmoothing();
    void readoutAtZoomOneAndThirtyTwo();
    void readoutLiftsRedAndBlueAndFillsMissingAlpha();
    void panningOnlyWhenThePictureIsLarger();
    void statusTextsAndBackground();
    void leftDragMakesASelectionDrawnOnTop();
    void reducedZoomsDrawAreaAverages();
    void panningEndsWithItsButton();
    void crossCursorWhileARectangleIsDrawn();
    void ctrlWheelZoomsAboutTheMouse();
};

void PictureViewTest::centredAtZoomOneWithFrameLines()
{
    Scene s;
    QCOMPARE(s.view.viewport()->size(), QSize(400, 300));
    QCOMPARE(s.view.imageRectOnScreen(), QRect(168, 118, 64, 64));
    const QImage shot = s.view.viewport()->grab().toImage();
    QCOMPARE(shot.pixel(168, 118), QColor(0, 0, 0x33).rgb() | 0xFF000000u);  // pixel (0, 0)
    QCOMPARE(shot.pixel(168 + 5, 118 + 7), QColor(20, 28, 0x33).rgb());
    QCOMPARE(shot.pixel(231, 181), QColor(252, 252, 0x33).rgb());
    // Dashed frame lines just outside the picture, across the whole view.
    const QRgb line = QColor(100, 100, 100).rgb();
    QCOMPARE(shot.pixel(167, 0), line);
    QCOMPARE(shot.pixel(232, 0), line);
    QCOMPARE(shot.pixel(0, 117), line);
    QCOMPARE(shot.pixel(0, 182), line);
    QCOMPARE(shot.pixel(20, 20), QColor(192, 192, 192).rgb());
}

void PictureViewTest::zoomDrawsBlocksWithoutSmoothing()
{
    Scene s;
    s.view.setZoom(4);
    QCOMPARE(s.doc.zoom(), 4.0f);
    const QRect r = s.view.imageRectOnScreen();
    QCOMPARE(r, QRect(72, 22, 256, 256));
    const QImage shot = s.view.viewport()->grab().toImage();
    for (int py : {0, 10, 63})
        for (int px : {0, 9, 63}) {
            const QRgb want = QColor(px * 4, py * 4, 0x33).rgb();
            for (int dy = 0; dy < 4; ++dy)
                for (int dx = 0; dx < 4; ++dx)
                    QCOMPARE(shot.pixel(r.left() + px * 4 + dx, r.top() + py * 4 + dy), want);
        }
}

void PictureViewTest::readoutAtZoomOneAndThirtyTwo()
{
    Scene s;
    auto got = s.readoutsAt(QPoint(168 + 5, 118 + 7));
    QCOMPARE(got.size(), 1);
    QCOMPARE(got[0].x, 5);
    QCOMPARE(got[0].y, 7);
    QCOMPARE(got[0].red, 20);
    QCOMPARE(got[0].green, 28);
    QCOMPARE(got[0].alpha, 0x80);

    QSignalSpy cleared(&s.view, &CPictureView::readoutCleared);
    s.move(QPoint(10, 10));  // on the background
    QCOMPARE(cleared.size(), 1);

    s.view.setZoom(4);
    got = s.readoutsAt(QPoint(72 + 6, 22));  // six view pixels right of the origin
    QCOMPARE(got.size(), 1);
    QCOMPARE(got[0].x, 1);

    s.view.setZoom(32);
    QApplication::processEvents();  // the scroll bars take their room
    const QSize client = s.view.viewport()->size();
    QCOMPARE(s.view.horizontalScrollBar()->maximum(), 2048 - client.width());
    QCOMPARE(s.view.verticalScrollBar()->maximum(), 2048 - client.height());
    got = s.readoutsAt(QPoint(31, 31));
    QCOMPARE(got.size(), 1);
    QCOMPARE(got[0].x, 0);
    QCOMPARE(got[0].y, 0);
    s.view.horizontalScrollBar()->setValue(s.view.horizontalScrollBar()->maximum());
    s.view.verticalScrollBar()->setValue(s.view.verticalScrollBar()->maximum());
    got = s.readoutsAt(QPoint(client.width() - 1, client.height() - 1));
    QCOMPARE(got.size(), 1);
    QCOMPARE(got[0].x, 63);
    QCOMPARE(got[0].y, 63);
    QCOMPARE(got[0].red, 252);
    got = s.readoutsAt(QPoint(client.width() - 33, client.height() - 33));
    QCOMPARE(got[0].x, 62);
    QCOMPARE(got[0].y, 62);
}

void PictureViewTest::readoutLiftsRedAndBlueAndFillsMissingAlpha()
{
    {
        Scene s(true, [](int, int, int) { return 0x40FEFEFEu; });
        const auto got = s.readoutsAt(QPoint(170, 120));
        QCOMPARE(got.size(), 1);
        QCOMPARE(got[0].red, 255);
        QCOMPARE(got[0].green, 254);
        QCOMPARE(got[0].blue, 255);
        QCOMPARE(got[0].alpha, 0x40);
    }
    {
        // RGB 565 has no alpha: 255 is reported whatever the map stores.
        Scene s(false, [](int, int, int) { return 0x00F80000u; });
        const auto got = s.readoutsAt(QPoint(170, 120));
        QCOMPARE(got.size(), 1);
        QCOMPARE(got[0].alpha, 255);
    }
}

void PictureViewTest::panningOnlyWhenThePictureIsLarger()
{
    Scene s;
    s.view.setZoom(4);  // 256 x 256 fits into 400 x 300
    QTest::mousePress(s.view.viewport(), Qt::RightButton, {}, QPoint(200, 150));
    QVERIFY(!s.view.panning());
    QTest::mouseRelease(s.view.viewport(), Qt::RightButton, {}, QPoint(200, 150));

    s.view.setZoom(8);  // 512 x 512
    QTest::mousePress(s.view.viewport(), Qt::RightButton, {}, QPoint(200, 150));
    QVERIFY(s.view.panning());
    QSignalSpy cleared(&s.view, &CPictureView::readoutCleared);
    QMouseEvent move(QEvent::MouseMove, QPointF(150, 120), s.view.viewport()->mapToGlobal(QPointF(150, 120)),
                     Qt::NoButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(s.view.viewport(), &move);
    QCOMPARE(s.view.horizontalScrollBar()->value(), 50);  // the picture follows the mouse
    QCOMPARE(s.view.verticalScrollBar()->value(), 30);
    QCOMPARE(cleared.size(), 1);  // no readout while panning
    QTest::mouseRelease(s.view.viewport(), Qt::RightButton, {}, QPoint(150, 120));
    QVERIFY(!s.view.panning());
}

void PictureViewTest::statusTextsAndBackground()
{
    Scene s;
    QSignalSpy texts(&s.view, &CPictureView::statusText);
    s.view.fullUpdate();
    QCOMPARE(texts.size(), 2);
    QCOMPARE(texts[0].at(1).toString(), QStringLiteral(" 64 x 64"));
    QCOMPARE(texts[1].at(1).toString(), QStringLiteral(" Zoom: x 1 "));
    s.view.setZoom(16);
    QCOMPARE(texts.last().at(1).toString(), QStringLiteral(" Zoom: x 16 "));

    s.view.setZoom(1);
    s.view.setBackgroundLevel(0);
    QCOMPARE(s.view.viewport()->grab().toImage().pixel(5, 5), QColor(Qt::black).rgb());

    CPictureView empty;
    QSignalSpy emptyTexts(&empty, &CPictureView::statusText);
    empty.fullUpdate();
    QCOMPARE(emptyTexts.size(), 2);
    QCOMPARE(emptyTexts[0].at(1).toString(), QStringLiteral(" "));
    QCOMPARE(emptyTexts[1].at(1).toString(), QStringLiteral(" "));
}

void PictureViewTest::leftDragMakesASelectionDrawnOnTop()
{
    Scene s;
    s.doc.clearSelection();
    QVERIFY(!s.doc.noSelection());  // one map: selecting is allowed
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(at), s.view.viewport()->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
        QApplication::sendEvent(s.view.viewport(), &e);
    };
    QSignalSpy changed(&s.view, &CPictureView::selectionChanged);
    send(QEvent::MouseButtonPress, QPoint(168 + 4, 118 + 6), Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, QPoint(168 + 20, 118 + 30), Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, QPoint(168 + 20, 118 + 30), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(changed.size(), 1);
    QVERIFY(s.doc.tracker().present());
    const auto r = s.doc.tracker().selectionImageRect();
    QVERIFY(r);
    QCOMPARE(r->left, 4);
    QCOMPARE(r->top, 6);
    QVERIFY(r->right >= 18 && r->right <= 20);
    QVERIFY(r->bottom >= 28 && r->bottom <= 30);

    // The outline is drawn over the picture: the pixel there is no longer the picture's.
    const TrackerRect outline = s.doc.tracker().outlineRect();
    const QImage shot = s.view.viewport()->grab().toImage();
    const QPoint onEdge(outline.left, outline.top + 2);
    const int px = onEdge.x() - 168, py = onEdge.y() - 118;
    QVERIFY(shot.pixel(onEdge) != QColor(px * 4, py * 4, 0x33).rgb());

    // A second picture at zoom 2 keeps the selection over the same map pixels.
    s.view.setZoom(2);
    QCOMPARE(s.doc.tracker().selectionImageRect(), r);
}

void PictureViewTest::reducedZoomsDrawAreaAverages()
{
    // 256 x 256, every pixel different, at 1:4 and 1:16 in 400 x 300.
    const auto pixel = [](int, int x, int y) {
        return 0xFF000000u | static_cast<std::uint32_t>((x * 7 + y) & 0xFF) << 16
               | static_cast<std::uint32_t>((y * 3) & 0xFF) << 8 | static_cast<std::uint32_t>((x ^ y) & 0xFF);
    };
    Scene s(false, pixel, 256);
    const PixelBitmap& map = (*s.doc.maps())[0];
    QSignalSpy texts(&s.view, &CPictureView::statusText);
    for (const int r : {4, 16}) {
        s.view.setZoom(1.0f / static_cast<float>(r));
        QCOMPARE(texts.last().at(1).toString(), QStringLiteral(" Zoom: 1:%1 ").arg(r));
        const QRect at = s.view.imageRectOnScreen();
        QCOMPARE(at.size(), QSize(256 / r, 256 / r));
        const QImage shot = s.view.viewport()->grab().toImage();
        for (const QPoint block : {QPoint(0, 0), QPoint(5, 9), QPoint(256 / r - 1, 256 / r - 1)}) {
            // The mean of the block, rounded, channel by channel.
            int sum[3] = {};
            for (int y = block.y() * r; y < block.y() * r + r; ++y)
                for (int x = block.x() * r; x < block.x() * r + r; ++x)
                    for (int c = 0; c < 3; ++c)
                        sum[c] += static_cast<int>(map.pixelAt(x, y) >> (8 * c) & 0xFF);
            const int n = r * r;
            const QRgb want = qRgb((sum[2] + n / 2) / n, (sum[1] + n / 2) / n, (sum[0] + n / 2) / n);
            QCOMPARE(shot.pixel(at.topLeft() + block), want);
        }
        // The readout names map pixels: the block's first one.
        const auto got = s.readoutsAt(at.topLeft() + QPoint(5, 9));
        QCOMPARE(got.size(), 1);
        QCOMPARE(got[0].x, 5 * r);
        QCOMPARE(got[0].y, 9 * r);
    }
}

void PictureViewTest::panningEndsWithItsButton()
{
    Scene s;
    s.view.setZoom(8);  // 512 x 512: panning is possible
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(at), s.view.viewport()->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
        QApplication::sendEvent(s.view.viewport(), &e);
    };
    // A right click while the left button draws a selection.
    send(QEvent::MouseButtonPress, QPoint(100, 100), Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseButtonPress, QPoint(120, 110), Qt::RightButton, Qt::LeftButton | Qt::RightButton);
    send(QEvent::MouseButtonRelease, QPoint(120, 110), Qt::RightButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, QPoint(120, 110), Qt::LeftButton, Qt::NoButton);
    QVERIFY(!s.view.panning());
    // The mouse moves with no button held: the picture stays where it is.
    const int x = s.view.horizontalScrollBar()->value(), y = s.view.verticalScrollBar()->value();
    send(QEvent::MouseMove, QPoint(20, 30), Qt::NoButton, Qt::NoButton);
    QCOMPARE(s.view.horizontalScrollBar()->value(), x);
    QCOMPARE(s.view.verticalScrollBar()->value(), y);

    // Panning whose release happened outside ends at the next move without the button.
    send(QEvent::MouseButtonPress, QPoint(200, 150), Qt::RightButton, Qt::RightButton);
    QVERIFY(s.view.panning());
    send(QEvent::MouseMove, QPoint(150, 100), Qt::NoButton, Qt::NoButton);
    QVERIFY(!s.view.panning());
    QCOMPARE(s.view.horizontalScrollBar()->value(), x);
}

void PictureViewTest::crossCursorWhileARectangleIsDrawn()
{
    Scene s;
    s.doc.clearSelection();
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(at), s.view.viewport()->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
        QApplication::sendEvent(s.view.viewport(), &e);
    };
    send(QEvent::MouseButtonPress, QPoint(170, 120), Qt::LeftButton, Qt::LeftButton);
    QCOMPARE(s.view.viewport()->cursor().shape(), Qt::CrossCursor);
    send(QEvent::MouseMove, QPoint(200, 150), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(s.view.viewport()->cursor().shape(), Qt::CrossCursor);
    send(QEvent::MouseButtonRelease, QPoint(200, 150), Qt::LeftButton, Qt::NoButton);
    QVERIFY(s.doc.tracker().present());
    QCOMPARE(s.view.viewport()->cursor().shape(), Qt::ArrowCursor);  // just outside the new rectangle
    send(QEvent::MouseMove, QPoint(185, 135), Qt::NoButton, Qt::NoButton);
    QCOMPARE(s.view.viewport()->cursor().shape(), Qt::SizeAllCursor);
    send(QEvent::MouseMove, QPoint(10, 10), Qt::NoButton, Qt::NoButton);
    QCOMPARE(s.view.viewport()->cursor().shape(), Qt::ArrowCursor);
}

void PictureViewTest::ctrlWheelZoomsAboutTheMouse()
{
    Scene s(true, pattern, 256);
    // The frame would run the zoom command; here the view steps itself.
    QObject::connect(&s.view, &CPictureView::zoomStepRequested, &s.view,
                     [&](int direction) { s.view.setZoom(direction > 0 ? s.view.zoom() * 2 : s.view.zoom() / 2); });
    s.view.setZoom(2);
    QApplication::processEvents();
    s.view.horizontalScrollBar()->setValue(30);
    s.view.verticalScrollBar()->setValue(20);
    const QPoint mouse(150, 100);
    const auto before = s.readoutsAt(mouse);
    QCOMPARE(before.size(), 1);
    QWheelEvent wheel(QPointF(mouse), s.view.viewport()->mapToGlobal(QPointF(mouse)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(s.view.viewport(), &wheel);
    QCOMPARE(s.view.zoom(), 4.0f);
    QApplication::processEvents();
    const auto after = s.readoutsAt(mouse);
    QCOMPARE(after.size(), 1);
    QCOMPARE(after[0].x, before[0].x);
    QCOMPARE(after[0].y, before[0].y);
}

QTEST_MAIN(PictureViewTest)
#include "PictureViewTest.moc"
