#include "views/CShortInfoView.h"

#include <QtTest>

#include <cstring>

namespace {

EntryReadout entry(const char* name, int kind, int size, int offset)
{
    EntryReadout e;
    std::strncpy(e.name.data(), name, e.name.size() - 1);
    e.kind = kind;
    e.size = size;
    e.offset = offset;
    return e;
}

QStringList texts(const CShortInfoView& v)
{
    QStringList out;
    for (const auto& line : v.lines())
        out << QStringLiteral("%1,%2 %3").arg(line.at.x()).arg(line.at.y()).arg(line.text);
    return out;
}

}  // namespace

class InfoPaneTest : public QObject {
    Q_OBJECT
private slots:
    void pixelTextsAndPositions();
    void entryTextsAndKinds();
    void redrawsWhenAnyShownValueChanges();
    void emptyPaneIsWhite();
};

void InfoPaneTest::pixelTextsAndPositions()
{
    CShortInfoView v;
    v.showPixel(PixelReadout{12, 34, 0, 0, 255, 254, 3, 128});
    QCOMPARE(v.mode(), int(CShortInfoView::MODE_PIXEL));
    QCOMPARE(texts(v), (QStringList{"3,3 Pos X: 12", "3,20 Pos Y: 34", "100,3 R: 255", "100,20 G: 254",
                                    "100,37 B: 3", "100,54 A: 128"}));
}

void InfoPaneTest::entryTextsAndKinds()
{
    const struct {
        EntryReadout e;
        QStringList expected;
    } cases[] = {
        {entry("textures/plasma.tex", 3, 16428, 1024),
         {"3,3 textures/plasma.tex", "3,20 G-Type: Textur", "3,37 Größe: 16428 Bytes", "3,54 File-Offset: 1024"}},
        {entry("readme.xyz", 4, 5, 6), {"3,3 readme.xyz", "3,20 G-Type: Unbekannt", "3,37 Größe: 5 Bytes",
                                        "3,54 File-Offset: 6"}},
        {entry("VSSVER.SCC", 8, 48, 99), {"3,3 VSSVER.SCC", "3,20 G-Type: Visual SourceSafe File",
                                          "3,37 Größe: 48 Bytes", "3,54 File-Offset: 99"}},
        {entry("sf\xE4r.wav", 2, 1, 2), {"3,3 sf\u00E4r.wav", "3,20 G-Type: Sound/Sprachsample",
                                          "3,37 Größe: 1 Bytes", "3,54 File-Offset: 2"}},
    };
    for (const auto& c : cases) {
        CShortInfoView v;
        v.showEntry(c.e);
        QCOMPARE(texts(v), c.expected);
    }
}

void InfoPaneTest::redrawsWhenAnyShownValueChanges()
{
    CShortInfoView v;
    const int start = v.redrawRequests();
    const PixelReadout p{5, 6, 0, 0, 10, 20, 30, 40};
    v.showPixel(p);
    v.showPixel(p);
    QCOMPARE(v.redrawRequests(), start + 1);  // the same record twice draws once

    PixelReadout q = p;
    q.green = 21;  // same position and red: still a different pixel to the user
    v.showPixel(q);
    QCOMPARE(v.redrawRequests(), start + 2);
    QCOMPARE(v.pixel().green, 21);
    q.alpha = 0;
    v.showPixel(q);
    QCOMPARE(v.redrawRequests(), start + 3);

    v.showNothing();
    QCOMPARE(v.mode(), int(CShortInfoView::MODE_NONE));
    QVERIFY(v.lines().isEmpty());
    v.showPixel(q);  // back over the same pixel: shown again
    QCOMPARE(v.mode(), int(CShortInfoView::MODE_PIXEL));
    QCOMPARE(v.redrawRequests(), start + 5);

    v.showEntry(entry("a", 3, 1, 77));
    v.showEntry(entry("a", 3, 1, 77));
    QCOMPARE(v.redrawRequests(), start + 6);
    v.showEntry(entry("b", 3, 1, 77));  // another entry at the same offset (another volume)
    QCOMPARE(v.redrawRequests(), start + 7);
}

void InfoPaneTest::emptyPaneIsWhite()
{
    CShortInfoView v;
    v.resize(200, 80);
    v.showPixel(PixelReadout{1, 2, 0, 0, 3, 4, 5, 6});
    QImage withText = v.grab().toImage();
    QCOMPARE(withText.pixelColor(80, 40), QColor(Qt::black));  // the divider line
    v.showNothing();
    const QImage empty = v.grab().toImage();
    for (int y = 0; y < empty.height(); y += 7)
        for (int x = 0; x < empty.width(); x += 7)
            QCOMPARE(empty.pixelColor(x, y), QColor(Qt::white));
}

QTEST_MAIN(InfoPaneTest)
#include "InfoPaneTest.moc"
