#include "ShellFixtures.h"
#include "shell/FrameSettings.h"

#include <QFile>
#include <QtTest>

class FrameSettingsTest : public QObject {
    Q_OBJECT
private slots:
    void windowRectNeedsExactlySixteenBytes();
    void numbersOfTheWrongTypeOrRangeAreAbsent();
    void askBeforeDiscardIsOnUnlessSwitchedOff();
    void loadUsesDefaultsForAbsentAndDamagedValues();
    void firstRunMeansAnEmptySettingsKey();
    void saveThenLoadGivesTheSameValues();
    void recentFilesKeepEightWithoutDuplicates();
};

void FrameSettingsTest::windowRectNeedsExactlySixteenBytes()
{
    const QByteArray good = FrameSettings::encodeWindowRect(QRect(QPoint(-20, 40), QSize(800, 600)));
    QCOMPARE(good.size(), 16);
    QCOMPARE(FrameSettings::decodeWindowRect(good), std::optional<QRect>(QRect(-20, 40, 800, 600)));
    // left, top, right, bottom as little-endian 32-bit numbers
    QCOMPARE(good.mid(8, 4), QByteArray::fromHex("0c030000"));

    const struct {
        const char* what;
        QVariant value;
    } absent[] = {
        {"12 bytes", QVariant(good.left(12))},
        {"17 bytes", QVariant(good + '\0')},
        {"empty", QVariant(QByteArray())},
        {"a string", QVariant(QString::fromLatin1(good.toHex()))},
        {"a number", QVariant(16)},
        {"right before left", QVariant(FrameSettings::encodeWindowRect(QRect(100, 100, 0, 50)))},
    };
    for (const auto& c : absent)
        QVERIFY2(!FrameSettings::decodeWindowRect(c.value), c.what);
}

void FrameSettingsTest::numbersOfTheWrongTypeOrRangeAreAbsent()
{
    const struct {
        QVariant value;
        bool textual;
        std::optional<int> expected;
    } cases[] = {
        {QVariant(278), false, 278},
        {QVariant(-5), false, -5},
        {QVariant(qint64(5000000000)), false, std::nullopt},
        {QVariant(QStringLiteral("300")), true, 300},       // how an INI file keeps a number
        {QVariant(QStringLiteral("300")), false, std::nullopt},  // a string value in the registry
        {QVariant(QStringLiteral("abc")), true, std::nullopt},
        {QVariant(QStringLiteral(" 300")), true, std::nullopt},
        {QVariant(QStringLiteral("")), true, std::nullopt},
        {QVariant(QStringLiteral("99999999999")), true, std::nullopt},
        {QVariant(QByteArray("\x01\x02\x03\x04", 4)), true, std::nullopt},
        {QVariant(), true, std::nullopt},
    };
    for (const auto& c : cases)
        QCOMPARE(FrameSettings::decodeNumber(c.value, c.textual), c.expected);
}

void FrameSettingsTest::askBeforeDiscardIsOnUnlessSwitchedOff()
{
    const struct {
        QVariant value;
        bool expected;
    } cases[] = {
        {QVariant(), true},
        {QVariant(QStringLiteral("false")), false},  // as an INI file keeps a boolean
        {QVariant(QStringLiteral("0")), false},
        {QVariant(false), false},
        {QVariant(QStringLiteral("true")), true},
        {QVariant(QStringLiteral("nein")), true},
        {QVariant(QStringLiteral("False ")), true},
        {QVariant(7), true},
    };
    QTemporaryDir dir;
    auto s = shelltest::settingsIn(dir);
    for (const auto& c : cases) {
        if (c.value.isValid())
            s->setValue("Settings/AskBeforeDiscard", c.value);
        else
            s->remove("Settings/AskBeforeDiscard");
        QCOMPARE(FrameSettings::load(*s).askBeforeDiscard, c.expected);
    }
    // Read from the file as a user writes it.
    {
        QFile ini(dir.filePath("hand.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Settings]\nAskBeforeDiscard=false\n");
    }
    QSettings hand(dir.filePath("hand.ini"), QSettings::IniFormat);
    QVERIFY(!FrameSettings::load(hand).askBeforeDiscard);
}

void FrameSettingsTest::loadUsesDefaultsForAbsentAndDamagedValues()
{
    QTemporaryDir dir;
    auto s = shelltest::settingsIn(dir);
    s->setValue("Settings/MainWinPos", QByteArray(12, '\x01'));
    s->setValue("Settings/PaneWidth", QStringLiteral("breit"));
    s->setValue("Settings/PaneHeight", 410);
    s->setValue("Settings/Pane2Height", QByteArray("\x10\x00\x00\x00", 4));
    s->setValue("Settings/Background", 300);
    s->setValue("Toolbars", QStringLiteral("not a state"));
    s->sync();

    const FrameSettings f = FrameSettings::load(*s);
    QVERIFY(!f.mainWinPos);
    QCOMPARE(f.paneWidth, 278);
    QCOMPARE(f.paneHeight, 410);
    QCOMPARE(f.pane2Height, 250);
    QCOMPARE(f.background, 192);  // outside 0 ... 255
    QVERIFY(f.toolbarState.isEmpty());
    QVERIFY(!f.firstRun);

    s->setValue("Settings/Background", 0);
    QCOMPARE(FrameSettings::load(*s).background, 0);
}

void FrameSettingsTest::firstRunMeansAnEmptySettingsKey()
{
    QTemporaryDir dir;
    auto s = shelltest::settingsIn(dir);
    s->setValue("Toolbars", QByteArray("x"));  // outside the Settings key
    QVERIFY(FrameSettings::load(*s).firstRun);
    s->setValue("Settings/Anything", 1);
    QVERIFY(!FrameSettings::load(*s).firstRun);
}

void FrameSettingsTest::saveThenLoadGivesTheSameValues()
{
    QTemporaryDir dir;
    FrameSettings f;
    f.mainWinPos = QRect(10, 20, 640, 480);
    f.paneWidth = 301;
    f.paneHeight = 222;
    f.pane2Height = 111;
    f.background = 7;
    f.toolbarState = QByteArray("\x00\x01state", 7);
    {
        auto s = shelltest::settingsIn(dir);
        f.save(*s);
    }
    auto s = shelltest::settingsIn(dir);
    const FrameSettings g = FrameSettings::load(*s);
    QCOMPARE(g.mainWinPos, f.mainWinPos);
    QCOMPARE(g.paneWidth, 301);
    QCOMPARE(g.paneHeight, 222);
    QCOMPARE(g.pane2Height, 111);
    QCOMPARE(g.background, 7);
    QCOMPARE(g.toolbarState, f.toolbarState);
    QCOMPARE(s->value("Settings/MainWinPos").toByteArray().size(), 16);
}

void FrameSettingsTest::recentFilesKeepEightWithoutDuplicates()
{
    QTemporaryDir dir;
    auto s = shelltest::settingsIn(dir);
    FrameSettings::saveRecentFiles(*s, {"/a.tex", "/b.qrb"});
    s->setValue("Recent File List/File3", 17);          // wrong type: skipped
    s->setValue("Recent File List/File4", "/a.tex");    // duplicate: skipped
    s->setValue("Recent File List/File5", "/c.png");
    s->setValue("Recent File List/File9", "/beyond.tex");  // the list holds eight
    QCOMPARE(FrameSettings::load(*s).recentFiles, (QStringList{"/a.tex", "/b.qrb", "/c.png"}));
}

QTEST_MAIN(FrameSettingsTest)
#include "FrameSettingsTest.moc"
